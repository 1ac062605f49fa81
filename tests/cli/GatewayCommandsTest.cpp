// The own gateway from the command line: configured with "config set", used by "send" and
// "gateway-test", its token kept out of every output and the settings file kept private.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <sys/stat.h>
#include <thread>

#include "../send/HttpsTestServer.h"
#include "app/Document.h"
#include "app/SettingsStore.h"
#include "store/Windows1250.h"
#include "support/CliProcess.h"
#include "support/RecordingUserInterface.h"
#include "support/TempDir.h"

namespace {

class GatewayCommandsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string why;
        ASSERT_TRUE(certs.Make(why)) << why;
        ASSERT_TRUE(server.Start(certs.ServerCert(), certs.ServerKey(), why)) << why;
        const std::string url = "https://127.0.0.1:" + std::to_string(server.Port()) + "/api/sms";
        for (const auto& [key, value] : std::vector<std::pair<std::string, std::string>>{
                 {"Gateway/Url", url},
                 {"Gateway/Body", "to={number}&message={text}&from={signature}"},
                 {"Gateway/Headers", "Authorization: Bearer T0K3N"},
                 {"Gateway/CaFile", certs.CaFile()},
                 {"Gateway/Enabled", "1"}})
            ASSERT_EQ(Cli({"config", "set", key, value}).status, 0);
    }

    CliResult Cli(const std::vector<std::string>& args)
    {
        const CliResult r = RunCli(BRIVANTEL_CLI_PATH, dir, dir.path(), args);
        EXPECT_EQ((r.out + r.err).find("T0K3N"), std::string::npos) << "the token was printed";
        return r;
    }

    // {sent, outbox} counts of the saved data file.
    std::pair<std::size_t, std::size_t> Folders()
    {
        RecordingUserInterface ui;
        CMemorySettingsStore store;
        CBrivantelDoc doc(ui, store);
        EXPECT_TRUE(doc.Open(dir.file("Brivantel.vs"), CBrivantelDoc::Access::ReadOnly));
        return {doc.GetSent().GetCount(), doc.GetOutbox().GetCount()};
    }

    TempDir dir;
    TestCertificates certs;
    HttpsTestServer server;
};

