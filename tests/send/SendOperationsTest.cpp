#include <gtest/gtest.h>

#include "SendTestSupport.h"
#include "app/Document.h"
#include "app/SettingsStore.h"
#include "gateway-sim/GatewaySimulator.h"
#include "store/Windows1250.h"
#include "support/RecordingUserInterface.h"
#include "support/TempDir.h"

#include <mutex>

namespace {

std::string Polish(const char* utf8)
{
    return windows1250::FromUtf8Lossy(utf8);
}

const std::string kInformation =
    Polish("Wiadomość została umieszczona w folderze \"Wiadomości wysyłane\" i zostanie wysłana poźniej.");

class SendOperationsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.Start());
        for (const char* name : {"Era", "Idea", "Plus"})
            store.SetString("Hosts", name, sim.HostValue());
        doc.GetSender().SetTimeouts(ShortTimeouts());
        doc.SetSignature("Jan");
        ASSERT_TRUE(AddPerson(doc.GetAddressBook(), "Anna", "502", "111222"));
        ASSERT_TRUE(AddPerson(doc.GetAddressBook(), "Bogdan", "601", "333444"));
        ASSERT_TRUE(AddPerson(doc.GetAddressBook(), "Celina", "602", "555666"));
    }
    void Queue(const std::string& recipients, const std::string& text)
    {
        auto message = std::make_unique<CMessage>(recipients, text);
        ASSERT_TRUE(doc.GetOutbox().AddMessage(message));
    }
    static std::string Line(int i, int n)
    {
        return "text:" + Polish("Wysyłanie wiadomości ") + std::to_string(i) + " z " + std::to_string(n) +
               ".";
    }

    CGatewaySimulator sim;
    RecordingUserInterface ui;
    CMemorySettingsStore store;
    CBrivantelDoc doc{ui, store};
};

using Strings = std::vector<std::string>;

TEST_F(SendOperationsTest, SendsEachNumberAndFilesItUnderItsNameWithProgress)
{
    CBrivantelDoc::SendCount count;
    EXPECT_TRUE(
        doc.SendToRecipients("Anna;Bogdan", "+48502111222;+48601333444", "Hej", ROUTE_CONFIGURED, &count));
    EXPECT_EQ(count.sent, 2);
    EXPECT_EQ(count.failed, 0);
    const auto m = sim.Messages();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].gateway, "Idea");
    EXPECT_EQ(m[1].gateway, "Plus");
    EXPECT_EQ(Recipients(doc.GetSent()), (Strings{"Anna", "Bogdan"}));
    EXPECT_EQ(doc.GetSent().GetMessages()[0]->GetText(), "Hej");
    EXPECT_EQ(doc.GetOutbox().GetCount(), 0u);
    EXPECT_EQ(ui.progress, (Strings{"open:" + Polish("Wysyłanie wiadomości"), "range:2", "pos:0", Line(1, 2),
                                    "pos:1", Line(2, 2), "pos:2", "close"}));
    EXPECT_EQ(ui.waitCursor, (std::vector<bool>{true, false}));
    EXPECT_TRUE(ui.sendFailures.empty());
}

// Each confirmed number is on disk before the next number's exchange begins: a crash in the middle
// of a long send queues again only the message in flight.
TEST_F(SendOperationsTest, EachConfirmedMessageIsOnDiskBeforeTheNextExchange)
{
    TempDir dir;
    const std::string path = dir.file("Brivantel.vs");
    CBrivantelDoc filed{ui, store};
    ASSERT_TRUE(filed.Open(path, CBrivantelDoc::Access::ReadWrite));
    filed.GetSender().SetTimeouts(ShortTimeouts());
    std::mutex mutex;
    std::vector<std::size_t> sentOnDisk;
    sim.SetLog([&](const CGatewaySimulator::Message&) {
        RecordingUserInterface readerUi;
        CMemorySettingsStore readerStore;
        CBrivantelDoc reader{readerUi, readerStore};
        const std::size_t sent =
            reader.Open(path, CBrivantelDoc::Access::ReadOnly) ? reader.GetSent().GetCount() : 99;
        std::lock_guard lock(mutex);
        sentOnDisk.push_back(sent);
    });
    CBrivantelDoc::SendCount count;
    filed.SendToRecipients("a;b;c", "+48502111222;+48601333444;+48602555666", "Hej", ROUTE_INTERNET, &count);
    sim.SetLog({});
    EXPECT_EQ(count.sent, 3);
    std::lock_guard lock(mutex);
    EXPECT_EQ(sentOnDisk, (std::vector<std::size_t>{0, 1, 2}));
}

