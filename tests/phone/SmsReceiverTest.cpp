// Reading a phone's messages into the database, against a phone with storages on a
// pseudo-terminal. The PDUs are written by hand, field by field (see sms_tests for the rules).
#include <gtest/gtest.h>

#include <csignal>
#include <initializer_list>
#include <sys/wait.h>
#include <unistd.h>

#include "messagedb/MessageDb.h"
#include "phone/FakeSmsPhone.h"
#include "phone/SmsReceiver.h"
#include "support/TempDir.h"

namespace {

using namespace std::chrono_literals;

constexpr std::int64_t kNow = 1796760330;
const std::string kAnna = "0B918406123254F6"; // +48602123456
const std::string kOlek = "0B918406010000F2"; // +48601000002

// An SMS-DELIVER without a centre address, sent at 2026-12-08 21:05:ss +01:00.
std::string Deliver(const std::string& sender, int second, const std::string& firstOctet,
                    const std::string& dcs, std::initializer_list<std::string> userData)
{
    std::string pdu = "00" + firstOctet + sender + "00" + dcs + "6221801250" + std::to_string(second % 10) +
                      std::to_string(second / 10) + "40";
    for (const auto& field : userData)
        pdu += field;
    return pdu;
}

const std::string kHello = Deliver(kAnna, 10, "04", "00", {"0A", "E8329BFD4697D9EC37"});
const std::string kPolish = Deliver(kOlek, 20, "04", "08", {"10", "005A0061017C00F30142010700200021"});
// Three parts with the 16-bit reference 1234.
const std::string kPart1 = Deliver(kAnna, 30, "44", "00", {"12", "06080412340301", "D0B09C0E7ABBCB2C10"});
const std::string kPart2 = Deliver(kAnna, 31, "44", "00", {"12", "06080412340302", "F0B09C0EA2DFDF2C10"});
const std::string kPart3 = Deliver(kAnna, 32, "44", "00", {"13", "06080412340303", "F0B09C0EA2A3E5E5B20B"});
// Two senders, both using the 8-bit reference 2A for a message of two parts.
const std::string kAnnaA = Deliver(kAnna, 40, "44", "00", {"0B", "0500032A0201", "82EC3008"});
const std::string kAnnaB = Deliver(kAnna, 41, "44", "00", {"0E", "0500032A0202", "DA61D0FA4D0F03"});
const std::string kOlekA = Deliver(kOlek, 50, "44", "00", {"0B", "0500032A0201", "9EEC3008"});
const std::string kOlekB = Deliver(kOlek, 51, "44", "00", {"0D", "0500032A0202", "DA61107C1E06"});
// The length says 32 septets; the bytes hold 10.
const std::string kBroken = Deliver(kAnna, 55, "04", "00", {"20", "E8329BFD4697D9EC37"});

class SmsReceiverTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_db.Open(m_dir.path()).ok); }

    ReceiveReport Receive(FakeSmsPhone& phone)
    {
        CSmsReceiver receiver(phone.DevicePath(), m_db);
        receiver.SetTimeouts(kShort);
        return receiver.Receive(kNow);
    }
    std::vector<StoredMessage> Inbox() { return m_db.List({}, kNow); }

    static constexpr ReceiveTimeouts kShort{1500ms, 1500ms, 500ms};
    TempDir m_dir;
    CMessageDb m_db;
};

bool Sent(const std::vector<std::string>& commands, const std::string& command)
{
    return std::find(commands.begin(), commands.end(), command) != commands.end();
}

