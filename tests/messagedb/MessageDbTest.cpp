#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <sqlite3.h>
#include <sys/stat.h>

#include "messagedb/MessageDb.h"
#include "support/TempDir.h"

namespace {

constexpr std::int64_t kNow = 1796760330; // 2026-12-08 20:05:30 UTC
constexpr std::int64_t kHour = 3600;

IncomingMessage Sms(const std::string& source, const std::string& sender, const std::string& text,
                    std::int64_t received = kNow)
{
    IncomingMessage m;
    m.source = source;
    m.sender = sender;
    m.text = text;
    m.sentKnown = true;
    m.sentUtc = received - 10;
    m.zoneMinutes = 60;
    m.receivedUtc = received;
    return m;
}

IncomingMessage Part(const std::string& source, const std::string& sender, int reference, int total,
                     int sequence, const std::string& text, std::int64_t received = kNow)
{
    IncomingMessage m = Sms(source, sender, text, received);
    m.reference = reference;
    m.total = total;
    m.sequence = sequence;
    return m;
}

class MessageDbTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_db.Open(m_dir.path()).ok); }

    std::vector<StoredMessage> All(std::int64_t now = kNow) { return m_db.List({}, now); }

    TempDir m_dir;
    CMessageDb m_db;
};

// A connection of "another program" to the same file.
struct OtherConnection
{
    explicit OtherConnection(const std::string& path) { sqlite3_open(path.c_str(), &db); }
    ~OtherConnection() { sqlite3_close(db); }
    bool Exec(const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }
    std::string Text(const char* sql)
    {
        sqlite3_stmt* stmt = nullptr;
        std::string out;
        if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW)
            out = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        sqlite3_finalize(stmt);
        return out;
    }
    sqlite3* db = nullptr;
};

TEST_F(MessageDbTest, CreatesAPrivateWalDatabaseAtTheLatestSchema)
{
    EXPECT_EQ(m_db.SchemaVersion(), 4);
    const std::string path = m_dir.file("Brivantel.db");
    OtherConnection other(path);
    EXPECT_EQ(other.Text("PRAGMA journal_mode"), "wal");
    EXPECT_EQ(other.Text("PRAGMA application_id"), "1112692308");
    struct stat st
    {
    };
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(MessageDbTest, AFirstVersionDatabaseGainsTheSentPartsAndKeepsItsMessages)
{
    ASSERT_TRUE(m_db.Import({Sms("a", "+48602123456", "Hej")}).ok);
    m_db.Close();
    {
        OtherConnection other(m_dir.file("Brivantel.db"));
        ASSERT_TRUE(other.Exec("DROP TABLE sent_part; DROP TABLE first_seen; PRAGMA user_version = 1"));
    }
    ASSERT_TRUE(m_db.Open(m_dir.path()).ok);
    EXPECT_EQ(m_db.SchemaVersion(), 4);
    EXPECT_EQ(All().size(), 1u);
    SentCopy copy{"Anna", "602123456", "Hej", 1000, kNow, {7}};
    ASSERT_TRUE(m_db.RecordSent(copy));
    int matched = 0;
    ASSERT_TRUE(m_db.ApplyReports({{"+48602123456", 7, 0x00, kNow + 5, kNow + 5}}, &matched));
    EXPECT_EQ(matched, 1);
    EXPECT_EQ(m_db.DeliveryOf("Anna", "Hej", 1000).state, Delivery::Delivered);
    EXPECT_EQ(m_db.DeliveryOf("Anna", "Hej", 1001).state, Delivery::None);
}

TEST_F(MessageDbTest, OneCopySentToTwoNumbersKeepsEachNumbersParts)
{
    // Both numbers' networks happened to give reference 1.
    ASSERT_TRUE(m_db.RecordSent({"Anna;Olek", "+48602000001", "Hej", 1000, kNow, {1}}));
    ASSERT_TRUE(m_db.RecordSent({"Anna;Olek", "0048 602 000 002", "Hej", 1000, kNow, {1}}));
    ASSERT_TRUE(m_db.ApplyReports({{"602000002", 1, 0x41, kNow + 5, kNow + 5}}));
    EXPECT_EQ(m_db.DeliveryOf("Anna;Olek", "Hej", 1000, "+48602000001").state, Delivery::Pending);
    EXPECT_EQ(m_db.DeliveryOf("Anna;Olek", "Hej", 1000, "602000002").state, Delivery::Failed);
    EXPECT_EQ(m_db.DeliveryOf("Anna;Olek", "Hej", 1000).state, Delivery::Failed);
}

TEST_F(MessageDbTest, ReopeningKeepsMessagesAndRunsNoStepTwice)
{
    ASSERT_TRUE(m_db.Import({Sms("a", "+48602123456", "Zażółć 😀")}).ok);
    m_db.Close();
    const auto reopened = m_db.Open(m_dir.path());
    ASSERT_TRUE(reopened.ok) << reopened.message;
    EXPECT_TRUE(reopened.message.empty());
    EXPECT_EQ(m_db.SchemaVersion(), 4);
    const auto list = All();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].text, "Zażółć 😀");
    EXPECT_EQ(list[0].zoneMinutes, 60);
    EXPECT_EQ(list[0].sentUtc, kNow - 10);
}