TEST_F(SendOperationsTest, OnlyAFailureOfTheLastNumberShowsTheDialog)
{
    doc.SendToRecipients("Anna;X", "+48502111222;+48600000000", "Hej", ROUTE_INTERNET);
    EXPECT_EQ(Recipients(doc.GetSent()), (Strings{"Anna"}));
    EXPECT_EQ(Recipients(doc.GetOutbox()), (Strings{"+48600000000"}));
    ASSERT_EQ(ui.sendFailures.size(), 1u);
    EXPECT_EQ(ui.sendFailures[0].text, "Hej");
    EXPECT_EQ(ui.sendFailures[0].recipient, "+48600000000");
    EXPECT_EQ(ui.sendFailures[0].information, kInformation);

    ui.sendFailures.clear();
    doc.SendToRecipients("X;Anna", "+48600000000;+48502111222", "Hej", ROUTE_INTERNET);
    EXPECT_EQ(doc.GetOutbox().GetCount(), 2u);
    EXPECT_TRUE(ui.sendFailures.empty());
}

// Queued, a message without a number could never leave (and the typed name would be lost).
TEST_F(SendOperationsTest, EmptyNumberListFailsOnceAndQueuesNothing)
{
    EXPECT_FALSE(doc.SendToRecipients("Nieznany", "", "Hej", ROUTE_CONFIGURED));
    EXPECT_EQ(doc.GetOutbox().GetCount(), 0u);
    ASSERT_EQ(ui.sendFailures.size(), 1u);
    EXPECT_EQ(ui.sendFailures[0].recipient, "Nieznany");
    EXPECT_EQ(sim.MessageCount(), 0u);
}

// Whenever the program may end, each message is on disk in the outbox or in the sent folder:
// it is written to the outbox before its first byte leaves.
TEST_F(SendOperationsTest, EveryMessageIsInTheOutboxOnDiskBeforeItLeaves)
{
    TempDir dir;
    const std::string path = dir.file("Brivantel.vs");
    ASSERT_TRUE(doc.Open(path, CBrivantelDoc::Access::ReadWrite));
    std::mutex mutex;
    std::vector<Strings> onDisk;
    sim.SetLog([&](const CGatewaySimulator::Message&) {
        RecordingUserInterface readerUi;
        CMemorySettingsStore readerStore;
        CBrivantelDoc reader(readerUi, readerStore);
        const bool read = reader.Open(path, CBrivantelDoc::Access::ReadOnly);
        std::lock_guard lock(mutex);
        onDisk.push_back(read ? Recipients(reader.GetOutbox()) : Strings{"unreadable"});
    });
    doc.SendToRecipients("Anna;Bogdan", "+48502111222;+48601333444", "Hej", ROUTE_CONFIGURED);
    Queue("Celina", "potem");
    doc.NotifyChanged(DocChange::Outbox);
    doc.SendOutbox();
    sim.SetLog({});
    std::lock_guard lock(mutex);
    // Anna's confirmation is on disk before Bogdan's exchange: a crash then sends only Bogdan again.
    EXPECT_EQ(onDisk, (std::vector<Strings>{{"Anna", "Bogdan"}, {"Bogdan"}, {"Celina"}}));
    EXPECT_EQ(Recipients(doc.GetSent()), (Strings{"Anna", "Bogdan", "Celina"}));
}

TEST_F(SendOperationsTest, ProgressCountsRecipientsEvenWhenFewerNumbersCame)
{
    doc.SendToRecipients("Anna;Obcy;Bogdan", "+48502111222;+48601333444", "Hej", ROUTE_CONFIGURED);
    EXPECT_EQ(ui.progress, (Strings{"open:" + Polish("Wysyłanie wiadomości"), "range:3", "pos:0", Line(1, 3),
                                    "pos:1", Line(2, 3), "pos:2", "close"}));
}

TEST_F(SendOperationsTest, PhoneOrUnknownRouteFailsAndQueuesEverything)
{
    doc.SendToRecipients("Anna;Bogdan", "+48502111222;+48601333444", "Hej", ROUTE_PHONE);
    doc.GetSettings().SetRoute(5);
    doc.SendToRecipients("Celina", "+48602555666", "Hej", ROUTE_CONFIGURED);
    EXPECT_EQ(Recipients(doc.GetOutbox()), (Strings{"Anna", "Bogdan", "Celina"}));
    EXPECT_EQ(sim.MessageCount(), 0u);
}

