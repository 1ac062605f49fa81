#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <thread>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "DovecotServer.h"
#include "FakePop3Server.h"
#include "gateway-sim/GatewaySimulator.h"
#include "support/CliProcess.h"
#include "support/TempDir.h"

extern char** environ;

namespace {

const std::string kNotice = "Masz nowa wiadomosc w skrzynce email. Liczba wiadomosci: ";

// brivantel-cli with a data directory and settings of its own.
class Cli
{
public:
    TempDir dir;

    pid_t Spawn(const std::vector<std::string>& args)
    {
        return SpawnCli(BRIVANTEL_CLI_PATH, dir, dir.file("data"), args);
    }

    int Wait(pid_t pid)
    {
        CliResult result = WaitCli(pid, dir);
        out = std::move(result.out);
        err = std::move(result.err);
        return result.status;
    }

    int Run(const std::vector<std::string>& args) { return Wait(Spawn(args)); }

    nlohmann::json Dump()
    {
        EXPECT_EQ(Run({"dump"}), 0) << err;
        return nlohmann::json::parse(out);
    }

    std::string StderrNow() { return Slurp("stderr"); }

    std::string out;
    std::string err;

private:
    std::string Slurp(const char* name)
    {
        std::ifstream in(dir.file(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
};

class MailCommands : public ::testing::Test
{
protected:
    DovecotServer server;
    CGatewaySimulator gateway;
    Cli cli;

    void SetUp() override
    {
        std::string why;
        ASSERT_TRUE(server.Start(why)) << why;
        ASSERT_TRUE(gateway.Start());
        for (const char* name : {"Era", "Idea", "Plus"})
            ASSERT_EQ(cli.Run({"config", "set", std::string("Hosts/") + name, gateway.HostValue()}), 0)
                << cli.err;
        std::ofstream(cli.dir.file("password")) << DovecotServer::kPassword << "\n";
        ASSERT_EQ(
            cli.Run({"mail-config", "--server", "pop3s://localhost:" + std::to_string(server.TlsPort()),
                     "--user", DovecotServer::kUser, "--password-file", cli.dir.file("password"), "--enabled",
                     "1", "--notify", "1", "--country", "+48", "--network", "602", "--number", "1234567"}),
            0)
            << cli.err;
        EXPECT_EQ(cli.out.find(DovecotServer::kPassword), std::string::npos);
    }

    bool WaitForNotices(std::size_t count)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (gateway.MessageCount() < count && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return gateway.MessageCount() >= count;
    }
};

TEST_F(MailCommands, CheckMailSendsTheNoticeAndFilesIt)
{
    server.PutMessages(3);
    ASSERT_EQ(cli.Run({"check-mail", "--ca-file", server.CaFile()}), 0) << cli.err;
    EXPECT_EQ(cli.out, "Liczba wiadomości w skrzynce: 3 (powiadomienie wysłane)\n");
    ASSERT_EQ(gateway.MessageCount(), 1u);
    EXPECT_EQ(gateway.Messages()[0].text, kNotice + "3.");
    // The next run remembers the count it announced: the same mailbox is not announced again.
    ASSERT_EQ(cli.Run({"check-mail", "--ca-file", server.CaFile()}), 0) << cli.err;
    EXPECT_EQ(cli.out, "Liczba wiadomości w skrzynce: 3\n");
    EXPECT_EQ(gateway.MessageCount(), 1u);
    // A changed count is; --always announces whatever was seen before.
    server.PutMessages(4);
    ASSERT_EQ(cli.Run({"check-mail", "--ca-file", server.CaFile()}), 0) << cli.err;
    EXPECT_EQ(cli.out, "Liczba wiadomości w skrzynce: 4 (powiadomienie wysłane)\n");
    ASSERT_EQ(cli.Run({"check-mail", "--ca-file", server.CaFile(), "--always"}), 0) << cli.err;
    ASSERT_EQ(gateway.MessageCount(), 3u);
    EXPECT_EQ(gateway.Messages()[2].text, kNotice + "4.");

    const auto data = cli.Dump();
    ASSERT_EQ(data["sent"].size(), 3u);
    EXPECT_EQ(data["sent"][0]["recipients"], "+486021234567");
    EXPECT_EQ(data["sent"][0]["text"], kNotice + "3.");
    EXPECT_EQ(data["outbox"].size(), 0u);
}

// A notice the gateway refused waits in the outbox: the check did not do its job, and a cron job
// must see that from the exit status.
TEST_F(MailCommands, CheckMailFailsWhenTheNoticeIsQueuedInsteadOfSent)
{
    server.PutMessages(2);
    gateway.SetBehaviour(CGatewaySimulator::Behaviour::ServerError);
    EXPECT_EQ(cli.Run({"check-mail", "--ca-file", server.CaFile()}), 1) << cli.err;
    EXPECT_EQ(cli.out, "Liczba wiadomości w skrzynce: 2 (powiadomienie nie zostało wysłane; czeka w folderze "
                       "Wiadomości wysyłane)\n");
    EXPECT_EQ(cli.Dump()["outbox"].size(), 1u);
}

TEST_F(MailCommands, CheckMailReportsAFailedLoginWithoutThePassword)
{
    // The system's trusted certificates do not know the test CA.
    EXPECT_EQ(cli.Run({"check-mail"}), 1);
    EXPECT_NE(cli.err.find("Błąd podczas sprawdania poczty.\nBłąd podczas łączenia sie z serverem.\nTLS: "
                           "certyfikat serwera nie jest zaufany"),
              std::string::npos)
        << cli.err;
    EXPECT_NE(cli.err.find("Przyczyna: TLS: certyfikat serwera nie jest zaufany"), std::string::npos)
        << cli.err;
    EXPECT_EQ(cli.err.find(DovecotServer::kPassword), std::string::npos);
    EXPECT_EQ(gateway.MessageCount(), 0u);
}

TEST_F(MailCommands, CheckMailPrintsTheReasonOfAFailure)
{
    const struct
    {
        FakePop3Server::Script script;
        const char* reason;
    } cases[] = {
        {{{"-ERR zajety\r\n"}, {}}, "serwer poczty nie przyjął połączenia"},
        {{{"+OK\r\n"}, {{{"+OK\r\n"}}, {{"-ERR\r\n"}}}}, "serwer poczty nie przyjął hasła"},
        {{{"+OK\r\n"}, {{{"+OK\r\n"}}, {{"+OK\r\n"}}, {{"+OK 4 mails\r\n"}}}},
         "niepoprawna odpowiedź serwera poczty na polecenie STAT"},
    };
    for (const auto& c : cases) {
        FakePop3Server pop3(c.script);
        ASSERT_EQ(cli.Run({"mail-config", "--server", pop3.Address()}), 0) << cli.err;
        EXPECT_EQ(cli.Run({"check-mail"}), 1);
        EXPECT_NE(cli.err.find(std::string("Przyczyna: ") + c.reason + "\n"), std::string::npos) << cli.err;
    }
}

TEST_F(MailCommands, CheckMailRefusesWhenWatchingIsOff)
{
    ASSERT_EQ(cli.Run({"mail-config", "--enabled", "0"}), 0);
    EXPECT_EQ(cli.Run({"check-mail", "--ca-file", server.CaFile()}), 1);
    EXPECT_NE(cli.err.find("wyłączone"), std::string::npos);
    EXPECT_EQ(cli.Run({"mail-config", "--interval", "0"}), 2);
}

TEST_F(MailCommands, PasswordWithALineBreakIsRefusedWhenGiven)
{
    std::ofstream(cli.dir.file("bad"), std::ios::binary) << "ab\rcd\n";
    EXPECT_EQ(cli.Run({"mail-config", "--password-file", cli.dir.file("bad")}), 2);
    EXPECT_NE(cli.err.find("Hasło nie może zawierać znaków końca wiersza."), std::string::npos) << cli.err;
    // The password set before stays: the check still logs in.
    server.PutMessages(1);
    EXPECT_EQ(cli.Run({"check-mail", "--ca-file", server.CaFile()}), 0) << cli.err;
}

TEST_F(MailCommands, InterruptDuringACheckEndsItWithoutANotice)
{
    // The count arrives half a second a byte, long after the interrupt.
    FakePop3Server slow(
        {{"+OK\r\n"}, {{{"+OK\r\n"}}, {{"+OK\r\n"}}, {FakePop3Server::Drip("+OK 5 100\r\n")}}, false, 500});
    ASSERT_EQ(cli.Run({"mail-config", "--server", slow.Address()}), 0) << cli.err;
    const pid_t pid = cli.Spawn({"watch-mail"});
    ASSERT_GT(pid, 0);
    // Interrupt once the schedule runs (the signal handling is in place by then).
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (cli.StderrNow().find("Ctrl+C") == std::string::npos && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    ::kill(pid, SIGINT);
    EXPECT_EQ(cli.Wait(pid), 0) << cli.err;
    EXPECT_NE(cli.err.find("Sprawdzanie poczty przerwane"), std::string::npos) << cli.err;
    EXPECT_EQ(gateway.MessageCount(), 0u);
    EXPECT_EQ(slow.Received().find("QUIT"), std::string::npos);
    const auto data = cli.Dump();
    EXPECT_EQ(data["sent"].size() + data["outbox"].size(), 0u);
}

TEST_F(MailCommands, WatchMailChecksOnItsFirstTickAndStopsOnInterrupt)
{
    server.PutMessages(5);
    const pid_t pid = cli.Spawn({"watch-mail", "--ca-file", server.CaFile()});
    ASSERT_GT(pid, 0);
    const bool notified = WaitForNotices(1);
    ::kill(pid, SIGINT);
    EXPECT_EQ(cli.Wait(pid), 0) << cli.err;
    ASSERT_TRUE(notified);
    EXPECT_EQ(gateway.Messages()[0].text, kNotice + "5.");
    EXPECT_NE(cli.out.find("Liczba wiadomości w skrzynce: 5 (powiadomienie wysłane)\n"), std::string::npos);
    EXPECT_EQ(cli.Dump()["sent"].size(), 1u);
}

} // namespace
