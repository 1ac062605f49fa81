#include <gtest/gtest.h>

#include <sys/stat.h>

#include "TestHttpServer.h"
#include "app/OnlineUpdate.h"
#include "online/BannerIndex.h"
#include "store/SettingsData.h"
#include "store/Windows1250.h"
#include "support/Bytes.h"
#include "support/Loopback.h"
#include "support/RecordingUserInterface.h"
#include "support/TempDir.h"

namespace {

using update_schedule::Date;

const Date kToday{2026, 3, 14};
const std::string kJpeg = std::string("\xFF\xD8\xFF\xE0", 4) + "picture bytes" + std::string("\xFF\xD9", 2);

Bytes IndexOf(const std::vector<std::string>& images)
{
    Bytes b;
    if (images.size() >= 0xFFFF)
        b.u16(0xFFFF).u32(static_cast<std::uint32_t>(images.size()));
    else
        b.u16(static_cast<std::uint16_t>(images.size()));
    for (std::size_t i = 0; i < images.size(); ++i) {
        if (i == 0)
            b.u16(0xFFFF).u16(1).u16(11).raw("CBannerInfo");
        else
            b.u16(0x8001);
        b.shortString(images[i]).shortString("http://example.pl/" + std::to_string(i)).u32(2);
    }
    return b;
}

std::string AsText(const Bytes& b)
{
    return {b.vec().begin(), b.vec().end()};
}

std::string W(const char* utf8)
{
    return windows1250::FromUtf8Lossy(utf8);
}

struct UpdateFixture : ::testing::Test
{
    TempDir dir;
    TestHttpServer server;
    RecordingUserInterface ui;
    CMemorySettingsStore store;
    CSettingsData settings;
    CBannerList list;
    COnlineUpdate::Report report;

    COnlineUpdate Update()
    {
        COnlineUpdate::Config config;
        config.serverHost = server.HostPort();
        config.dataDir = dir.path();
        config.limits.timeouts = {std::chrono::milliseconds(2000), std::chrono::milliseconds(300),
                                  std::chrono::milliseconds(2000)};
        config.limits.exchange = std::chrono::milliseconds(5000);
        return COnlineUpdate(ui, store, settings, config);
    }
    void ServeIndex(const std::vector<std::string>& images)
    {
        server.Route("/brivantel/reklama/brivantel.adv", TestHttpServer::Ok(AsText(IndexOf(images))));
    }
    std::string Read(const std::string& name)
    {
        const auto bytes = ReadFileBytes(dir.file(name));
        return {bytes.begin(), bytes.end()};
    }
};

} // namespace

TEST(UpdateSchedule, DueOnlyWithAutoUpdateAndNotToday)
{
    CMemorySettingsStore store;
    EXPECT_FALSE(update_schedule::IsDue(store, kToday)); // AutoUpdate absent reads 0
    store.SetInt("Update", "AutoUpdate", 1);
    EXPECT_TRUE(update_schedule::IsDue(store, kToday)); // the default date is long past
    store.SetString("Update", "Date", "2026-03-14");
    EXPECT_FALSE(update_schedule::IsDue(store, kToday));
    store.SetString("Update", "Date", "2026-03-13");
    EXPECT_TRUE(update_schedule::IsDue(store, kToday));
    store.SetString("Update", "Date", "2026-02-42"); // rolls over to 14 March, as the C runtime counts
    EXPECT_FALSE(update_schedule::IsDue(store, kToday));
    store.SetString("Update", "Date", "");
    EXPECT_TRUE(update_schedule::IsDue(store, kToday));
    store.SetInt("Update", "AutoUpdate", 0);
    EXPECT_FALSE(update_schedule::IsDue(store, kToday));

    update_schedule::RecordUpdate(store, {2026, 1, 5});
    EXPECT_EQ(store.GetString("Update", "Date"), "2026-01-05");
}

TEST_F(UpdateFixture, NotDueMakesNoConnectionButLoadsTheList)
{
    WriteFileBytes(dir.file("Brivantel.adv"), IndexOf({"a.jpg", "b.jpg"}));
    EXPECT_EQ(Update().Run(false, list, report, kToday), COnlineUpdate::Outcome::Continue);
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_TRUE(ui.progress.empty());
    EXPECT_EQ(list.size(), 2u);
    EXPECT_FALSE(store.Contains("Update", "Date"));
}

