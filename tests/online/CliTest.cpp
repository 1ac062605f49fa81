// brivantel-cli's update and banners commands against the loopback server, through tinyproxy.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <sys/wait.h>

#include "TestHttpServer.h"
#include "support/Loopback.h"
#include "app/Document.h"
#include "app/SettingsStore.h"
#include "online/UpdateSchedule.h"
#include "support/Bytes.h"
#include "support/RecordingUserInterface.h"
#include "support/TempDir.h"

namespace {

struct Output
{
    int exitCode = -1;
    std::string out;
};

// Runs the tool with its settings in the given directory; standard error is dropped.
Output Cli(const TempDir& config, const std::string& args)
{
    const std::string cmd =
        "XDG_CONFIG_HOME='" + config.path() + "' '" BRIVANTEL_CLI "' " + args + " 2>/dev/null";
    Output result;
    std::FILE* pipe = ::popen(cmd.c_str(), "r");
    std::array<char, 512> buffer{};
    while (std::fgets(buffer.data(), buffer.size(), pipe))
        result.out += buffer.data();
    const int status = ::pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
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

    const std::string dir = "--data-dir '" + data.path() + "' ";
    ASSERT_EQ(Cli(config, dir + "config set Hosts/Update " + server.HostPort()).exitCode, 0);
    const Output update = Cli(config, dir + "update");
    EXPECT_EQ(update.exitCode, 0) << update.out;
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
    EXPECT_EQ(Cli(config, dir + "config get Update/Date").out,
              update_schedule::Format(update_schedule::Today()) + "\n");

    const Output banners = Cli(config, dir + "banners");
    EXPECT_EQ(banners.exitCode, 0);
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
    const std::string dir = "--data-dir '" + data.path() + "' ";
    ASSERT_EQ(
        Cli(config, dir + "config set Hosts/Update 127.0.0.1:" + std::to_string(UnusedPort())).exitCode,
        0);
    EXPECT_EQ(Cli(config, dir + "update").exitCode, 1);
    EXPECT_EQ(Cli(config, dir + "config get Update/Date").exitCode, 1);
    EXPECT_EQ(Cli(config, dir + "banners").exitCode, 1);
}
