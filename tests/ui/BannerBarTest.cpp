// The banner bar: pictures, clicks, showing and hiding, and the start-up online work.
#include <gtest/gtest.h>

#include <QDockWidget>
#include <QTemporaryDir>
#include <QTest>

#include "BannerTestSupport.h"
#include "TestHttpServer.h"
#include "app/Document.h"
#include "app/SettingsStore.h"
#include "app/UpdateSchedule.h"
#include "app/qt/WebAddress.h"
#include "support/RecordingUserInterface.h"
#include "ui/BrivantelFrame.h"
#include "ui/FrameOnline.h"
#include "ui/controls/BannerBar.h"
#include "ui/controls/BannerCtrl.h"
#include "ui/controls/BannerLabelCtrl.h"

namespace {

using banner_test::Entry;

const QColor kRed(220, 30, 30);
const QColor kGreen(30, 200, 60);

class BannerBarTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(m_doc.Open(File("Brivantel.vs"), CBrivantelDoc::Access::ReadWrite));
        web_address::SetOpenerForTesting([this](const QUrl& url) {
            m_opened.push_back(url.toString());
            return true;
        });
    }
    void TearDown() override { web_address::SetOpenerForTesting({}); }
    std::string File(const char* name) const
    {
        return m_dir.filePath(QString::fromLatin1(name)).toStdString();
    }
    CBrivantelFrame& Frame()
    {
        if (!m_frame) {
            m_frame = std::make_unique<CBrivantelFrame>(m_doc, m_settings);
            m_frame->resize(760, 540);
            m_frame->show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(m_frame.get()));
        }
        return *m_frame;
    }
    CBannerCtrl& Banner() { return Frame().GetOnline().GetBar().GetBanner(); }
    bool BarShown() { return Frame().GetBannerBar().isVisibleTo(&Frame()); }
    void Tick() { QMetaObject::invokeMethod(&Frame().GetBannerTimer(), "timeout", Qt::DirectConnection); }
    QColor PixelAt(int x, int y) { return Banner().grab().toImage().pixelColor(x, y); }

    QTemporaryDir m_dir;
    RecordingUserInterface m_ui;
    CMemorySettingsStore m_settings;
    CBrivantelDoc m_doc{m_ui, m_settings};
    std::unique_ptr<CBrivantelFrame> m_frame;
    std::vector<QString> m_opened;
};

TEST_F(BannerBarTest, GoodMissingAndCorruptPicturesShowAndHideTheBar)
{
    ASSERT_TRUE(banner_test::MakeJpeg(File("good.jpg"), 400, 50, kRed));
    ASSERT_TRUE(
        banner_test::WriteFile(File("corrupt.jpg"), std::string("\xFF\xD8\xFF\xE0 not a picture", 20)));
    ASSERT_TRUE(banner_test::WriteFile(
        File("Brivantel.adv"), banner_test::IndexBytes({{"good.jpg", "http://a.example.pl/", 1},
                                                        {"missing.jpg", "http://b.example.pl/", 1},
                                                        {"corrupt.jpg", "http://c.example.pl/", 1}})));
    EXPECT_FALSE(BarShown());
    Frame().GetOnline().LoadBannerList();
    ASSERT_EQ(Frame().GetOnline().GetList().size(), 3u);
    // Shown and blank until the rotation first moves on.
    EXPECT_TRUE(BarShown());
    EXPECT_FALSE(Banner().HasPicture());
    EXPECT_FALSE(banner_test::Near(PixelAt(10, 10), kRed));
    Tick();
    EXPECT_EQ(Banner().GetRotation().GetIndex(), 1u);
    EXPECT_FALSE(BarShown());
    Tick();
    EXPECT_FALSE(BarShown());
    Tick();
    EXPECT_EQ(Banner().GetRotation().GetIndex(), 0u);
    EXPECT_TRUE(BarShown());
    EXPECT_TRUE(Banner().HasPicture());
    EXPECT_TRUE(banner_test::Near(PixelAt(10, 10), kRed));
    EXPECT_TRUE(m_ui.messages.empty());
}