TEST_F(MessageDbTest, ImportingTheSameSourceTwiceStoresItOnce)
{
    const auto first = m_db.Import({Sms("modem:ME:PDU1", "602123456", "Hej")});
    ASSERT_TRUE(first.ok);
    EXPECT_EQ(first.added, 1);
    EXPECT_EQ(first.shown.size(), 1u);
    const auto again = m_db.Import({Sms("modem:ME:PDU1", "602123456", "Hej")});
    ASSERT_TRUE(again.ok);
    EXPECT_EQ(again.added, 0);
    EXPECT_EQ(again.duplicates, 1);
    EXPECT_TRUE(again.shown.empty());
    EXPECT_EQ(All().size(), 1u);
}

TEST(MessageDbNumbers, NormalisesEveryFormOfANumber)
{
    const std::pair<const char*, const char*> cases[] = {
        {"+48 602 123 456", "+48602123456"},
        {"602123456", "+48602123456"},
        {"0048602123456", "+48602123456"},
        {"+48602123456", "+48602123456"},
        {"+4930123456", "+4930123456"},
        {"+48 22 123 45 67", "+48221234567"},
        {"Orange", "Orange"},
        {"8080", "8080"},
    };
    for (const auto& [given, expected] : cases)
        EXPECT_EQ(CMessageDb::NormaliseNumber(given), expected) << given;
}

TEST_F(MessageDbTest, KeepsANameSenderAsReceived)
{
    IncomingMessage m = Sms("n", "Orange", "Promocja");
    m.senderIsName = true;
    ASSERT_TRUE(m_db.Import({m}).ok);
    EXPECT_EQ(All().at(0).sender, "Orange");
    EXPECT_TRUE(All().at(0).senderIsName);
}

TEST_F(MessageDbTest, JoinsPartsThatComeOutOfOrderAndTwice)
{
    const std::string who = "+48602123456";
    auto r = m_db.Import({Part("p3", who, 7, 3, 3, "trzy."), Part("p1", "602 123 456", 7, 3, 1, "raz, ")});
    ASSERT_TRUE(r.ok);
    EXPECT_TRUE(r.shown.empty());
    EXPECT_TRUE(All().empty()) << "a message still waiting for parts is not listed";
    // The network delivers part 3 again, in another storage slot.
    r = m_db.Import({Part("p3-again", who, 7, 3, 3, "trzy.")});
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.duplicates, 1);
    r = m_db.Import({Part("p2", "0048602123456", 7, 3, 2, "dwa, ")});
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.shown.size(), 1u);
    const auto list = All();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].id, r.shown[0]);
    EXPECT_EQ(list[0].text, "raz, dwa, trzy.");
    EXPECT_TRUE(list[0].complete);
}

TEST_F(MessageDbTest, TwoSendersWithTheSameReferenceStayApart)
{
    ASSERT_TRUE(
        m_db.Import({Part("a1", "+48602000001", 9, 2, 1, "Ala "), Part("b1", "+48602000002", 9, 2, 1, "Ola "),
                     Part("b2", "+48602000002", 9, 2, 2, "ma psa"),
                     Part("a2", "+48602000001", 9, 2, 2, "ma kota")})
            .ok);
    const auto list = All();
    ASSERT_EQ(list.size(), 2u);
    for (const auto& m : list)
        EXPECT_EQ(m.text, m.sender == "+48602000001" ? "Ala ma kota" : "Ola ma psa");
}