TEST_F(SendOperationsTest, SignatureAndHostsAreReadAtTheMomentOfSending)
{
    doc.SetSignature("Ewa & Co");
    doc.SendToRecipients("Celina", "+48602555666", "Hej", ROUTE_CONFIGURED);
    ASSERT_EQ(sim.MessageCount(), 1u);
    EXPECT_EQ(sim.Messages()[0].sender, "Ewa & Co");
    store.SetString("Hosts", "Era", "127.0.0.1:" + std::to_string(UnusedPort()));
    doc.SendToRecipients("Celina", "+48602555666", "Hej", ROUTE_CONFIGURED);
    EXPECT_EQ(sim.MessageCount(), 1u);
    EXPECT_EQ(doc.GetOutbox().GetCount(), 1u);
}

TEST_F(SendOperationsTest, OutboxSendsEachQueuedMessageOnceInFolderOrder)
{
    Queue("Anna", "jeden");
    Queue("Bogdan", "dwa");
    Queue("Celina", "trzy");
    CBrivantelDoc::SendCount count;
    doc.SendOutbox(&count);
    EXPECT_EQ(count.sent, 3);
    EXPECT_EQ(doc.GetOutbox().GetCount(), 0u);
    EXPECT_EQ(Recipients(doc.GetSent()), (Strings{"Anna", "Bogdan", "Celina"}));
    const auto m = sim.Messages();
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(m[0].text, "jeden");
    EXPECT_EQ(m[2].text, "trzy");
    EXPECT_EQ(ui.progress, (Strings{"open:" + Polish("Wysyłanie wiadomości"), "range:3", "pos:0", Line(1, 3),
                                    Line(2, 3), Line(3, 3), "close"}));
}

TEST_F(SendOperationsTest, OutboxKeepsWhatFailsAndShowsTheDialogForEach)
{
    Queue("Nieznany", "a");
    Queue("Anna", "b");
    Queue("+48600000000", "c");
    doc.SendOutbox();
    EXPECT_EQ(Recipients(doc.GetOutbox()), (Strings{"Nieznany", "+48600000000"}));
    EXPECT_EQ(Recipients(doc.GetSent()), (Strings{"Anna"}));
    ASSERT_EQ(ui.sendFailures.size(), 2u);
    EXPECT_EQ(ui.sendFailures[0].text, "a");
    EXPECT_EQ(ui.sendFailures[0].recipient, "Nieznany");
    EXPECT_EQ(ui.sendFailures[0].information, "");
    EXPECT_EQ(ui.sendFailures[1].recipient, "+48600000000");
}

TEST_F(SendOperationsTest, OutboxDeliversBareNumbersAndSeveralNames)
{
    Queue("+48609123456", "powiadomienie");
    Queue("Anna;Bogdan", "do dwojga");
    doc.SendOutbox();
    EXPECT_EQ(doc.GetOutbox().GetCount(), 0u);
    EXPECT_EQ(Recipients(doc.GetSent()), (Strings{"+48609123456", "Anna;Bogdan"}));
    const auto m = sim.Messages();
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(m[0].number, "+48609123456");
    EXPECT_EQ(m[1].number, "502111222");
    EXPECT_EQ(m[2].number, "+48601333444");
}

TEST_F(SendOperationsTest, OutboxKeepsOnlyTheNamesThatFailed)
{
    Queue("Anna;Obcy;Bogdan;X", "hej");
    doc.SendOutbox();
    EXPECT_EQ(Recipients(doc.GetOutbox()), (Strings{"Obcy;X"}));
    EXPECT_EQ(Recipients(doc.GetSent()), (Strings{"Anna", "Bogdan"}));
    ASSERT_EQ(ui.sendFailures.size(), 1u);
    EXPECT_EQ(ui.sendFailures[0].recipient, "Obcy;X");
    // Sent again, the names that went out are not sent twice.
    doc.SendOutbox();
    EXPECT_EQ(sim.MessageCount(), 2u);
}

TEST_F(SendOperationsTest, ClosingAsksOnlyWithAQueueAndSendsOnYes)
{
    doc.OfferToSendOutbox();
    EXPECT_TRUE(ui.questions.empty());
    Queue("Anna", "a");
    ui.answers = {false};
    doc.OfferToSendOutbox();
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(ui.questions[0],
              Polish("W folderze \"Wysyłane wiadomości\" znajdują się niewysłane wiadomości.\n"
                     "Czy chesz je wysłać teraz?"));
    EXPECT_EQ(doc.GetOutbox().GetCount(), 1u);
    ui.answers = {true};
    doc.OfferToSendOutbox();
    EXPECT_EQ(doc.GetOutbox().GetCount(), 0u);
    EXPECT_EQ(sim.MessageCount(), 1u);
}

} // namespace