TEST_F(SmsReceiverTest, EveryMessageArrivesOnceJoinedInOrderAndTheStorageEmpties)
{
    FakeSmsPhone phone({});
    ASSERT_TRUE(phone.IsReady());
    // Out of order, part 3 delivered twice, and two senders sharing reference 2A.
    for (const auto& pdu : {kPart3, kOlekB, kAnnaA, kHello, kPart1, kPart3, kAnnaB, kOlekA, kPart2, kPolish})
        phone.Put("ME", pdu);

    const ReceiveReport report = Receive(phone);
    ASSERT_TRUE(report.ok) << report.problem;
    EXPECT_EQ(report.storage, "ME");
    EXPECT_EQ(report.deleted, 10);
    EXPECT_EQ(report.shown.size(), 5u);
    EXPECT_FALSE(report.storageFull);
    EXPECT_EQ(phone.Used("ME"), 0);

    const auto inbox = Inbox();
    ASSERT_EQ(inbox.size(), 5u);
    const std::pair<std::string, std::string> expected[] = {
        {"+48602123456", "hellohello"},
        {"+48601000002", "Zażółć !"},
        {"+48602123456", "Part one, part two, part three."},
        {"+48602123456", "Ala ma kota"},
        {"+48601000002", "Ola ma psa"},
    };
    for (std::size_t i = 0; i < inbox.size(); ++i) {
        EXPECT_EQ(inbox[i].sender, expected[i].first) << i;
        EXPECT_EQ(inbox[i].text, expected[i].second) << i;
        EXPECT_TRUE(inbox[i].complete) << i;
        EXPECT_EQ(inbox[i].zoneMinutes, 60) << i;
    }
    EXPECT_EQ(inbox[0].sentUtc, 1796760310); // 21:05:10 +01:00
    const auto commands = phone.Commands();
    EXPECT_TRUE(Sent(commands, "AT+CMGF=0"));
    EXPECT_TRUE(Sent(commands, "AT+CPMS=\"ME\",\"ME\",\"ME\""));
    EXPECT_FALSE(Sent(commands, "AT+CPMS=\"SM\",\"SM\",\"SM\""));
    EXPECT_TRUE(Sent(commands, "AT+CNMI=2,1,0,0,0"));
    EXPECT_TRUE(Sent(commands, "AT+CMGL=4"));
}

TEST_F(SmsReceiverTest, AnEmojiSplitBetweenTwoPartsArrivesWhole)
{
    FakeSmsPhone phone({});
    // UCS-2 parts of reference 07: "A" and the high half of U+1F600, then its low half and "B".
    phone.Put("ME", Deliver(kOlek, 1, "44", "08", {"0A", "050003070202", "DE000042"}));
    phone.Put("ME", Deliver(kOlek, 0, "44", "08", {"0A", "050003070201", "0041D83D"}));
    const ReceiveReport report = Receive(phone);
    ASSERT_TRUE(report.ok) << report.problem;
    const auto inbox = Inbox();
    ASSERT_EQ(inbox.size(), 1u);
    EXPECT_EQ(inbox[0].text, "A😀B");
}

TEST_F(SmsReceiverTest, APhoneWithoutItsOwnMemoryIsReadFromTheSim)
{
    FakeSmsPhone::Options options;
    options.hasPhoneMemory = false;
    FakeSmsPhone phone(options);
    phone.Put("SM", kHello);
    const ReceiveReport report = Receive(phone);
    ASSERT_TRUE(report.ok) << report.problem;
    EXPECT_EQ(report.storage, "SM");
    EXPECT_EQ(Inbox().size(), 1u);
    EXPECT_EQ(phone.Used("SM"), 0);
    EXPECT_TRUE(Sent(phone.Commands(), "AT+CPMS=\"SM\",\"SM\",\"SM\""));
}

TEST_F(SmsReceiverTest, AMessageAnnouncedDuringTheReadingIsReadToo)
{
    FakeSmsPhone::Options options;
    options.deliverDuringListing = {kPolish};
    FakeSmsPhone phone(options);
    phone.Put("ME", kHello);
    const ReceiveReport report = Receive(phone);
    ASSERT_TRUE(report.ok) << report.problem;
    EXPECT_EQ(Inbox().size(), 2u);
    EXPECT_EQ(phone.Used("ME"), 0);
    EXPECT_TRUE(Sent(phone.Commands(), "AT+CMGR=2"));
}