TEST_F(UpdateFixture, FetchesOnlyMissingPicturesLastEntryFirst)
{
    server.Route("/brivantel/version.inf", TestHttpServer::Ok("Brivantel version:1.0"));
    ServeIndex({"first.jpg", "second.jpg"});
    server.Route("/brivantel/reklama/first.jpg", TestHttpServer::Ok(kJpeg));
    WriteFileBytes(dir.file("second.jpg"), {'o', 'l', 'd'});

    EXPECT_EQ(Update().Run(true, list, report, kToday), COnlineUpdate::Outcome::Continue);

    EXPECT_EQ(server.Paths(),
              (std::vector<std::string>{"/brivantel/version.inf", "/brivantel/reklama/brivantel.adv",
                                        "/brivantel/reklama/first.jpg"}));
    EXPECT_EQ(ui.progress, (std::vector<std::string>{
                               "open:Sprawdzanie nowej wersji...", "text:" + W("Łączenie z serverem..."),
                               "title:" + W("Pobieranie plików..."), "range:2", "text:Pobieranie pliku 1 z 2",
                               "pos:1", "text:Pobieranie pliku 2 z 2", "pos:2", "close"}));
    EXPECT_EQ(Read("first.jpg"), kJpeg);
    EXPECT_EQ(Read("second.jpg"), "old"); // never fetched again
    EXPECT_EQ(Read("Brivantel.adv"), AsText(IndexOf({"first.jpg", "second.jpg"})));
    struct stat st
    {
    };
    ASSERT_EQ(::stat(dir.file("first.jpg").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(store.GetString("Update", "Date"), "2026-03-14");
    EXPECT_EQ(list.size(), 2u);
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_EQ(report.fetched, std::vector<std::string>{"first.jpg"});
    EXPECT_EQ(report.alreadyHere, std::vector<std::string>{"second.jpg"});
}

TEST_F(UpdateFixture, BadResponsesWriteNothing)
{
    // The version file is missing (404), one picture is an error page, one is cut short, one
    // has a name that would leave the data directory, one is no JPEG at all.
    ServeIndex({"../escape.jpg", "404.jpg", "cut.jpg", "text.jpg", "good.jpg", "/etc/abs.jpg"});
    server.Route("/brivantel/reklama/cut.jpg", {"HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n" + kJpeg});
    server.Route("/brivantel/reklama/text.jpg", TestHttpServer::Ok("<html>not a picture</html>"));
    server.Route("/brivantel/reklama/good.jpg", TestHttpServer::Ok(kJpeg));
    server.Route("/brivantel/reklama/../escape.jpg", TestHttpServer::Ok(kJpeg));

    Update().Run(true, list, report, kToday);

    EXPECT_EQ(server.Paths(),
              (std::vector<std::string>{"/brivantel/version.inf", "/brivantel/reklama/brivantel.adv",
                                        "/brivantel/reklama/good.jpg", "/brivantel/reklama/text.jpg",
                                        "/brivantel/reklama/cut.jpg", "/brivantel/reklama/404.jpg"}));
    auto names = ListDirectory(dir.path());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Brivantel.adv", "good.jpg"}));
    EXPECT_FALSE(FileExists(dir.path() + "/../escape.jpg"));
    EXPECT_EQ(report.failed, (std::vector<std::string>{"text.jpg", "cut.jpg", "404.jpg"}));
    EXPECT_FALSE(report.versionChecked);
    ASSERT_EQ(list.size(), 4u); // the unsafe names are not shown either
    EXPECT_EQ(list[0]->GetImageFile(), "404.jpg");
    EXPECT_EQ(store.GetString("Update", "Date"), "2026-03-14");
}

TEST_F(UpdateFixture, StallingPicturesAreCutOffAtTheWholeUpdatesLimit)
{
    // Six pictures that never come; each wait alone is well within its own time-outs.
    ServeIndex({"1.jpg", "2.jpg", "3.jpg", "4.jpg", "5.jpg", "6.jpg"});
    for (const char* name : {"1.jpg", "2.jpg", "3.jpg", "4.jpg", "5.jpg", "6.jpg"})
        server.Route(std::string("/brivantel/reklama/") + name, {"", 0, false, true});
    COnlineUpdate::Config config;
    config.serverHost = server.HostPort();
    config.dataDir = dir.path();
    config.limits.timeouts = {std::chrono::seconds(5), std::chrono::seconds(30), std::chrono::seconds(5)};
    config.limits.exchange = std::chrono::seconds(30);
    config.total = std::chrono::milliseconds(1500);
    COnlineUpdate(ui, store, settings, config).Run(true, list, report, kToday);
    // The first picture asked for held the rest of the time; no connection was made after it.
    EXPECT_EQ(server.Paths(),
              (std::vector<std::string>{"/brivantel/version.inf", "/brivantel/reklama/brivantel.adv",
                                        "/brivantel/reklama/6.jpg"}));
    EXPECT_EQ(report.failed.size(), 6u);
    EXPECT_TRUE(report.index);
    EXPECT_EQ(list.size(), 6u); // the program goes on with what it has
    EXPECT_EQ(ui.progress.back(), "close");
}

TEST_F(UpdateFixture, OnlyTheFirstHundredEntriesOfTheIndexCount)
{
    std::vector<std::string> names;
    for (int i = 0; i < 1000; ++i)
        names.push_back(std::to_string(i) + ".jpg");
    ServeIndex(names);
    Update().Run(true, list, report, kToday);
    ASSERT_EQ(list.size(), 100u);
    EXPECT_EQ(list.back()->GetImageFile(), "99.jpg");
    EXPECT_EQ(server.Paths().size(), 2u + 100u); // version, index and a hundred pictures
    EXPECT_EQ(report.failed.size(), 100u);
    EXPECT_EQ(report.failed.front(), "99.jpg");
}

TEST_F(UpdateFixture, PicturesNeverTakeTheProgramsOwnNames)
{
    // A fresh data folder: nothing of the program's is there yet.
    const std::vector<std::string> names = {"Brivantel.vs",  "Brivantel.vs.lock", "Brivantel.vs.damaged",
                                            "brivantel.ADV", "banner.png",        "Photo.JPEG"};
    ServeIndex(names);
    for (const auto& name : names)
        server.Route("/brivantel/reklama/" + name, TestHttpServer::Ok(kJpeg));
    Update().Run(true, list, report, kToday);
    auto files = ListDirectory(dir.path());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"Brivantel.adv", "Photo.JPEG"}));
    EXPECT_EQ(Read("Brivantel.adv"), AsText(IndexOf(names)));
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0]->GetImageFile(), "Photo.JPEG");
}

