#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <thread>

#include "../send/SendTestSupport.h"
#include "app/Document.h"
#include "app/SettingsStore.h"
#include "gateway-sim/GatewaySimulator.h"
#include "support/CliProcess.h"
#include "support/RecordingUserInterface.h"
#include "support/SmallFilesystem.h"
#include "support/TempDir.h"

namespace {

// brivantel-cli with its own data and configuration directories, sending to a simulator through
// a real tinyproxy.
class SendCommandsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.Start());
        std::string why;
        ASSERT_TRUE(proxy.Start(why)) << why;
        for (const char* name : {"Era", "Idea", "Plus"})
            ASSERT_EQ(Cli({"config", "set", std::string("Hosts/") + name, sim.HostValue()}).status, 0);
        ASSERT_EQ(Cli({"config", "set", "Settings/Sign", "Jan"}).status, 0);
        WithDocument([&](CBrivantelDoc& doc) {
            doc.GetSettings().SetUseProxy(true);
            doc.GetSettings().SetProxyHost("127.0.0.1");
            doc.GetSettings().SetProxyPort(proxy.Port());
            EXPECT_TRUE(AddPerson(doc.GetAddressBook(), "Anna", "502", "111222"));
            EXPECT_TRUE(AddPerson(doc.GetAddressBook(), "Bogdan", "601", "333444"));
            EXPECT_TRUE(AddPerson(doc.GetAddressBook(), "Celina", "602", "555666"));
        });
    }

    template <class F> void WithDocument(F&& f, bool save = true)
    {
        RecordingUserInterface ui;
        CMemorySettingsStore store;
        CBrivantelDoc doc(ui, store);
        ASSERT_TRUE(doc.Open(dir.file("Brivantel.vs"), CBrivantelDoc::Access::ReadWrite));
        f(doc);
        if (save) {
            ASSERT_TRUE(doc.SaveDataFile());
        }
    }

    // What another reader sees on disk now, without the writer's lock.
    template <class F> void WithDocumentReadOnly(F&& f)
    {
        RecordingUserInterface ui;
        CMemorySettingsStore store;
        CBrivantelDoc doc(ui, store);
        if (doc.Open(dir.file("Brivantel.vs"), CBrivantelDoc::Access::ReadOnly))
            f(doc);
    }

    CliResult Cli(const std::vector<std::string>& args) { return WaitCli(Spawn(args), dir); }
    pid_t Spawn(const std::vector<std::string>& args)
    {
        return SpawnCli(BRIVANTEL_CLI_PATH, dir, dir.path(), args);
    }

    TempDir dir;
    CGatewaySimulator sim;
    Tinyproxy proxy;
};

TEST_F(SendCommandsTest, SendDeliversThroughTheProxyAndFilesTheMessagesInTheSavedFile)
{
    const CliResult r = Cli({"send", "--to", "Anna;Obcy;Bogdan;", "--text", "Cześć"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Wysyłanie wiadomości 1 z 3."), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Wysyłanie wiadomości 2 z 3."), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Obcy"), std::string::npos) << r.err;
    const auto m = sim.Messages();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].gateway, "Idea");
    EXPECT_EQ(m[0].text, "Cze\x9C\xE6");
    EXPECT_EQ(m[0].sender, "Jan");
    EXPECT_EQ(m[1].gateway, "Plus");
    WithDocument(
        [&](CBrivantelDoc& doc) {
            EXPECT_EQ(Recipients(doc.GetSent()), (std::vector<std::string>{"Anna", "Bogdan"}));
            EXPECT_EQ(doc.GetOutbox().GetCount(), 0u);
        },
        false);
}

TEST_F(SendCommandsTest, FailedNumberIsQueuedReportedAndSentLaterFromTheOutbox)
{
    const CliResult r = Cli({"send", "--number", "+48602555666;+48600000001", "--text", "x"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("nie została wysłana."), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("i zostanie wysłana poźniej."), std::string::npos) << r.err;
    ASSERT_EQ(sim.MessageCount(), 1u);
    EXPECT_EQ(sim.Messages()[0].gateway, "Era");

    ASSERT_EQ(Cli({"later", "--to", "Anna;Celina", "--text", "potem"}).status, 0);
    WithDocument(
        [&](CBrivantelDoc& doc) {
            EXPECT_EQ(Recipients(doc.GetSent()), (std::vector<std::string>{"Celina"}));
            EXPECT_EQ(Recipients(doc.GetOutbox()), (std::vector<std::string>{"+48600000001", "Anna;Celina"}));
        },
        false);

    const CliResult outbox = Cli({"send-outbox"});
    EXPECT_EQ(outbox.status, 1);
    EXPECT_NE(outbox.err.find("+48600000001"), std::string::npos) << outbox.err;
    EXPECT_EQ(sim.MessageCount(), 3u);
    WithDocument(
        [&](CBrivantelDoc& doc) {
            EXPECT_EQ(Recipients(doc.GetOutbox()), (std::vector<std::string>{"+48600000001"}));
            EXPECT_EQ(Recipients(doc.GetSent()), (std::vector<std::string>{"Celina", "Anna;Celina"}));
        },
        false);
}

// Each failed number is printed with its reason; the message waits in the outbox.
TEST_F(SendCommandsTest, FailedSendPrintsItsReasonBesideTheNumber)
{
    const std::uint16_t unused = UnusedPort();
    const std::string proxyPeer = "proxy 127.0.0.1:";
    const struct
    {
        CGatewaySimulator::Behaviour behaviour;
        std::uint16_t proxyPort; // 0: the running proxy
        std::string reason;      // UTF-8
    } cases[] = {
        {CGatewaySimulator::Behaviour::ServerError, 0, "bramka odpowiedziała kodem 500"},
        {CGatewaySimulator::Behaviour::NeverAnswer, 0,
         "serwer " + proxyPeer + std::to_string(proxy.Port()) + " nie odpowiedział w ciągu 1 s"},
        {CGatewaySimulator::Behaviour::Normal, unused,
         "nie można połączyć się z serwerem " + proxyPeer + std::to_string(unused)},
    };
    std::size_t queued = 0;
    for (const auto& c : cases) {
        sim.SetBehaviour(c.behaviour);
        WithDocument([&](CBrivantelDoc& doc) {
            doc.GetSettings().SetProxyPort(c.proxyPort ? c.proxyPort : proxy.Port());
        });
        const CliResult r = Cli({"send", "--number", "+48602555666", "--text", "x", "--timeout", "1"});
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find("+48602555666: " + c.reason + "\n"), std::string::npos) << r.err;
        WithDocument([&](CBrivantelDoc& doc) { EXPECT_EQ(doc.GetOutbox().GetCount(), ++queued); }, false);
    }
}