TEST_F(SmsReceiverTest, AFullStorageIsReportedOnceAndTheImportClearsIt)
{
    FakeSmsPhone::Options options;
    options.capacity = 3;
    options.refuseDelete = {1, 2, 3};
    FakeSmsPhone phone(options);
    for (const auto& pdu : {kHello, kPolish, kBroken})
        phone.Put("ME", pdu);
    ReceiveReport report = Receive(phone);
    ASSERT_TRUE(report.ok) << report.problem;
    EXPECT_TRUE(report.storageFull);
    EXPECT_EQ(report.stored, 3);
    EXPECT_EQ(report.notes.size(), 4u) << "one unreadable, three not deleted";
    phone.Deliver(kAnnaA); // held back by the network: no room
    CSmsReceiver receiver(phone.DevicePath(), m_db);
    receiver.SetTimeouts(kShort);
    report = receiver.Receive(kNow);
    ASSERT_TRUE(report.ok) << report.problem;
    EXPECT_TRUE(report.storageFull) << "a new reader has not told anyone yet";
    report = receiver.Receive(kNow);
    EXPECT_FALSE(report.storageFull) << "told once already";
    EXPECT_EQ(report.stored, 0);
    EXPECT_EQ(report.duplicates, 3);

    options.refuseDelete.clear();
    phone.SetOptions(options);
    report = receiver.Receive(kNow);
    ASSERT_TRUE(report.ok) << report.problem;
    EXPECT_EQ(report.stored, 1) << "the held-back part came in once there was room";
    EXPECT_EQ(phone.Used("ME"), 0);
    report = receiver.Receive(kNow);
    EXPECT_FALSE(report.storageFull);

    const auto inbox = m_db.List({}, kNow + 25 * 3600);
    ASSERT_EQ(inbox.size(), 4u);
    EXPECT_EQ(inbox[2].text, "Ala [brak części 2]");
    EXPECT_FALSE(inbox[3].readable);
    EXPECT_EQ(inbox[3].raw, kBroken);
}

TEST_F(SmsReceiverTest, APhoneThatAnswersMemoryFullIsReportedAsFull)
{
    FakeSmsPhone::Options options;
    options.cnmiAnswer = "+CMS ERROR: 322";
    FakeSmsPhone phone(options);
    phone.Put("ME", kHello);
    const ReceiveReport report = Receive(phone);
    ASSERT_TRUE(report.ok) << report.problem;
    EXPECT_TRUE(report.storageFull);
    EXPECT_EQ(report.stored, 1);
    EXPECT_EQ(phone.Used("ME"), 0);
}

TEST_F(SmsReceiverTest, ACallRingingInTheMiddleOfTheListingCostsNoMessage)
{
    FakeSmsPhone::Options options;
    options.lineInListing = "RING";
    FakeSmsPhone phone(options);
    phone.Put("ME", kHello);
    phone.Put("ME", kPolish);
    const ReceiveReport report = Receive(phone);
    ASSERT_TRUE(report.ok) << report.problem;
    EXPECT_EQ(report.stored, 2);
    EXPECT_TRUE(report.notes.empty());
    EXPECT_EQ(phone.Used("ME"), 0);
    const auto inbox = Inbox();
    ASSERT_EQ(inbox.size(), 2u);
    EXPECT_EQ(inbox[0].text, "hellohello");
}

TEST_F(SmsReceiverTest, AListingCutShortStoresWhatCameWholeAndLeavesTheRest)
{
    FakeSmsPhone::Options options;
    options.cutListingAfter = 1;
    FakeSmsPhone phone(options);
    phone.Put("ME", kHello);
    phone.Put("ME", kPolish);
    ReceiveReport report = Receive(phone);
    EXPECT_EQ(report.stored, 1);
    EXPECT_EQ(report.deleted, 1);
    EXPECT_EQ(phone.Used("ME"), 1);
    EXPECT_FALSE(report.notes.empty());

    phone.SetOptions({});
    report = Receive(phone);
    ASSERT_TRUE(report.ok) << report.problem;
    EXPECT_EQ(report.stored, 1);
    EXPECT_EQ(phone.Used("ME"), 0);
    EXPECT_EQ(Inbox().size(), 2u);
}

