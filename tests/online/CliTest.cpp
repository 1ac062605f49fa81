// brivantel-cli's update and banners commands against the loopback server, through tinyproxy.
#include <gtest/gtest.h>

#include "TestHttpServer.h"
#include "app/Document.h"
#include "app/SettingsStore.h"
#include "app/UpdateSchedule.h"
#include "support/Bytes.h"
#include "support/CliProcess.h"
#include "support/Loopback.h"
#include "support/RecordingUserInterface.h"
#include "support/TempDir.h"

namespace {

// Runs the tool on the data directory with its settings in config.
CliResult Cli(const TempDir& config, const TempDir& data, const std::vector<std::string>& args)
{
    return RunCli(BRIVANTEL_CLI, config, data.path(), args);
}

std::string Entry(const std::string& image, const std::string& link, std::uint32_t duration)
{
    Bytes b;
    b.shortString(image).shortString(link).u32(duration);
    return {b.vec().begin(), b.vec().end()};
}

} // namespace

TEST(CliUpdate, FetchesThroughTinyproxyAndListsTheBanners)
{
    Tinyproxy proxy;
    std::string error;
    ASSERT_TRUE(proxy.Start(error)) << error;
    TempDir data, config;
    {
        // The proxy is a setting of the data file.
        RecordingUserInterface ui;
        CMemorySettingsStore store;
        CBrivantelDoc doc(ui, store);
        ASSERT_TRUE(doc.Open(data.file("Brivantel.vs"), CBrivantelDoc::Access::ReadWrite));
        doc.GetSettings().SetUseProxy(true);
        doc.GetSettings().SetProxyHost("127.0.0.1");
        doc.GetSettings().SetProxyPort(proxy.Port());
        ASSERT_TRUE(doc.SaveDataFile());
    }
    TestHttpServer server;
    Bytes index;
    index.u16(4).u16(0xFFFF).u16(1).u16(11).raw("CBannerInfo");
    const std::string jpeg = std::string("\xFF\xD8\xFF\xE0", 4) + "jpeg" + std::string("\xFF\xD9", 2);
    // A name that would clear the terminal were it printed as it is.
    const std::string terminalName = std::string("a\0", 2) + "\x1b[2J\\.jpg";
    std::string indexText(index.vec().begin(), index.vec().end());
    indexText += Entry("a.jpg", "http://example.pl/", 2) + "\x01\x80" +
                 Entry("../evil.jpg", "file:///etc/passwd", 1) + "\x01\x80" +
                 Entry("b.jpg", "https://example.pl/b", 3) + "\x01\x80" +
                 Entry(terminalName, "http://x\x1b[0m/", 1);
    server.Route("/brivantel/version.inf", TestHttpServer::Ok("Brivantel version:1.1\r\n"));
    server.Route("/brivantel/reklama/brivantel.adv", TestHttpServer::Ok(indexText));
    server.Route("/brivantel/reklama/a.jpg", TestHttpServer::Ok(jpeg));
    server.Route("/brivantel/reklama/b.jpg", {TestHttpServer::Response(404, "<html>404</html>")});
    server.Route("/brivantel/reklama/../evil.jpg", TestHttpServer::Ok(jpeg));

    ASSERT_EQ(Cli(config, data, {"config", "set", "Hosts/Update", server.HostPort()}).status, 0);
    const CliResult update = Cli(config, data, {"update"});
    EXPECT_EQ(update.status, 0) << update.out;
    EXPECT_NE(update.out.find("Pobrano: a.jpg\n"), std::string::npos) << update.out;
    EXPECT_NE(update.out.find("Nie pobrano: b.jpg\n"), std::string::npos) << update.out;
    EXPECT_NE(update.out.find("Pominięto (niedozwolona nazwa pliku): ../evil.jpg\n"), std::string::npos);
    EXPECT_NE(update.out.find("Pominięto (niedozwolona nazwa pliku): a\\x00\\x1B[2J\\\\.jpg\n"),
              std::string::npos)
        << update.out;
    EXPECT_EQ(update.out.find('\x1b'), std::string::npos);
    EXPECT_NE(update.out.find("Nowa wersja: tak, do pobrania pod adresem http://" + server.HostPort() +
                              "/download/BrivantelInstaluj.zip\n"),
              std::string::npos);
    EXPECT_EQ(ReadFileBytes(data.file("a.jpg")), std::vector<std::uint8_t>(jpeg.begin(), jpeg.end()));
    EXPECT_EQ(ReadFileBytes(data.file("Brivantel.adv")),
              std::vector<std::uint8_t>(indexText.begin(), indexText.end()));
    EXPECT_FALSE(FileExists(data.file("b.jpg")));
    EXPECT_FALSE(FileExists(data.path() + "/../evil.jpg"));
    EXPECT_EQ(server.Paths(),
              (std::vector<std::string>{"/brivantel/version.inf", "/brivantel/reklama/brivantel.adv",
                                        "/brivantel/reklama/b.jpg", "/brivantel/reklama/a.jpg"}));
    EXPECT_EQ(Cli(config, data, {"config", "get", "Update/Date"}).out,
              update_schedule::Format(update_schedule::Today()) + "\n");

    const CliResult banners = Cli(config, data, {"banners"});
    EXPECT_EQ(banners.status, 0);
    EXPECT_EQ(banners.out,
              "Obraz\tCzas\tPlik\tLink\n"
              "a.jpg\t2\tjest\thttp://example.pl/\n"
              "../evil.jpg\t1\tniedozwolona nazwa\tfile:///etc/passwd (nie zostanie otwarty)\n"
              "b.jpg\t3\tbrak\thttps://example.pl/b\n"
              "a\\x00\\x1B[2J\\\\.jpg\t1\tniedozwolona nazwa\thttp://x\\x1B[0m/ (nie zostanie otwarty)\n");
}

TEST(CliUpdate, NoServerFailsAndRecordsNoDate)
{
    TempDir data, config;
    const std::string host = "127.0.0.1:" + std::to_string(UnusedPort());
    ASSERT_EQ(Cli(config, data, {"config", "set", "Hosts/Update", host}).status, 0);
    const CliResult update = Cli(config, data, {"update"});
    EXPECT_EQ(update.status, 1);
    EXPECT_NE(update.err.find("Nie udało się pobrać indeksu reklam z serwera " + host +
                              ": nie można połączyć się z serwerem " + host + ".\n"),
              std::string::npos)
        << update.err;
    EXPECT_EQ(Cli(config, data, {"config", "get", "Update/Date"}).status, 1);
    EXPECT_EQ(Cli(config, data, {"banners"}).status, 1);
}