TEST_F(UpdateFixture, PictureCutShortWithoutALengthIsNotKept)
{
    ServeIndex({"cut.jpg", "whole.jpg"});
    // No Content-Length: the end of the connection ends the body, wherever the server stopped.
    server.Route("/brivantel/reklama/cut.jpg",
                 {TestHttpServer::Response(200, kJpeg.substr(0, kJpeg.size() - 2), false)});
    server.Route("/brivantel/reklama/whole.jpg", {TestHttpServer::Response(200, kJpeg, false)});
    Update().Run(true, list, report, kToday);
    EXPECT_FALSE(FileExists(dir.file("cut.jpg")));
    EXPECT_EQ(Read("whole.jpg"), kJpeg);
    EXPECT_EQ(report.failed, std::vector<std::string>{"cut.jpg"});
}

TEST_F(UpdateFixture, NoIndexMeansNothingWrittenAndTheDayIsRetried)
{
    // The old index stays in use when the new one is an error page, is cut short or is no index.
    WriteFileBytes(dir.file("Brivantel.adv"), IndexOf({"kept.jpg"}));
    const std::string before = Read("Brivantel.adv");
    const std::string peer = "serwer " + server.HostPort();
    const std::pair<TestHttpServer::Reply, std::string> cases[] = {
        {{TestHttpServer::Response(404, "<html>Not Found</html>")}, peer + " odpowiedział błędem 404"},
        {{"HTTP/1.1 200 OK\r\nContent-Length: 900\r\n\r\n" + AsText(IndexOf({"x.jpg"}))},
         peer + " przerwał odpowiedź"},
        {TestHttpServer::Ok("this is not an index"), "indeks reklam z serwera jest uszkodzony"}};
    for (const auto& [reply, reason] : cases) {
        server.Route("/brivantel/reklama/brivantel.adv", reply);
        ui.progress.clear();
        Update().Run(true, list, report, kToday);
        EXPECT_EQ(report.index.reason, W(reason.c_str())); // the command-line tool prints it
        EXPECT_EQ(Read("Brivantel.adv"), before);
        EXPECT_FALSE(store.Contains("Update", "Date"));
        EXPECT_EQ(ui.progress.back(), "close");
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list[0]->GetImageFile(), "kept.jpg");
    }
}