TEST_F(SmsReceiverTest, APhoneGoneBeforeTheDeleteLosesNothingAndTheNextReadingStoresNothingTwice)
{
    FakeSmsPhone::Options options;
    options.silentAfter = 5; // CMGF, CGSN, CPMS, CNMI, CMGL answered; the deletes not
    FakeSmsPhone phone(options);
    phone.Put("ME", kHello);
    phone.Put("ME", kPolish);
    ReceiveReport report = Receive(phone);
    EXPECT_FALSE(report.ok);
    EXPECT_FALSE(report.problem.empty());
    EXPECT_EQ(Inbox().size(), 2u);
    EXPECT_EQ(phone.Used("ME"), 2);

    phone.SetOptions({});
    report = Receive(phone);
    ASSERT_TRUE(report.ok) << report.problem;
    EXPECT_EQ(report.stored, 0);
    EXPECT_EQ(report.duplicates, 2);
    EXPECT_EQ(report.deleted, 2);
    EXPECT_EQ(Inbox().size(), 2u);
    EXPECT_EQ(phone.Used("ME"), 0);
}

TEST_F(SmsReceiverTest, KilledBetweenTheCommitAndTheDelete)
{
    FakeSmsPhone phone({});
    for (const auto& pdu : {kHello, kPart1, kPart2})
        phone.Put("ME", pdu);
    m_db.Close();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CMessageDb db;
        if (!db.Open(m_dir.path()).ok)
            ::_exit(2);
        CSmsReceiver receiver(phone.DevicePath(), db);
        receiver.SetAfterCommit([] { ::raise(SIGKILL); });
        receiver.Receive(kNow);
        ::_exit(3);
    }
    int status = 0;
    for (int i = 0; i < 200 && ::waitpid(child, &status, WNOHANG) == 0; ++i)
        ::usleep(50000);
    if (!WIFSIGNALED(status) && !WIFEXITED(status)) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
        FAIL() << "the reading did not end";
    }
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
    EXPECT_EQ(phone.Used("ME"), 3);
    phone.ReleaseExclusive();

    ASSERT_TRUE(m_db.Open(m_dir.path()).ok);
    ASSERT_EQ(Inbox().size(), 1u) << "the commit survived; the long message waits for part 3";
    phone.Put("ME", kPart3);
    const ReceiveReport report = Receive(phone);
    ASSERT_TRUE(report.ok) << report.problem;
    EXPECT_EQ(report.duplicates, 3);
    EXPECT_EQ(report.stored, 1);
    EXPECT_EQ(phone.Used("ME"), 0);
    const auto inbox = Inbox();
    ASSERT_EQ(inbox.size(), 2u);
    EXPECT_EQ(inbox[1].text, "Part one, part two, part three.");
}

TEST(SmsReceiverListing, TakesOnlyEntriesWhosePduCameWhole)
{
    const std::vector<std::string> lines = {
        "+CMGL: 1,1,,14",        kHello,                   // announced 14 octets, holds 28
        "+CMGL: 2,1,,19",        "00040B91",               // cut
        "+CMGL: 3,1,,19",                                  // no PDU line at all
        "+CMGL: 4,0,\"Anna\",3", "07918406921511F1040000", // a name field, a centre address
        "+CMGL: 5,1,,3",         "NO CARRIER",             // not a PDU
    };
    const auto entries = CSmsReceiver::ParseListing(lines);
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].index, 1);
    EXPECT_FALSE(entries[0].whole) << "announced 14, has 25";
    EXPECT_EQ(entries[1].index, 2);
    EXPECT_FALSE(entries[1].whole);
    EXPECT_EQ(entries[2].index, 4);
    EXPECT_TRUE(entries[2].whole);
    EXPECT_EQ(entries[3].index, 5);
    EXPECT_FALSE(entries[3].hex);
    EXPECT_TRUE(entries[1].hex) << "a cut PDU is still hexadecimal";
}

} // namespace
