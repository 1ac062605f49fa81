#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include "FakePop3Server.h"
#include "mailwatch/Pop3Client.h"
#include "store/Windows1250.h"

namespace {

using Answer = FakePop3Server::Answer;

std::string W(const char* utf8)
{
    return windows1250::FromUtf8Lossy(utf8);
}

const std::string kConnectError = W("Błąd podczas łączenia sie z serverem.");

CPop3Options Quick(int readMs = 5000)
{
    CPop3Options o;
    o.timeouts.connect = std::chrono::milliseconds(5000);
    o.timeouts.read = std::chrono::milliseconds(readMs);
    o.timeouts.write = std::chrono::milliseconds(5000);
    return o;
}

FakePop3Server::Script Greeted(std::vector<Answer> answers)
{
    return {{"+OK POP3 ready\r\n"}, std::move(answers), false};
}

TEST(Pop3Address, HostPortAndTlsForms)
{
    const struct
    {
        const char* text;
        const char* host;
        int port;
        bool tls;
    } accepted[] = {
        {"mail.example.pl", "mail.example.pl", 110, false},
        {" mail.example.pl:2110 ", "mail.example.pl", 2110, false},
        {"pop3s://mail.example.pl", "mail.example.pl", 995, true},
        {"POP3S://10.0.0.1:1995/", "10.0.0.1", 1995, true},
    };
    for (const auto& c : accepted) {
        const auto a = CPop3Address::Parse(c.text);
        ASSERT_TRUE(a) << c.text;
        EXPECT_EQ(a->host, c.host) << c.text;
        EXPECT_EQ(a->port, c.port) << c.text;
        EXPECT_EQ(a->tls, c.tls) << c.text;
    }
    EXPECT_FALSE(CPop3Address::Parse(""));
    EXPECT_FALSE(CPop3Address::Parse("mail.example.pl:pop"));
    EXPECT_FALSE(CPop3Address::Parse("pop3s://"));
    EXPECT_FALSE(CPop3Address::Parse("host:70000"));
}

TEST(Pop3Client, LoginStatQuitSendExactlyTheseLines)
{
    FakePop3Server server(
        Greeted({{{"+OK\r\n"}}, {{"+OK logged in\r\n"}}, {{"+OK 2 320\r\n"}}, {{"+OK bye\r\n"}}}));
    {
        CPop3Client client(Quick());
        ASSERT_TRUE(client.Login(server.Address(), "jan kowalski", "tajne haslo"));
        ASSERT_TRUE(client.Stat());
        EXPECT_EQ(client.GetMessageCount(), 2);
        EXPECT_EQ(client.GetMailboxSize(), 320);
        EXPECT_TRUE(client.Quit());
        EXPECT_EQ(client.GetErrorText(), "");
    }
    // The user name goes out unchanged, blanks and all; STAT and QUIT keep their trailing blank.
    EXPECT_EQ(server.Received(), "USER jan kowalski\r\nPASS tajne haslo\r\nSTAT \r\nQUIT \r\n");
}

TEST(Pop3Client, OtherCommandsAndMultiLineReplies)
{
    FakePop3Server server(Greeted({{{"+OK\r\n"}},
                                   {{"+OK\r\n"}},
                                   {{"+OK 2 messages (70120 octets)\r\n1 120\r\n2 70000\r\n.\r\n"}},
                                   {{"+OK\r\n3\t99\r\n.\r\n"}},
                                   {{"+OK 40 octets\r\nSubject: a\r\n\r\n..hidden\r\n.\r\n"}},
                                   {{"+OK\r\n"}},
                                   {{"+OK\r\n"}},
                                   {{"+OK\r\n"}},
                                   {{"+OK\r\n"}}}));
    {
        CPop3Client client(Quick());
        ASSERT_TRUE(client.Login(server.Address(), "u", "p"));
        ASSERT_TRUE(client.List());
        ASSERT_TRUE(client.List()); // appends to the first listing
        // Sizes above 65535 are kept whole.
        EXPECT_EQ(client.GetListing(), (std::vector<std::uint64_t>{120, 70000, 99}));
        EXPECT_EQ(client.GetMessageSize(2), 70000u);
        EXPECT_EQ(client.GetMessageSize(0), 0u);
        EXPECT_EQ(client.GetMessageSize(4), 0u);
        ASSERT_TRUE(client.Retr(3));
        EXPECT_EQ(client.GetMessageText(), "Subject: a\r\n\r\n.hidden\r\n"); // dot-unstuffed
        EXPECT_TRUE(client.Dele(3));
        EXPECT_TRUE(client.Noop());
        EXPECT_TRUE(client.Rset());
        EXPECT_TRUE(client.Quit());
    }
    EXPECT_EQ(server.Received(),
              "USER u\r\nPASS p\r\nLIST  \r\nLIST  \r\nRETR 3\r\nDELE 3\r\nNOOP  \r\nRSET \r\nQUIT \r\n");
}

TEST(Pop3Client, RefusedGreetingSendsNoUserButQuitStillGoesOut)
{
    FakePop3Server server({{"-ERR too busy\r\n"}, {}, false});
    {
        CPop3Client client(Quick());
        EXPECT_FALSE(client.Login(server.Address(), "u", "p"));
        EXPECT_EQ(client.GetErrorText(), kConnectError);
        client.Quit();
    }
    EXPECT_EQ(server.Received(), "QUIT \r\n");
}

TEST(Pop3Client, RefusalsInEitherCaseNameTheStepAndNeverThePassword)
{
    FakePop3Server userRefused(Greeted({{{"-err no such user\r\n"}}}));
    {
        CPop3Client client(Quick());
        EXPECT_FALSE(client.Login(userRefused.Address(), "u", "sekret"));
        EXPECT_EQ(client.GetErrorText(), W("Niewłaściwy Użytkownik"));
    }
    EXPECT_EQ(userRefused.Received(), "USER u\r\n"); // no PASS after a refused USER

    FakePop3Server passRefused(Greeted({{{"+OK\r\n"}}, {{"-ERR [AUTH] sekret rejected\r\n"}}}));
    {
        CPop3Client client(Quick());
        EXPECT_FALSE(client.Login(passRefused.Address(), "u", "sekret"));
        EXPECT_EQ(client.GetErrorText(), W("Niewłaściwe Hasło."));
    }
    EXPECT_EQ(passRefused.Received(), "USER u\r\nPASS sekret\r\n");
}

TEST(Pop3Client, LineBreakInUserOrPasswordIsNeverSent)
{
    FakePop3Server server(Greeted({}));
    {
        CPop3Client client(Quick());
        EXPECT_FALSE(client.Login(server.Address(), "u\r\nDELE 1", "p"));
        EXPECT_EQ(client.GetErrorText(), W("Niewłaściwy Użytkownik"));
    }
    EXPECT_EQ(server.Received(), "");
}

TEST(Pop3Client, StatReplyShapes)
{
    FakePop3Server server(Greeted({{{"+OK\r\n"}},
                                   {{"+OK\r\n"}},
                                   {{"+OK\t5\t1200\r\n"}},
                                   {{"+OK 7\r\n"}},
                                   {{"+OK 0 0\r\n"}},
                                   {{"+OK 4294967296 8589934592\r\n"}},
                                   {{"-ERR mailbox locked\r\n"}}}));
    CPop3Client client(Quick());
    ASSERT_TRUE(client.Login(server.Address(), "u", "p"));
    ASSERT_TRUE(client.Stat());
    EXPECT_EQ(client.GetMessageCount(), 5);
    EXPECT_EQ(client.GetMailboxSize(), 1200);
    ASSERT_TRUE(client.Stat()); // "+OK 7" keeps the size of the STAT before
    EXPECT_EQ(client.GetMessageCount(), 7);
    EXPECT_EQ(client.GetMailboxSize(), 1200);
    ASSERT_TRUE(client.Stat());
    EXPECT_EQ(client.GetMessageCount(), 0);
    EXPECT_EQ(client.GetMailboxSize(), 0);
    ASSERT_TRUE(client.Stat()); // too big for the count: held at its largest, the size kept whole
    EXPECT_EQ(client.GetMessageCount(), 2147483647);
    EXPECT_EQ(client.GetMailboxSize(), 8589934592);
    EXPECT_FALSE(client.Stat());
    EXPECT_EQ(client.GetErrorText(), "Error occured during STAT");
}

TEST(Pop3Client, StatReplyWithoutACountFailsAndKeepsTheCount)
{
    const std::vector<std::string> malformed = {"+OK",         "+OK -5 100", "+OK mailbox has new mail",
                                                "+OK 4 mails", "+OK4 400",   "4 400"};
    std::vector<Answer> answers = {{{"+OK\r\n"}}, {{"+OK\r\n"}}, {{"+OK 3 300\r\n"}}};
    for (const auto& reply : malformed)
        answers.push_back({{reply + "\r\n"}});
    FakePop3Server server(Greeted(answers));
    CPop3Client client(Quick());
    ASSERT_TRUE(client.Login(server.Address(), "u", "p"));
    ASSERT_TRUE(client.Stat());
    for (const auto& reply : malformed) {
        EXPECT_FALSE(client.Stat()) << reply;
        EXPECT_EQ(client.GetErrorText(), "Error occured during STAT") << reply;
        EXPECT_EQ(client.GetMessageCount(), 3) << reply;
        EXPECT_EQ(client.GetMailboxSize(), 300) << reply;
    }
}

TEST(Pop3Client, GreetingDrippedByteByByteIsCutOffAtTheLoginLimit)
{
    // Every byte comes well within the read time-out; only the login's own limit ends it.
    FakePop3Server server({FakePop3Server::Drip("+OK " + std::string(300, '.') + "\r\n"), {}, false, 100});
    CPop3Options options = Quick();
    options.loginLimit = std::chrono::milliseconds(1000);
    CPop3Client client(options);
    EXPECT_FALSE(client.Login(server.Address(), "u", "p"));
    EXPECT_EQ(client.GetErrorText(), kConnectError);
    EXPECT_EQ(server.Received(), "");
}

TEST(Pop3Client, ReplyDrippedAfterTheLoginIsCutOffAtTheCheckLimit)
{
    FakePop3Server::Script script = Greeted(
        {{{"+OK\r\n"}}, {{"+OK\r\n"}}, {FakePop3Server::Drip("+OK 1 " + std::string(300, '1') + "\r\n")}});
    script.pauseMs = 100;
    CPop3Options options = Quick();
    options.checkLimit = std::chrono::milliseconds(1500);
    FakePop3Server server(script);
    CPop3Client client(options);
    ASSERT_TRUE(client.Login(server.Address(), "u", "p"));
    EXPECT_FALSE(client.Stat());
    EXPECT_EQ(client.GetErrorText(), "Error occured during STAT");
    EXPECT_EQ(client.GetMessageCount(), 0);
    EXPECT_FALSE(client.Quit()); // the check's time is up: nothing more goes out
    EXPECT_EQ(server.Received(), "USER u\r\nPASS p\r\nSTAT \r\n");
}

TEST(Pop3Client, SocketThatCannotBeCreatedNamesTheSystemError)
{
    FakePop3Server server(Greeted({}));
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    std::vector<int> taken;
    // Every descriptor taken: the client's socket() fails with EMFILE.
    rlimit low = saved;
    low.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
    for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
        taken.push_back(fd);
    CPop3Client client(Quick());
    const bool loggedIn = client.Login("127.0.0.1:" + std::to_string(server.Port()), "u", "p").done;
    const std::string error = client.GetErrorText();
    for (const int fd : taken)
        ::close(fd);
    ::setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_FALSE(loggedIn);
    EXPECT_EQ(error, "Socket error " + std::to_string(EMFILE));
    // The server's connection never came; let it go on its own.
    CPop3Client other(Quick());
    EXPECT_TRUE(other.Login(server.Address(), "u", "p"));
    other.Quit();
}

TEST(Pop3Client, RepliesInPiecesAreGatheredWhole)
{
    FakePop3Server server({{"+O", "K hel", "lo\r", "\n"},
                           {{{"+OK\r\n"}},
                            {{"+", "OK\r\n"}},
                            {{"+OK 1", "2 34", "5\r\n"}},
                            {{"+OK\r\n1 1", "0\r\n2 20\r\n.", "\r\n"}}},
                           false});
    CPop3Client client(Quick());
    ASSERT_TRUE(client.Login(server.Address(), "u", "p"));
    ASSERT_TRUE(client.Stat());
    EXPECT_EQ(client.GetMessageCount(), 12);
    EXPECT_EQ(client.GetMailboxSize(), 345);
    ASSERT_TRUE(client.List());
    EXPECT_EQ(client.GetListing(), (std::vector<std::uint64_t>{10, 20}));
    EXPECT_TRUE(client.Quit());
}

TEST(Pop3Client, HangUpAfterGreetingFailsTheLogin)
{
    FakePop3Server server({{"+OK ready\r\n"}, {}, true});
    CPop3Client client(Quick());
    EXPECT_FALSE(client.Login(server.Address(), "u", "p"));
    EXPECT_EQ(client.GetErrorText(), kConnectError);
    EXPECT_FALSE(client.Stat()); // nothing left to talk to: no wait, the command's own text
    EXPECT_EQ(client.GetErrorText(), "Error occured during STAT");
    EXPECT_EQ(client.GetMessageCount(), 0);
}

TEST(Pop3Client, HangUpInTheMiddleOfAReplyFailsTheCommand)
{
    FakePop3Server server(Greeted({{{"+OK\r\n"}}, {{"+OK\r\n"}}, {{"+OK\r\n1 10\r\n"}, true}}));
    CPop3Client client(Quick());
    ASSERT_TRUE(client.Login(server.Address(), "u", "p"));
    EXPECT_FALSE(client.List());
    EXPECT_EQ(client.GetErrorText(), "Error occured during LIST");
    EXPECT_FALSE(client.Quit());
    EXPECT_EQ(client.GetErrorText(), "Error occured during QUIT");
}

TEST(Pop3Client, SilentServerFailsWithinTheReadTimeoutWhileTheHookRuns)
{
    FakePop3Server server({{}, {}, false});
    int hookCalls = 0;
    CPop3Options options = Quick(300);
    options.waitHook = [&hookCalls] { ++hookCalls; };
    {
        CPop3Client client(options);
        EXPECT_FALSE(client.Login(server.Address(), "u", "p"));
        EXPECT_EQ(client.GetErrorText(), kConnectError);
        EXPECT_GT(hookCalls, 0);
    }
    EXPECT_EQ(server.Received(), "");
}

TEST(Pop3Client, SilenceAfterLoginFailsTheCommand)
{
    // The server stops answering after PASS; STAT gives up after its read time-out.
    FakePop3Server server(Greeted({{{"+OK\r\n"}}, {{"+OK\r\n"}}, {{}}}));
    CPop3Client client(Quick(300));
    ASSERT_TRUE(client.Login(server.Address(), "u", "p"));
    EXPECT_FALSE(client.Stat());
    EXPECT_EQ(client.GetErrorText(), "Error occured during STAT");
}

TEST(Pop3Client, EndlessStatusLineIsRefused)
{
    FakePop3Server server(Greeted({{{"+OK\r\n"}}, {{"+OK\r\n"}}, {{std::string(9000, '7')}}}));
    CPop3Client client(Quick());
    ASSERT_TRUE(client.Login(server.Address(), "u", "p"));
    EXPECT_FALSE(client.Stat());
    EXPECT_EQ(client.GetErrorText(), "Error occured during STAT");
}

TEST(Pop3Client, NobodyListeningOrNoSuchServer)
{
    CPop3Client client(Quick());
    EXPECT_FALSE(client.Login("127.0.0.1:" + std::to_string(UnusedPort()), "u", "p"));
    EXPECT_EQ(client.GetErrorText(), kConnectError);
    EXPECT_FALSE(client.Login("127.0.0.1:notaport", "u", "p"));
    EXPECT_EQ(client.GetErrorText(), kConnectError);
}

} // namespace