TEST_F(MessageDbTest, AMessageMissingAPartIsShownAfterADayAndALatePartCompletesIt)
{
    ASSERT_TRUE(
        m_db.Import({Part("1", "+48602123456", 300, 3, 1, "A"), Part("3", "+48602123456", 300, 3, 3, "C")})
            .ok);
    EXPECT_TRUE(All(kNow + 23 * kHour).empty());
    auto list = All(kNow + 25 * kHour);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].text, "A[brak części 2]C");
    EXPECT_FALSE(list[0].complete);
    EXPECT_EQ(m_db.UnreadCount(kNow + 25 * kHour), 1);
    // The count a view sizes its list by agrees with the list on both sides of the day.
    EXPECT_EQ(m_db.Count({}, kNow + 23 * kHour), 0);
    EXPECT_EQ(m_db.Count({}, kNow + 25 * kHour), 1);

    const auto late = m_db.Import({Part("2", "+48602123456", 300, 3, 2, "B", kNow + 30 * kHour)});
    ASSERT_TRUE(late.ok);
    EXPECT_EQ(late.shown.size(), 1u);
    list = All(kNow + 30 * kHour);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].text, "ABC");
    EXPECT_TRUE(list[0].complete);
}

TEST_F(MessageDbTest, AnEmojiSplitBetweenPartsIsWholeOnceBothAreHere)
{
    IncomingMessage first = Part("e1", "+48602123456", 5, 3, 1, "A");
    first.trailingHighSurrogate = 0xD83D;
    IncomingMessage second = Part("e2", "+48602123456", 5, 3, 2, "B");
    second.leadingLowSurrogate = 0xDE00;
    second.trailingHighSurrogate = 0xD83D; // its partner would be in part 3, which never comes
    ASSERT_TRUE(m_db.Import({second, first}).ok);
    const auto list = All(kNow + 25 * kHour);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].text, "A😀B\xEF\xBF\xBD[brak części 3]");
}

TEST_F(MessageDbTest, ReadAndDeletedStates)
{
    ASSERT_TRUE(m_db.Import({Sms("1", "+48602123456", "one"), Sms("2", "+48602123456", "two", kNow + 5)}).ok);
    auto list = All();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(m_db.UnreadCount(kNow), 2);
    ASSERT_TRUE(m_db.SetRead(list[0].id, true));
    EXPECT_EQ(m_db.UnreadCount(kNow), 1);
    ListOptions unread;
    unread.unreadOnly = true;
    ASSERT_EQ(m_db.List(unread, kNow).size(), 1u);
    EXPECT_EQ(m_db.List(unread, kNow)[0].text, "two");

    ListOptions window;
    window.offset = 1;
    window.limit = 1;
    ASSERT_EQ(m_db.List(window, kNow).size(), 1u);
    EXPECT_EQ(m_db.List(window, kNow)[0].text, "two");

    ASSERT_TRUE(m_db.Delete(list[1].id));
    EXPECT_EQ(All().size(), 1u);
    EXPECT_EQ(m_db.UnreadCount(kNow), 0);
    EXPECT_EQ(m_db.Count({}, kNow), 1);
    ListOptions everything;
    everything.withDeleted = true;
    EXPECT_EQ(m_db.Count(everything, kNow), 2);
    list = m_db.List(everything, kNow);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_TRUE(list[1].deleted);
    EXPECT_FALSE(m_db.Delete(99999));
}

TEST_F(MessageDbTest, KeepsAnUnreadableMessageWithItsReason)
{
    IncomingMessage broken = Sms("x", "", "");
    broken.readable = false;
    broken.reason = "tekst UCS-2 ma nieparzystą liczbę bajtów";
    broken.raw = "0004ABC";
    ASSERT_TRUE(m_db.Import({broken}).ok);
    const auto list = All();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_FALSE(list[0].readable);
    EXPECT_EQ(list[0].reason, broken.reason);
    EXPECT_EQ(list[0].raw, "0004ABC");
}

