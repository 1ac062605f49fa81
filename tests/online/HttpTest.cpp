#include <gtest/gtest.h>

#include "TestHttpServer.h"
#include "online/HttpFetcher.h"
#include "online/VersionCheck.h"
#include "store/SettingsData.h"
#include "support/Loopback.h"

namespace {

using Result = CHttpFetcher::Result;

// Short bounds: a server that stalls fails the transfer quickly.
CHttpFetcher::Limits ShortLimits()
{
    CHttpFetcher::Limits limits;
    limits.timeouts = {std::chrono::milliseconds(2000), std::chrono::milliseconds(300),
                       std::chrono::milliseconds(2000)};
    limits.exchange = std::chrono::milliseconds(5000);
    limits.maxBody = 64 * 1024;
    return limits;
}

struct Fetch
{
    CSettingsData settings;
    TestHttpServer server;
    std::string body;

    Result Get(const std::string& path, const std::string& host = {})
    {
        CHttpFetcher http(settings, host.empty() ? server.HostPort() : host, {}, ShortLimits());
        return http.Get(path, body);
    }
};

} // namespace

TEST(HttpRequest, BytesAsTheServerExpectsThem)
{
    EXPECT_EQ(CHttpFetcher::BuildRequest("www.example.pl", "/brivantel/version.inf"),
              "GET http://www.example.pl/brivantel/version.inf HTTP/1.1\r\n"
              "Proxy-Connection: Keep-Alive\r\n"
              "User-Agent: Mozilla/4.0 (compatible; MSIE 5.0; Windows 98; chip_1098; DigExt\r\n"
              "Host: www.example.pl\r\n"
              "Accept: */*\r\n"
              "\r\n");
}

TEST(HttpFetch, DirectRequestOnTheWireAndCompleteBodies)
{
    Fetch f;
    f.server.Route("/len", TestHttpServer::Ok("hello"));
    f.server.Route("/nolen", {TestHttpServer::Response(200, "until close", false)});
    f.server.Route("/pieces", {TestHttpServer::Response(200, std::string(40000, 'p')), 501, false, false});
    // HTTP/1.1 keeps the connection; the body is complete by its length, without waiting for a close.
    f.server.Route("/kept", {TestHttpServer::Response(200, "kept"), 0, true, false});
    f.server.Route(
        "/chunked",
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nabcd\r\n3;x=1\r\nefg\r\n0\r\n\r\n", 2,
         true, false});

    ASSERT_EQ(f.Get("/len"), Result::Ok);
    EXPECT_EQ(f.body, "hello");
    ASSERT_EQ(f.server.Requests().size(), 1u);
    EXPECT_EQ(f.server.Requests()[0],
              "GET http://" + f.server.HostPort() +
                  "/len HTTP/1.1\r\nProxy-Connection: Keep-Alive\r\nUser-Agent: Mozilla/4.0 "
                  "(compatible; MSIE 5.0; Windows 98; chip_1098; DigExt\r\nHost: " +
                  f.server.HostPort() + "\r\nAccept: */*\r\n\r\n");
    ASSERT_EQ(f.Get("/nolen"), Result::Ok);
    EXPECT_EQ(f.body, "until close");
    ASSERT_EQ(f.Get("/pieces"), Result::Ok);
    EXPECT_EQ(f.body, std::string(40000, 'p'));
    ASSERT_EQ(f.Get("/kept"), Result::Ok);
    EXPECT_EQ(f.body, "kept");
    ASSERT_EQ(f.Get("/chunked"), Result::Ok);
    EXPECT_EQ(f.body, "abcdefg");
}