TEST_F(BannerBarTest, AListWhosePicturesAreAllMissingShowsABlankBarUntilTheFirstAdvance)
{
    ASSERT_TRUE(banner_test::WriteFile(File("Brivantel.adv"),
                                       banner_test::IndexBytes({{"gone-a.jpg", "http://a.example.pl/", 2},
                                                                {"gone-b.jpg", "http://b.example.pl/", 1}})));
    Frame().GetOnline().LoadBannerList();
    EXPECT_TRUE(BarShown());
    EXPECT_FALSE(Banner().HasPicture());
    Tick(); // the first entry lasts two ticks
    EXPECT_TRUE(BarShown());
    Tick();
    EXPECT_EQ(Banner().GetRotation().GetIndex(), 1u);
    EXPECT_FALSE(BarShown());
    Tick();
    EXPECT_FALSE(BarShown());
    EXPECT_TRUE(m_ui.messages.empty());
}

TEST_F(BannerBarTest, PicturesAreDrawnUnscaledFromTheTopLeft)
{
    ASSERT_TRUE(banner_test::MakeJpeg(File("big.jpg"), 468, 60, kGreen));
    ASSERT_TRUE(banner_test::MakeJpeg(File("small.jpg"), 200, 40, kRed));
    ASSERT_TRUE(banner_test::MakeJpeg(File("grey.jpg"), 400, 50, QColor(128, 128, 128), true));
    ASSERT_TRUE(banner_test::WriteFile(File("Brivantel.adv"),
                                       banner_test::IndexBytes({{"big.jpg", "http://a.example.pl/", 1},
                                                                {"small.jpg", "http://b.example.pl/", 1},
                                                                {"grey.jpg", "http://c.example.pl/", 1}})));
    Frame().GetOnline().LoadBannerList();
    EXPECT_EQ(Banner().size(), QSize(400, 50));
    Tick();
    EXPECT_EQ(Banner().GetPicture().size(), QSize(200, 40));
    EXPECT_TRUE(banner_test::Near(PixelAt(5, 5), kRed));
    EXPECT_TRUE(banner_test::Near(PixelAt(199, 39), kRed));
    EXPECT_FALSE(banner_test::Near(PixelAt(300, 45), kRed));
    Tick();
    EXPECT_TRUE(banner_test::Near(PixelAt(200, 25), QColor(128, 128, 128)));
    Tick();
    EXPECT_EQ(Banner().GetPicture().size(), QSize(468, 60));
    EXPECT_TRUE(banner_test::Near(PixelAt(399, 49), kGreen));
}

TEST_F(BannerBarTest, AnEmptyListShowsTheProgramsOwnPictureButTheBarStaysHidden)
{
    Frame().GetOnline().LoadBannerList();
    EXPECT_TRUE(Frame().GetOnline().GetList().empty());
    EXPECT_FALSE(BarShown());
    const QImage painted = Banner().grab().toImage();
    const QImage expected = CBannerCtrl::DefaultPicture().toImage();
    EXPECT_EQ(painted.pixelColor(50, 25), expected.pixelColor(50, 25));
    EXPECT_EQ(painted.pixelColor(390, 5), expected.pixelColor(390, 5));
    // A click opens the program's own page.
    QTest::mouseClick(&Banner(), Qt::LeftButton, {}, QPoint(100, 20));
    ASSERT_EQ(m_opened.size(), 1u);
    EXPECT_EQ(m_opened[0], web_address::HomePage(m_settings));
}

TEST_F(BannerBarTest, AClickOpensTheBannersLinkOnlyWhenItIsAWebAddress)
{
    ASSERT_TRUE(banner_test::MakeJpeg(File("a.jpg"), 400, 50, kRed));
    ASSERT_TRUE(banner_test::WriteFile(File("Brivantel.adv"),
                                       banner_test::IndexBytes({{"a.jpg", "https://reklama.example.pl/x", 1},
                                                                {"a.jpg", "file:///etc/passwd", 1},
                                                                {"a.jpg", "/usr/bin/xterm", 1}})));
    Frame().GetOnline().LoadBannerList();
    QTest::mouseClick(&Banner(), Qt::LeftButton, {}, QPoint(100, 20));
    Tick();
    QTest::mouseClick(&Banner(), Qt::LeftButton, {}, QPoint(100, 20));
    Tick();
    QTest::mouseClick(&Banner(), Qt::LeftButton, {}, QPoint(100, 20));
    ASSERT_EQ(m_opened.size(), 1u);
    EXPECT_EQ(m_opened[0], QStringLiteral("https://reklama.example.pl/x"));

    // The strip beside it leads to the page about advertising.
    m_settings.SetString("Hosts", "Update", "serwer.example.pl");
    CBannerLabelCtrl& label = Frame().GetOnline().GetBar().GetLabel();
    EXPECT_EQ(label.size(), QSize(16, 50));
    QTest::mousePress(&label, Qt::LeftButton, {}, QPoint(8, 25));
    ASSERT_EQ(m_opened.size(), 2u);
    EXPECT_TRUE(m_opened[1].endsWith(QStringLiteral("/reklama/")));
    EXPECT_EQ(Frame().GetOnline().GetBar().height(), 50);
}

