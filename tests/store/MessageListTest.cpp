#include <gtest/gtest.h>

#include "store/MessageList.h"
#include "store/Recipients.h"

namespace {
CMessage* File(CMessageList& list, const std::string& text)
{
    auto m = std::make_unique<CMessage>("r", text, 5);
    CMessage* raw = m.get();
    EXPECT_TRUE(list.AddMessage(m));
    EXPECT_EQ(m, nullptr);
    return raw;
}
} // namespace

TEST(MessageList, AppendsInOrderAndRemovesByIdentity)
{
    COutboxList outbox;
    CMessage* a = File(outbox, "a");
    CMessage* b = File(outbox, "b");
    CMessage* c = File(outbox, "c");
    ASSERT_EQ(outbox.GetCount(), 3u);
    EXPECT_EQ(outbox.GetMessages()[0].get(), a);
    EXPECT_EQ(outbox.GetMessages()[2].get(), c);

    auto taken = outbox.RemoveMessage(b);
    EXPECT_EQ(taken.get(), b);
    EXPECT_EQ(outbox.RemoveMessage(b), nullptr); // already gone: nothing changes
    EXPECT_EQ(outbox.GetCount(), 2u);
    EXPECT_EQ(outbox.GetMessages()[1].get(), c);

    CMessage stranger;
    EXPECT_EQ(outbox.RemoveMessage(&stranger), nullptr);
    EXPECT_EQ(outbox.GetCount(), 2u);
}

TEST(MessageList, DeletedFolderDestroysMessages)
{
    CDeletedMessagesList deleted;
    CMessage* a = File(deleted, "a");
    File(deleted, "b");
    CMessage stranger;
    deleted.DeleteMessage(&stranger);
    EXPECT_EQ(deleted.GetCount(), 2u);
    deleted.DeleteMessage(a);
    ASSERT_EQ(deleted.GetCount(), 1u);
    EXPECT_EQ(deleted.GetMessages()[0]->GetText(), "b");
    deleted.DeleteAllMessages();
    EXPECT_EQ(deleted.GetCount(), 0u);
}

TEST(Message, KeepsItsTimeWhenChanged)
{
    CMessage m("Jan", "text", 123);
    m.SetText("other");
    m.SetRecipients("Ewa");
    EXPECT_EQ(m.GetTime(), 123u);
    const TimeStamp before = CurrentTimeStamp();
    CMessage now("x", "y");
    EXPECT_GE(now.GetTime(), before);
    EXPECT_LE(now.GetTime(), CurrentTimeStamp());
}

TEST(Recipients, SplitKeepsEmptyPiecesAndJoinRestoresThem)
{
    EXPECT_EQ(recipients::Split("Jan;;Ewa;"), (std::vector<std::string>{"Jan", "", "Ewa", ""}));
    EXPECT_EQ(recipients::Split(""), (std::vector<std::string>{""}));
    EXPECT_EQ(recipients::Join(recipients::Split("Jan;;Ewa;")), "Jan;;Ewa;");
    EXPECT_EQ(recipients::Join({}), "");
}