TEST(MessageDbFiles, SetsADamagedOrForeignFileAsideAndStartsAfresh)
{
    struct Case
    {
        const char* what;
        void (*make)(const std::string& path);
    };
    const Case cases[] = {
        {"not a database",
         [](const std::string& path) { WriteFileBytes(path, std::vector<std::uint8_t>(8192, 0x5A)); }},
        {"another program's database",
         [](const std::string& path) {
             OtherConnection other(path);
             other.Exec("CREATE TABLE notes(x); INSERT INTO notes VALUES ('keep me')");
         }},
        {"ours, with a page overwritten",
         [](const std::string& path) {
             {
                 CMessageDb db;
                 db.Open(path.substr(0, path.rfind('/')));
                 std::vector<IncomingMessage> many;
                 for (int i = 0; i < 300; ++i)
                     many.push_back(Sms(std::to_string(i), "+48602123456", std::string(200, 'x')));
                 db.Import(many);
                 OtherConnection other(path);
                 other.Exec("PRAGMA wal_checkpoint(TRUNCATE)");
             }
             auto bytes = ReadFileBytes(path);
             for (std::size_t i = 4096; i < 3 * 4096 && i < bytes.size(); ++i)
                 bytes[i] = 0xFF;
             WriteFileBytes(path, bytes);
         }},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const std::string path = dir.file("Brivantel.db");
        c.make(path);
        const auto before = ReadFileBytes(path);
        CMessageDb db;
        const auto opened = db.Open(dir.path());
        ASSERT_TRUE(opened.ok) << c.what << ": " << opened.message;
        EXPECT_NE(opened.message.find("Odłożono ją jako Brivantel-odlozona-"), std::string::npos)
            << c.what << ": " << opened.message;
        ASSERT_FALSE(opened.setAside.empty()) << c.what;
        EXPECT_EQ(ReadFileBytes(opened.setAside), before) << c.what;
        EXPECT_TRUE(db.Import({Sms("1", "+48602123456", "nowa")}).ok) << c.what;
        EXPECT_EQ(db.List({}, kNow).size(), 1u) << c.what;
    }
}

TEST(MessageDbFiles, ADatabaseOfANewerVersionIsLeftAlone)
{
    TempDir dir;
    {
        CMessageDb db;
        ASSERT_TRUE(db.Open(dir.path()).ok);
        OtherConnection other(dir.file("Brivantel.db"));
        ASSERT_TRUE(other.Exec("PRAGMA user_version = 99"));
    }
    CMessageDb db;
    const auto opened = db.Open(dir.path());
    EXPECT_FALSE(opened.ok);
    EXPECT_NE(opened.message.find("nowszej wersji"), std::string::npos);
    EXPECT_EQ(ListDirectory(dir.path()).size(), 1u) << "nothing set aside, nothing new";
}

TEST(MessageDbFiles, ADatabaseHeldByAnotherProgramFailsWithAReasonInsteadOfWaiting)
{
    using namespace std::chrono;
    TempDir dir;
    {
        CMessageDb db;
        ASSERT_TRUE(db.Open(dir.path()).ok);
    }
    const std::string busy = "jest zajęta przez inny program";
    {
        OtherConnection other(dir.file("Brivantel.db"));
        ASSERT_TRUE(other.Exec("PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE; "
                               "UPDATE message SET read = 1"));
        CMessageDb db;
        const auto start = steady_clock::now();
        const auto opened = db.Open(dir.path(), milliseconds(200));
        EXPECT_LT(steady_clock::now() - start, seconds(3));
        EXPECT_FALSE(opened.ok);
        EXPECT_NE(opened.message.find(busy), std::string::npos) << opened.message;
    }
    // A writer that holds the database while we import: the import fails whole, with a reason,
    // and succeeds once the writer is gone.
    CMessageDb db;
    ASSERT_TRUE(db.Open(dir.path(), milliseconds(200)).ok);
    {
        OtherConnection other(dir.file("Brivantel.db"));
        ASSERT_TRUE(other.Exec("BEGIN IMMEDIATE; UPDATE message SET read = 1"));
        const auto r = db.Import({Sms("1", "+48602123456", "x")});
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.reason.find(busy), std::string::npos) << r.reason;
    }
    EXPECT_TRUE(db.List({}, kNow).empty());
    EXPECT_TRUE(db.Import({Sms("1", "+48602123456", "x")}).ok);
    EXPECT_EQ(db.List({}, kNow).size(), 1u);
}

} // namespace