TEST_F(BannerBarTest, WithoutAutomaticCheckingNothingIsFetchedButTheListIsLoaded)
{
    TestHttpServer server;
    m_settings.SetString("Hosts", "Update", server.HostPort());
    ASSERT_TRUE(banner_test::MakeJpeg(File("a.jpg"), 400, 50, kRed));
    ASSERT_TRUE(banner_test::WriteFile(File("Brivantel.adv"),
                                       banner_test::IndexBytes({{"a.jpg", "http://a.example.pl/", 2}})));
    Frame().StartOnlineWork();
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_TRUE(m_ui.progress.empty());
    EXPECT_EQ(Frame().GetOnline().GetList().size(), 1u);
    EXPECT_TRUE(BarShown());
}

// The whole start-up against a loopback maker's server: the update, the banners, the question.
TEST_F(BannerBarTest, StartUpFetchesTheBannersShowsThemAndOffersTheNewVersion)
{
    TestHttpServer server;
    m_settings.SetString("Hosts", "Update", server.HostPort());
    m_settings.SetInt("Update", "AutoUpdate", 1);
    const std::string a = File("served-a.jpg");
    const std::string b = File("served-b.jpg");
    ASSERT_TRUE(banner_test::MakeJpeg(a, 400, 50, kRed));
    ASSERT_TRUE(banner_test::MakeJpeg(b, 400, 50, kGreen));
    auto read = [](const std::string& path) {
        QFile file(QString::fromStdString(path));
        file.open(QIODevice::ReadOnly);
        return file.readAll().toStdString();
    };
    server.Route("/brivantel/version.inf", TestHttpServer::Ok("Brivantel version:1.1\r\n"));
    server.Route("/brivantel/reklama/brivantel.adv",
                 TestHttpServer::Ok(banner_test::IndexBytes(
                     {{"a.jpg", "http://a.example.pl/", 1}, {"b.jpg", "http://b.example.pl/", 1}})));
    server.Route("/brivantel/reklama/a.jpg", TestHttpServer::Ok(read(a)));
    server.Route("/brivantel/reklama/b.jpg", TestHttpServer::Ok(read(b)));
    m_ui.answers = {true, false}; // "Tak" to the new version, then stay at the quit question

    Frame().StartOnlineWork();
    EXPECT_EQ(m_ui.progress.front(), "open:Sprawdzanie nowej wersji...");
    EXPECT_EQ(m_ui.progress.back(), "close");
    EXPECT_TRUE(QFile::exists(QString::fromStdString(File("a.jpg"))));
    EXPECT_TRUE(QFile::exists(QString::fromStdString(File("b.jpg"))));
    EXPECT_EQ(m_settings.GetString("Update", "Date"), update_schedule::Format(update_schedule::Today()));
    EXPECT_TRUE(BarShown());
    EXPECT_FALSE(Banner().HasPicture());
    Tick();
    EXPECT_TRUE(banner_test::Near(PixelAt(10, 10), kGreen));
    Tick();
    EXPECT_TRUE(banner_test::Near(PixelAt(10, 10), kRed));

    ASSERT_GE(m_ui.questions.size(), 1u);
    EXPECT_EQ(m_ui.questions[0].rfind("Twoja obecna wersja programu nie jest wersj", 0), 0u);
    ASSERT_EQ(m_ui.messages.size(), 1u);
    EXPECT_EQ(m_ui.messages[0].text.rfind("Aplikacja zostanie zako", 0), 0u);
    ASSERT_EQ(m_opened.size(), 1u);
    EXPECT_EQ(m_opened[0], QStringLiteral("http://%1/download/BrivantelInstaluj.zip")
                               .arg(QString::fromStdString(server.HostPort())));
    // The close request comes through the event loop and runs the ordinary close sequence.
    QApplication::processEvents();
    ASSERT_EQ(m_ui.questions.size(), 2u);
    EXPECT_EQ(m_ui.questions[1].rfind("Czy na pewno chcesz zako", 0), 0u);
    EXPECT_TRUE(Frame().isVisible());
}

} // namespace