TEST_F(UpdateFixture, NoConnectionStillLoadsTheList)
{
    WriteFileBytes(dir.file("Brivantel.adv"), IndexOf({"a.jpg"}));
    COnlineUpdate::Config config;
    config.serverHost = "127.0.0.1:" + std::to_string(UnusedPort());
    config.dataDir = dir.path();
    COnlineUpdate update(ui, store, settings, config);
    EXPECT_EQ(update.Run(true, list, report, kToday), COnlineUpdate::Outcome::Continue);
    EXPECT_EQ(report.index.reason, W(("nie można połączyć się z serwerem " + config.serverHost).c_str()));
    EXPECT_FALSE(store.Contains("Update", "Date"));
    EXPECT_EQ(ui.progress, (std::vector<std::string>{"open:Sprawdzanie nowej wersji...",
                                                     "text:" + W("Łączenie z serverem..."), "close"}));
    EXPECT_EQ(list.size(), 1u);
    EXPECT_TRUE(ui.questions.empty());
}

TEST_F(UpdateFixture, NewerVersionIsOffered)
{
    server.Route("/brivantel/version.inf", TestHttpServer::Ok("Info\r\nBrivantel version:1.1\r\n"));
    ServeIndex({});
    ui.answers = {false, true};
    EXPECT_EQ(Update().Run(true, list, report, kToday), COnlineUpdate::Outcome::Continue);
    const std::string question =
        W("Twoja obecna wersja programu nie jest wersją najnowszą.\nCzy chesz teraz pobrać "
          "najnowszą wersję programu?");
    EXPECT_EQ(ui.questions, std::vector<std::string>{question});
    EXPECT_TRUE(ui.messages.empty());

    COnlineUpdate::Report second;
    const COnlineUpdate update = Update();
    EXPECT_EQ(Update().Run(true, list, second, kToday), COnlineUpdate::Outcome::FetchNewVersion);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              W("Aplikacja zostanie zakończona. \n Po ściagnięciu się najnowszej wersji proszę "
                "uruchomic program instalacyjny."));
    EXPECT_EQ(update.DownloadAddress(), "http://" + server.HostPort() + "/download/BrivantelInstaluj.zip");
}

TEST_F(UpdateFixture, WholeUpdateThroughTinyproxy)
{
    Tinyproxy proxy;
    std::string error;
    ASSERT_TRUE(proxy.Start(error)) << error;
    settings.SetUseProxy(true);
    settings.SetProxyHost("127.0.0.1");
    settings.SetProxyPort(proxy.Port());
    server.Route("/brivantel/version.inf", TestHttpServer::Ok("Brivantel version:1.0\n"));
    ServeIndex({"a b.jpg", "c.jpg"});
    server.Route("/brivantel/reklama/a%20b.jpg", TestHttpServer::Ok(kJpeg));
    server.Route("/brivantel/reklama/c.jpg", {TestHttpServer::Response(200, kJpeg), 3, false, false});
    Update().Run(true, list, report, kToday);
    EXPECT_EQ(Read("a b.jpg"), kJpeg);
    EXPECT_EQ(Read("c.jpg"), kJpeg);
    EXPECT_TRUE(report.versionChecked);
    EXPECT_FALSE(report.newerVersion);
    EXPECT_EQ(store.GetString("Update", "Date"), "2026-03-14");
}

TEST(PicturePath, EscapesWhatCannotStandInAPath)
{
    EXPECT_EQ(COnlineUpdate::PicturePath("baner.jpg"), "/brivantel/reklama/baner.jpg");
    EXPECT_EQ(COnlineUpdate::PicturePath("a b%#?.jpg"), "/brivantel/reklama/a%20b%25%23%3F.jpg");
    EXPECT_EQ(COnlineUpdate::PicturePath("\xB3\xF3"
                                         "d\xBC.jpg"),
              "/brivantel/reklama/%B3%F3d%BC.jpg");
}