TEST_F(GatewayCommandsTest, SendGoesThroughTheOwnGatewayAndIsFiledByItsVerdict)
{
    CliResult r = Cli({"send", "--number", "+48602123456", "--text", "Zażółć gęślą jaźń"});
    EXPECT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0],
              "POST /api/sms HTTP/1.1\r\n"
              "Host: 127.0.0.1:" +
                  std::to_string(server.Port()) +
                  "\r\n"
                  "User-Agent: Brivantel/1.0\r\n"
                  "Content-Type: application/x-www-form-urlencoded\r\n"
                  "Content-Length: 94\r\n"
                  "Authorization: Bearer T0K3N\r\n"
                  "Connection: close\r\n"
                  "\r\n"
                  "to=%2B48602123456&message=Za%C5%BC%C3%B3%C5%82%C4%87+g%C4%99%C5%9Bl%C4%85"
                  "+ja%C5%BA%C5%84&from=");
    EXPECT_EQ(Folders(), std::make_pair(std::size_t{1}, std::size_t{0}));

    server.SetReply(HttpsTestServer::Reply(500, "Internal Server Error", "{\"error\":\"down\"}"));
    r = Cli({"send", "--number", "+48602123456", "--text", "Zażółć gęślą jaźń"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(server.Requests().size(), 2u);
    EXPECT_EQ(Folders(), std::make_pair(std::size_t{1}, std::size_t{1}));
}

TEST_F(GatewayCommandsTest, GatewayTestPrintsTheStatusAndTheFirst200BytesOfTheReply)
{
    std::string body(151, 'x');
    for (int i = 0; i < 100; ++i)
        body += "ż";
    server.SetReply(HttpsTestServer::Reply(200, "OK", body));
    CliResult r = Cli({"gateway-test", "--number", "+48602123456"});
    EXPECT_EQ(r.status, 0) << r.err;
    std::string shown(151, 'x'); // never half a character
    for (int i = 0; i < 24; ++i)
        shown += "ż";
    EXPECT_EQ(r.out, "HTTP/1.1 200 OK\n" + shown + "\n");
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_NE(server.Requests()[0].find("&message=Pr%C3%B3bna+wiadomo%C5%9B%C4%87+z+programu+Brivantel."),
              std::string::npos)
        << server.Requests()[0];

    server.SetReply(HttpsTestServer::Reply(401, "Unauthorized", "bad token"));
    r = Cli({"gateway-test", "--number", "+48602123456", "--text", "abc"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "HTTP/1.1 401 Unauthorized\nbad token\n");
    EXPECT_NE(r.err.find("bramka odrzuciła wiadomość: HTTP/1.1 401 Unauthorized"), std::string::npos)
        << r.err;
    EXPECT_EQ(Folders(), std::make_pair(std::size_t{0}, std::size_t{0})); // a test is filed nowhere
}

// A gateway that echoes the request shows neither the token nor raw control bytes.
TEST_F(GatewayCommandsTest, GatewayTestMasksHeaderValuesAndEscapesControlBytesOfTheReply)
{
    ASSERT_EQ(
        Cli({"config", "set", "Gateway/Headers", "Authorization: Bearer T0K3N\nX-Api-Key: s3cr3t"}).status,
        0);
    server.SetReply(HttpsTestServer::Reply(
        200, "OK",
        "{\"authorization\":\"Bearer T0K3N\",\"x-api-key\":\"s3cr3t\",\"k\":\"s3cr3t\"}\r\n\x1B[2J\x07\\"));
    const CliResult r = Cli({"gateway-test", "--number", "+48602123456"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "HTTP/1.1 200 OK\n"
              "{\"authorization\":\"***\",\"x-api-key\":\"***\",\"k\":\"***\"}\\r\\n\\x1B[2J\\x07\\\\\n");
    EXPECT_EQ(r.out.find("s3cr3t"), std::string::npos);
}

// A --timeout that is no number of seconds is bad usage, as README says: status 2, nothing sent.
TEST_F(GatewayCommandsTest, BadTimeoutIsBadUsage)
{
    for (const char* value : {"abc", "0", "-3", "99999999999"}) {
        EXPECT_EQ(Cli({"send", "--number", "+48602123456", "--text", "x", "--timeout", value}).status, 2)
            << value;
        EXPECT_EQ(Cli({"send-outbox", "--timeout", value}).status, 2) << value;
    }
    EXPECT_TRUE(server.Requests().empty());
}

// A gateway that streams "100 Continue" for ever, over TLS and over plain HTTP: send ends within
// the bound --timeout sets (three waits), the message queued with its reason.
TEST_F(GatewayCommandsTest, StreamOfInterimRepliesEndsWithinTheTimeoutBound)
{
    HttpsTestServer plain;
    std::string why;
    ASSERT_TRUE(plain.Start("", "", why)) << why;
    for (HttpsTestServer* peer : {&server, &plain}) {
        const std::string scheme = peer == &server ? "https" : "http";
        ASSERT_EQ(Cli({"config", "set", "Gateway/Url",
                       scheme + "://127.0.0.1:" + std::to_string(peer->Port()) + "/api/sms"})
                      .status,
                  0);
        peer->SetReply("HTTP/1.1 100 Continue\r\n\r\n");
        peer->SetRepeated(true);
        const auto start = std::chrono::steady_clock::now();
        const CliResult r = Cli({"send", "--number", "+48602123456", "--text", "x", "--timeout", "2"});
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(6)) << scheme;
        EXPECT_EQ(r.status, 1) << scheme;
        EXPECT_NE(r.err.find("+48602123456: serwer przysłał za dużo odpowiedzi wstępnych (1xx)"),
                  std::string::npos)
            << scheme << ": " << r.err;
    }
}

TEST_F(GatewayCommandsTest, HeaderValuesAreHiddenAndTheSettingsFileIsPrivate)
{
    ASSERT_EQ(Cli({"config", "set", "Gateway/Headers", "Authorization: Bearer T0K3N\nX-Key: T0K3N"}).status,
              0);
    const CliResult r = Cli({"config", "get", "Gateway/Headers"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Authorization: ***\nX-Key: ***\n");
    struct stat st
    {
    };
    ASSERT_EQ(::stat(dir.file("config/Orvella Systems/Brivantel.conf").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

} // namespace