// The list of conversations and one sender's thread, read through the index of senders, agree with
// List: deleted messages and long ones still waiting for parts (less than a day) are left out.
TEST_F(MessageDbTest, SendersAndTheirThreadsAgreeWithTheList)
{
    IncomingMessage older = Sms("b1", "+48501000002", "Stara", kNow - 2 * kHour);
    ASSERT_TRUE(m_db.Import({Sms("a1", "602000001", "Ala\nma", kNow - 3 * kHour),
                             Sms("a2", "+48 602 000 001", "kota", kNow - kHour),
                             Sms("a3", "0048602000001", "Usunięta", kNow), older,
                             Part("b2", "+48501000002", 9, 2, 1, "Połowa", kNow - 60),
                             Part("c1", "+48501000003", 4, 2, 1, "Sama połowa", kNow - 60)})
                    .ok);
    const auto listed = All();
    ASSERT_EQ(listed.size(), 4u);
    ASSERT_TRUE(m_db.SetRead(listed[0].id, true));
    ASSERT_TRUE(m_db.Delete(listed[3].id)); // "Usunięta", the newest
    std::vector<SenderSummary> senders = m_db.Senders(kNow);
    std::sort(senders.begin(), senders.end(),
              [](const auto& a, const auto& b) { return a.sender < b.sender; });
    struct Expected
    {
        const char* sender;
        std::int64_t last;
        int unread;
    };
    const Expected expected[] = {{"+48501000002", kNow - 2 * kHour - 10, 1},
                                 {"+48602000001", kNow - kHour - 10, 1}};
    ASSERT_EQ(senders.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(senders[i].sender, expected[i].sender);
        EXPECT_EQ(senders[i].last, expected[i].last);
        EXPECT_EQ(senders[i].unread, expected[i].unread);
    }
    const auto heads = m_db.SenderHeads("+48602000001", kNow);
    ASSERT_EQ(heads.size(), 2u);
    EXPECT_EQ(heads[0].id, listed[0].id);
    EXPECT_TRUE(heads[0].read);
    EXPECT_EQ(heads[0].chars, 6);
    EXPECT_EQ(heads[0].lines, 2);
    EXPECT_EQ(heads[1].chars, 4);
    EXPECT_EQ(m_db.LastOfSender("+48602000001", kNow), heads[1].id);
    // A day on, the waiting half is listed with its placeholder, and so is its sender.
    EXPECT_EQ(m_db.Senders(kNow + 25 * kHour).size(), 3u);
    EXPECT_EQ(m_db.SenderHeads("+48501000002", kNow + 25 * kHour).size(), 2u);

    ASSERT_TRUE(m_db.SetSenderRead("+48602000001", kNow));
    EXPECT_EQ(m_db.UnreadCount(kNow), 1);
}

TEST_F(MessageDbTest, AWaitsFirstSightSurvivesAReopenUntilItIsForgotten)
{
    EXPECT_EQ(m_db.FirstSeen("mm/1/wait/+48602123456/t", kNow), kNow);
    EXPECT_EQ(m_db.FirstSeen("mm/1/wait/+48602123456/t", kNow + 60), kNow);
    m_db.Close();
    ASSERT_TRUE(m_db.Open(m_dir.path()).ok);
    EXPECT_EQ(m_db.FirstSeen("mm/1/wait/+48602123456/t", kNow + 3600), kNow);
    EXPECT_EQ(m_db.FirstSeen("mm/1/wait/+48602000001/t", kNow + 3600), kNow + 3600);
    m_db.ForgetFirstSeen("mm/1/wait/+48602123456/t");
    EXPECT_EQ(m_db.FirstSeen("mm/1/wait/+48602123456/t", kNow + 7200), kNow + 7200);
}

TEST_F(MessageDbTest, AMessageGivenUpOnIsListedIncompleteOnceADayOld)
{
    IncomingMessage m = Sms("mm/1/a", "+48602123456", "Początek", kNow);
    m.incomplete = true;
    const ImportResult imported = m_db.Import({m});
    ASSERT_TRUE(imported.ok) << imported.reason;
    EXPECT_EQ(imported.shown.size(), 1u);
    EXPECT_TRUE(m_db.List({}, kNow).empty());
    const auto list = m_db.List({}, kNow + CMessageDb::kPartWait);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_FALSE(list[0].complete);
    EXPECT_EQ(list[0].text, "Początek");
}