// SIGTERM while the gateway never answers: the wait stops, the message is in the outbox (it was
// there on disk before its first byte left), and the status says the send was cut short.
TEST_F(SendCommandsTest, TerminatedSendLeavesTheMessageInTheOutbox)
{
    sim.SetBehaviour(CGatewaySimulator::Behaviour::NeverAnswer);
    const pid_t pid = Spawn({"send", "--to", "Anna", "--text", "przerwana"});
    ASSERT_GT(pid, 0);
    bool queued = false;
    for (int i = 0; i < 300 && !queued; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        WithDocumentReadOnly([&](CBrivantelDoc& doc) { queued = doc.GetOutbox().GetCount() == 1; });
    }
    // The request has reached the gateway, or is on its way there.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ::kill(pid, SIGTERM);
    const CliResult r = WaitCli(pid, dir);
    ASSERT_TRUE(queued) << r.err;
    EXPECT_EQ(r.status, 128 + SIGTERM) << r.err;
    EXPECT_EQ(r.err.find("nie została wysłana."), std::string::npos) << r.err;
    WithDocument(
        [&](CBrivantelDoc& doc) {
            ASSERT_EQ(Recipients(doc.GetOutbox()), (std::vector<std::string>{"Anna"}));
            EXPECT_EQ(doc.GetOutbox().GetMessages()[0]->GetText(), "przerwana");
            EXPECT_EQ(doc.GetSent().GetCount(), 0u);
        },
        false);
}

// The same with a disk that fills up meanwhile: the final save fails, and the command says so
// (status 1 and the reason) instead of "dane zapisano".
TEST_F(SendCommandsTest, TerminatedSendWhoseSaveFailsSaysSo)
{
    SmallFilesystem fs(2048);
    if (!fs.Mounted())
        GTEST_SKIP() << fs.Why();
    WriteFileBytes(fs.file("Brivantel.vs"), ReadFileBytes(dir.file("Brivantel.vs")));
    sim.SetBehaviour(CGatewaySimulator::Behaviour::NeverAnswer);
    const pid_t pid =
        SpawnCli(BRIVANTEL_CLI_PATH, dir, fs.file(""), {"send", "--to", "Anna", "--text", "przerwana"});
    ASSERT_GT(pid, 0);
    bool queued = false;
    for (int i = 0; i < 300 && !queued; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        RecordingUserInterface ui;
        CMemorySettingsStore store;
        CBrivantelDoc doc(ui, store);
        queued = doc.Open(fs.file("Brivantel.vs"), CBrivantelDoc::Access::ReadOnly) &&
                 doc.GetOutbox().GetCount() == 1;
    }
    fs.Fill();
    ::kill(pid, SIGTERM);
    const CliResult r = WaitCli(pid, dir);
    ASSERT_TRUE(queued) << r.err;
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.err.find("dane zapisano"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("danych nie zapisano"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Brak miejsca na dysku."), std::string::npos) << r.err;
}

// Names none of which has an entry: nothing is queued, each missing name is named, status 1.
TEST_F(SendCommandsTest, SendToNamesWithoutNumbersQueuesNothing)
{
    const CliResult r = Cli({"send", "--to", "Obcy;Nikt", "--text", "x"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Obcy"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Nikt"), std::string::npos) << r.err;
    EXPECT_EQ(sim.MessageCount(), 0u);
    WithDocument([&](CBrivantelDoc& doc) { EXPECT_EQ(doc.GetOutbox().GetCount(), 0u); }, false);
}

TEST_F(SendCommandsTest, RefusesIncompleteOrOverlongInput)
{
    EXPECT_EQ(Cli({"send", "--text", "x"}).status, 2);
    EXPECT_EQ(Cli({"send", "--to", "Anna", "--number", "+48502111222", "--text", "x"}).status, 2);
    EXPECT_EQ(Cli({"send", "--to", "Anna"}).status, 2);
    EXPECT_EQ(Cli({"send", "--to", "Anna", "--text", std::string(161, 'a')}).status, 2);
    EXPECT_EQ(Cli({"later", "--to", "", "--text", "x"}).status, 2);
    EXPECT_EQ(Cli({"send", "--to", "Anna", "--text", std::string(160, 'a')}).status, 0);
    EXPECT_EQ(sim.MessageCount(), 1u);
}

} // namespace
