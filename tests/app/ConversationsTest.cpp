// The exchange with one person, gathered from the sent folder, the outbox and Brivantel.db.
#include <gtest/gtest.h>

#include "app/Conversations.h"
#include "app/Document.h"
#include "app/SettingsStore.h"
#include "messagedb/MessageDb.h"
#include "support/RecordingUserInterface.h"
#include "support/TempDir.h"

namespace {

constexpr std::int64_t kT = 1796760000;

IncomingMessage Received(const std::string& source, const std::string& sender, std::int64_t sent,
                         const std::string& text)
{
    IncomingMessage m;
    m.source = source;
    m.sender = sender;
    m.sentKnown = true;
    m.sentUtc = sent;
    m.receivedUtc = sent + 3;
    m.text = text;
    return m;
}

class ConversationsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_db.Open(m_dir.path()).ok);
        auto anna = std::make_unique<CAddress>();
        anna->SetDisplayName("Anna");
        anna->SetCountryPrefix("+48");
        anna->SetOperatorCode("602");
        anna->SetSubscriberNumber("123456");
        ASSERT_TRUE(m_doc.GetAddressBook().AddAddress(anna));
    }
    void File(CMessageList& list, const std::string& to, const std::string& text, std::int64_t time)
    {
        auto message = std::make_unique<CMessage>(to, text, static_cast<TimeStamp>(time));
        ASSERT_TRUE(list.AddMessage(message));
    }

    TempDir m_dir;
    CMessageDb m_db;
    RecordingUserInterface m_ui;
    CMemorySettingsStore m_settings;
    CBrivantelDoc m_doc{m_ui, m_settings};
};

} // namespace

TEST_F(ConversationsTest, SentWaitingAndReceivedAreOneThreadInTimeOrderWithTheirStates)
{
    // Each number form of the same person, and someone else in between.
    File(m_doc.GetSent(), "Anna", "pierwsza", kT + 10);
    File(m_doc.GetSent(), "602 123 456", "druga", kT + 30);
    File(m_doc.GetSent(), "+48601000002", "do kogoś innego", kT + 35);
    File(m_doc.GetOutbox(), "0048602123456", "czeka", kT + 50);
    ASSERT_TRUE(m_db.Import({Received("a", "+48602123456", kT + 20, "odp 1"),
                             Received("b", "602123456", kT + 40, "odp 2 😀"),
                             Received("c", "0048602123456", kT + 60, "odp 3"),
                             Received("d", "+48601000002", kT + 5, "inny")})
                    .ok);
    ASSERT_TRUE(m_db.RecordSent({"Anna", "+48602123456", "pierwsza", kT + 10, kT + 10, {4}}));
    ASSERT_TRUE(m_db.RecordSent({"602 123 456", "602 123 456", "druga", kT + 30, kT + 30, {5}}));
    ASSERT_TRUE(m_db.ApplyReports(
        {{"+48602123456", 4, 0x00, kT + 15, kT + 15}, {"+48602123456", 5, 0x45, kT + 35, kT + 35}}));

    const CConversations conversations(m_doc, m_db, kT + 100);
    const auto thread = conversations.Thread(conversations.KeyFor("Anna"));
    using Kind = ThreadItem::Kind;
    const struct
    {
        Kind kind;
        const char* text;
        Delivery state;
    } expected[] = {
        {Kind::Sent, "pierwsza", Delivery::Delivered}, {Kind::Received, "odp 1", Delivery::None},
        {Kind::Sent, "druga", Delivery::Failed},       {Kind::Received, "odp 2 😀", Delivery::None},
        {Kind::Queued, "czeka", Delivery::None},       {Kind::Received, "odp 3", Delivery::None},
    };
    ASSERT_EQ(thread.size(), std::size(expected));
    for (std::size_t i = 0; i < thread.size(); ++i) {
        EXPECT_EQ(thread[i].kind, expected[i].kind) << i;
        EXPECT_EQ(thread[i].text, expected[i].text) << i;
        EXPECT_EQ(thread[i].delivery.state, expected[i].state) << i;
        EXPECT_EQ(thread[i].key, "+48602123456") << i;
    }
    EXPECT_EQ(thread[0].delivery.at, kT + 15);

    for (const char* form : {"+48 602 123 456", "602123456", "0048602123456", "Anna"})
        EXPECT_EQ(conversations.KeyFor(form), "+48602123456") << form;

    // Newest first; Anna's last message is the newest; the other number has no name.
    const auto list = conversations.List();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].key, "+48602123456");
    EXPECT_EQ(list[0].name, "Anna");
    EXPECT_EQ(list[0].preview, "odp 3");
    EXPECT_EQ(list[0].unread, 3);
    EXPECT_EQ(list[1].key, "+48601000002");
    EXPECT_EQ(list[1].name, "");
    EXPECT_EQ(list[1].last, kT + 35);
}