// Old servers end their lines with a bare LF; a couple of interim replies may come first.
TEST(HttpFetch, HeadsEndedByBareLineFeedsAndInterimRepliesAreRead)
{
    Fetch f;
    f.server.Route("/lf", {"HTTP/1.0 200 OK\nContent-Length: 5\n\nhello"});
    f.server.Route("/mixed", {"HTTP/1.0 200 OK\r\nContent-Length: 5\n\r\nhello"});
    f.server.Route("/continue",
                   {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello"});
    for (const char* path : {"/lf", "/mixed", "/continue"}) {
        f.body.clear();
        EXPECT_EQ(f.Get(path), Result::Ok) << path;
        EXPECT_EQ(f.body, "hello") << path;
    }
}

TEST(HttpFetch, AnythingButACompleteOkFails)
{
    Fetch f;
    f.server.Route("/cut", {"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly a part"});
    f.server.Route("/huge", TestHttpServer::Ok(std::string(64 * 1024 + 1, 'h')));
    f.server.Route("/huge-nolen", {TestHttpServer::Response(200, std::string(70000, 'h'), false)});
    f.server.Route("/silent", {"", 0, false, true});
    f.server.Route("/stall", {"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc", 0, true, false});
    f.server.Route("/garbage", {"SSH-2.0-OpenSSH\r\n\r\n"});
    f.server.Route("/headonly", {"HTTP/1.1 200 OK\r\nContent-Length: 3\r\n"});
    f.server.Route("/twolengths", {"HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Length: 4\r\n\r\nabcd"});
    f.server.Route("/gzip", {"HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\n\r\nxx"});
    f.server.Route("/badchunk", {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nabc\r\n"});

    for (const char* path : {"/missing", "/cut", "/huge", "/huge-nolen", "/silent", "/stall", "/garbage",
                             "/headonly", "/twolengths", "/gzip", "/badchunk"}) {
        EXPECT_EQ(f.Get(path), Result::Failed) << path;
        EXPECT_TRUE(f.body.empty()) << path;
    }
}

TEST(HttpFetch, NoServerIsNoConnection)
{
    CSettingsData settings;
    std::string body;
    CHttpFetcher http(settings, "127.0.0.1:" + std::to_string(UnusedPort()), {}, ShortLimits());
    EXPECT_EQ(http.Get("/x", body), Result::NoConnection);
    CHttpFetcher badPort(settings, "127.0.0.1:99999", {}, ShortLimits());
    EXPECT_EQ(badPort.Get("/x", body), Result::NoConnection);

    settings.SetUseProxy(true);
    settings.SetProxyHost("127.0.0.1");
    settings.SetProxyPort(0);
    EXPECT_EQ(http.Get("/x", body), Result::NoConnection);
}

TEST(HttpFetch, ThroughAProxyTheSameBytesGoToTheProxy)
{
    // The server plays the proxy: it must receive the absolute address of the maker's server.
    Fetch f;
    f.server.Route("/brivantel/version.inf", TestHttpServer::Ok("v"));
    f.settings.SetUseProxy(true);
    f.settings.SetProxyHost("127.0.0.1");
    f.settings.SetProxyPort(f.server.Port());
    ASSERT_EQ(f.Get("/brivantel/version.inf", "maker.example:8080"), Result::Ok);
    ASSERT_EQ(f.server.Requests().size(), 1u);
    EXPECT_EQ(
        f.server.Requests()[0],
        "GET http://maker.example:8080/brivantel/version.inf HTTP/1.1\r\nProxy-Connection: Keep-Alive\r\n"
        "User-Agent: Mozilla/4.0 (compatible; MSIE 5.0; Windows 98; chip_1098; DigExt\r\nHost: "
        "maker.example:8080\r\nAccept: */*\r\n\r\n");

    // The settings are read at each connection: switching the proxy off goes straight to the host.
    f.settings.SetUseProxy(false);
    EXPECT_EQ(f.Get("/brivantel/version.inf", "127.0.0.1:" + std::to_string(UnusedPort())),
              Result::NoConnection);
}

TEST(HttpFetch, ThroughTinyproxy)
{
    Tinyproxy proxy;
    std::string error;
    ASSERT_TRUE(proxy.Start(error)) << error;
    Fetch f;
    f.server.Route("/brivantel/reklama/a.jpg", TestHttpServer::Ok(std::string(30000, 'j')));
    f.settings.SetUseProxy(true);
    f.settings.SetProxyHost("127.0.0.1");
    f.settings.SetProxyPort(proxy.Port());
    ASSERT_EQ(f.Get("/brivantel/reklama/a.jpg"), Result::Ok);
    EXPECT_EQ(f.body, std::string(30000, 'j'));
    EXPECT_EQ(f.Get("/brivantel/reklama/none.jpg"), Result::Failed); // the server's 404 passed on
    EXPECT_EQ(f.server.Paths(),
              (std::vector<std::string>{"/brivantel/reklama/a.jpg", "/brivantel/reklama/none.jpg"}));
}

TEST(HttpResponse, HeadParsing)
{
    http_response::Head head;
    EXPECT_EQ(http_response::ParseHead("HTTP/1.0 200 OK\r\ncontent-LENGTH:  12 \r\n\r\nbody", head),
              http_response::Parse::Complete);
    EXPECT_EQ(head.status, 200);
    EXPECT_TRUE(head.hasLength);
    EXPECT_EQ(head.length, 12u);
    EXPECT_EQ(head.size, 41u);
    EXPECT_EQ(http_response::ParseHead("HTTP/1.1 404 Not Found\r\n\r\n", head),
              http_response::Parse::Complete);
    EXPECT_EQ(head.status, 404);
    EXPECT_EQ(http_response::ParseHead("HTTP/1.1 200 OK\r\nContent-Length: 1", head),
              http_response::Parse::NeedMore);
    EXPECT_EQ(http_response::ParseHead("HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n", head),
              http_response::Parse::Bad);
    EXPECT_EQ(http_response::ParseHead("HTTP/1.1 2000\r\n\r\n", head), http_response::Parse::Bad);
    EXPECT_EQ(http_response::ParseHead("HTTP/1.0 200 OK\nServer: x\n\nbody", head),
              http_response::Parse::Complete);
    EXPECT_EQ(head.size, 27u);
    EXPECT_EQ(head.header, "Server: x\r\n");
}

TEST(VersionCheck, ComparesFourCharactersAfterTheMarkerByteByByte)
{
    using version_check::AnnouncesNewer;
    for (const char* newer :
         {"Brivantel version:1.1\r\n", "x\nBrivantel version:1.0.1", "Brivantel version:2",
          "Brivantel version:1.10 beta", "Brivantel version:1.0a", "Brivantel version:1.00",
          "Brivantel version:1.0.0\n", "Brivantel version:10.0"})
        EXPECT_TRUE(AnnouncesNewer(newer)) << newer;
    for (const char* notNewer :
         {"Brivantel version:1.0", "Brivantel version:1.0\r\n", "Brivantel version:1.0\n",
          "Brivantel version:1.0 ", "Brivantel version:0.9", "Brivantel version: 1.1",
          "Brivantel version:", "Brivantel version:1..1", "version:9.9"})
        EXPECT_FALSE(AnnouncesNewer(notNewer)) << notNewer;
}
