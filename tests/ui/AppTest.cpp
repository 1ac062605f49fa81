#include <gtest/gtest.h>

#include <csignal>

#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalSocket>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include "BannerTestSupport.h"
#include "TestHttpServer.h"
#include "UiTestSupport.h"
#include "app/Document.h"
#include "app/SettingsStore.h"
#include "app/qt/BrivantelApp.h"
#include "app/qt/SingleInstance.h"
#include "store/Windows1250.h"
#include "support/RecordingUserInterface.h"
#include "ui/BrivantelFrame.h"
#include "ui/ProgressDlg.h"
#include "ui/QtUserInterface.h"

namespace {

// Waits, with the event loop running, until cond holds or a generous deadline passes.
bool WaitFor(const std::function<bool()>& cond, int ms = 20000)
{
    QElapsedTimer timer;
    timer.start();
    while (!cond()) {
        if (timer.elapsed() > ms)
            return false;
        QTest::qWait(20);
    }
    return true;
}

// Asks for the single-instance claim from a thread of its own, while this thread's event loop lets
// the first instance answer.
CSingleInstance::Claim ClaimFromAnotherThread(const QString& dir)
{
    CSingleInstance::Claim claim = CSingleInstance::Claim::NoLock;
    QThread* thread = QThread::create([&claim, dir] {
        CSingleInstance second(dir, QStringLiteral("brivantel-test"));
        claim = second.TryClaim();
    });
    thread->start();
    WaitFor([thread] { return thread->isFinished(); });
    thread->wait();
    delete thread;
    return claim;
}

TEST(SingleInstanceTest, ASecondClaimAsksTheFirstToComeForward)
{
    QTemporaryDir dir;
    CSingleInstance first(dir.path(), QStringLiteral("brivantel-test"));
    ASSERT_EQ(first.TryClaim(), CSingleInstance::Claim::First);
    // Before the first one listens, a second start ends without an answer.
    EXPECT_EQ(ClaimFromAnotherThread(dir.path()), CSingleInstance::Claim::OtherSilent);
    ASSERT_TRUE(first.Listen());
    int raised = 0;
    QObject::connect(&first, &CSingleInstance::raiseRequested, [&raised] { ++raised; });
    EXPECT_EQ(ClaimFromAnotherThread(dir.path()), CSingleInstance::Claim::OtherRaised);
    EXPECT_EQ(raised, 1);
}

class AppTest : public ::testing::Test
{
protected:
    CBrivantelApp::Options Options() const
    {
        CBrivantelApp::Options o;
        o.dataDirectory = m_data.path();
        o.instanceDirectory = m_run.path();
        o.programName = QStringLiteral("brivantel-test");
        return o;
    }
    static CBrivantelApp::FrameFactory Factory(CSettingsStore& settings, CBrivantelFrame** made)
    {
        return [&settings, made](CBrivantelApp& app, CBrivantelDoc& doc) {
            auto frame = std::make_unique<CBrivantelFrame>(doc, settings, &app);
            *made = frame.get();
            return frame;
        };
    }
    QString DataFile() const { return m_data.filePath(QStringLiteral("Brivantel.vs")); }

    QTemporaryDir m_data;
    QTemporaryDir m_run;
    RecordingUserInterface m_ui;
    CMemorySettingsStore m_settings;
};

TEST_F(AppTest, StartsWithAnEmptyFileAndWritesEverythingAtTheEnd)
{
    m_settings.SetString("Settings", "Sign", "Jan");
    m_settings.SetString("Settings", "Port", "COM2");
    CBrivantelFrame* frame = nullptr;
    {
        CBrivantelApp app(m_ui, m_settings);
        ASSERT_EQ(app.InitInstance(Options(), Factory(m_settings, &frame)), CBrivantelApp::Start::Running);
        EXPECT_EQ(CBrivantelApp::Instance(), &app);
        EXPECT_EQ(app.GetSignature(), "Jan");
        EXPECT_EQ(app.GetPort(), "COM2");
        ASSERT_NE(app.GetDocument(), nullptr);
        ASSERT_NE(frame, nullptr);
        EXPECT_TRUE(frame->isVisible());
        EXPECT_EQ(QFileInfo(DataFile()).size(), 0);
        EXPECT_EQ(app.GetDocument()->GetSignature(), "Jan");
        EXPECT_EQ(app.GetDocument()->GetPhonePortName(), "COM2");
        app.SetSignature("Anna");
        EXPECT_EQ(app.GetDocument()->GetSignature(), "Anna");
        app.Shutdown();
        EXPECT_EQ(app.GetDocument(), nullptr);
    }
    // All 14 records: the smallest file is well over a few bytes.
    EXPECT_GT(QFileInfo(DataFile()).size(), 20);
    EXPECT_EQ(m_settings.GetString("Settings", "Sign"), "Anna");
    EXPECT_EQ(m_settings.GetString("Settings", "Port"), "COM2");
}

TEST_F(AppTest, ASecondStartRestoresTheMinimisedWindowOfTheFirst)
{
    CBrivantelFrame* frame = nullptr;
    CBrivantelApp app(m_ui, m_settings);
    ASSERT_EQ(app.InitInstance(Options(), Factory(m_settings, &frame)), CBrivantelApp::Start::Running);
    frame->showMinimized();
    QApplication::processEvents();
    ASSERT_TRUE(frame->isMinimized());
    EXPECT_EQ(ClaimFromAnotherThread(m_run.path()), CSingleInstance::Claim::OtherRaised);
    EXPECT_FALSE(frame->isMinimized());
    EXPECT_TRUE(frame->isVisible());
}

TEST_F(AppTest, AFileHeldByAnotherWriterEndsTheStartWithAMessage)
{
    CDataFileLock other;
    ASSERT_EQ(other.Acquire(DataFile().toStdString()), CDataFileLock::Result::Acquired);
    CBrivantelFrame* frame = nullptr;
    CBrivantelApp app(m_ui, m_settings);
    EXPECT_EQ(app.InitInstance(Options(), Factory(m_settings, &frame)), CBrivantelApp::Start::Failed);
    EXPECT_EQ(frame, nullptr);
    ASSERT_EQ(m_ui.messages.size(), 1u);
    EXPECT_EQ(m_ui.messages[0].icon, CUserInterface::Icon::Error);
}

TEST(QtUserInterfaceTest, QuestionsHavePolishYesAndNo)
{
    CQtUserInterface ui;
    QStringList buttons;
    QString text;
    OnNextModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        text = box->text();
        for (QAbstractButton* b : box->buttons())
            buttons << b->text();
        box->button(QMessageBox::No)->click();
    });
    EXPECT_FALSE(ui.AskYesNo(windows1250::FromUtf8Lossy("Czy na pewno chcesz zakończyć pracę z programem?")));
    EXPECT_EQ(text, QStringLiteral("Czy na pewno chcesz zakończyć pracę z programem?"));
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{QStringLiteral("&Nie"), QStringLiteral("&Tak")}));
}

TEST(QtUserInterfaceTest, ProgressShowsTextAndPosition)
{
    CQtUserInterface ui;
    ui.ProgressOpen(windows1250::FromUtf8Lossy("Wysyłanie"));
    ASSERT_NE(ui.GetProgress(), nullptr);
    ui.ProgressSetRange(4);
    ui.ProgressSetPos(3);
    ui.ProgressSetText(windows1250::FromUtf8Lossy("Łączenie z bramką"));
    ui.WaitHook();
    EXPECT_EQ(ui.GetProgress()->windowTitle(), QStringLiteral("Wysyłanie"));
    EXPECT_EQ(ui.GetProgress()->GetText(), QStringLiteral("Łączenie z bramką"));
    EXPECT_EQ(ui.GetProgress()->GetPos(), 3);
    EXPECT_EQ(ui.GetProgress()->GetUpper(), 4);
    ui.ProgressClose();
    EXPECT_EQ(ui.GetProgress(), nullptr);
    ui.ProgressClose();
}

// The real program, twice, as separate processes.
class ProgramTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(m_root.filePath(QStringLiteral("run"))));
        QFile::setPermissions(m_root.filePath(QStringLiteral("run")),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        m_env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_root.filePath(QStringLiteral("run")));
        m_env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_root.filePath(QStringLiteral("config")));
    }
    void TearDown() override
    {
        for (auto& p : m_processes) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(10000);
            }
        }
    }
    QProcess& Start()
    {
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(m_env);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(QStringLiteral(BRIVANTEL_EXE),
                 {QStringLiteral("--data-dir"), m_root.filePath(QStringLiteral("data"))});
        m_processes.push_back(std::move(p));
        return *m_processes.back();
    }
    // The program listens once its window is up.
    bool Listening() const
    {
        QLocalSocket s;
        s.connectToServer(m_root.filePath(QStringLiteral("run/brivantel.socket")));
        return s.waitForConnected(200);
    }
    QString DataFile() const { return m_root.filePath(QStringLiteral("data/Brivantel.vs")); }

    QTemporaryDir m_root;
    QProcessEnvironment m_env;
    std::vector<std::unique_ptr<QProcess>> m_processes;
};

TEST_F(ProgramTest, SecondStartRaisesTheFirstAndLeavesTheDataFileAlone)
{
    QProcess& first = Start();
    ASSERT_TRUE(first.waitForStarted());
    ASSERT_TRUE(WaitFor([this] { return Listening(); })) << "the first instance never came up";
    const QFileInfo before(DataFile());
    ASSERT_TRUE(before.exists());
    EXPECT_EQ(before.size(), 0);
    QFile::setPermissions(DataFile(), QFileDevice::ReadOwner); // a write would fail loudly

    QProcess& second = Start();
    ASSERT_TRUE(second.waitForFinished(30000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0) << "the first instance did not answer the raise request";
    const QFileInfo after(DataFile());
    EXPECT_EQ(after.size(), 0);
    EXPECT_EQ(after.lastModified(), before.lastModified());
    EXPECT_EQ(first.state(), QProcess::Running);
}

TEST_F(ProgramTest, StartUpFetchesTheBannersFromTheMakersServer)
{
    // The real program against a loopback maker's server: automatic checking is on and no check
    // ran today, so the start-up fetches the version file, the index and the missing picture.
    TestHttpServer server;
    const QString picture = m_root.filePath(QStringLiteral("served.jpg"));
    ASSERT_TRUE(banner_test::MakeJpeg(picture.toStdString(), 400, 50, QColor(200, 30, 30)));
    QFile served(picture);
    ASSERT_TRUE(served.open(QIODevice::ReadOnly));
    const std::string index = banner_test::IndexBytes({{"a.jpg", "http://a.example.pl/", 2}});
    server.Route("/brivantel/version.inf", TestHttpServer::Ok("Brivantel version:1.0\r\n")); // not newer
    server.Route("/brivantel/reklama/brivantel.adv", TestHttpServer::Ok(index));
    server.Route("/brivantel/reklama/a.jpg", TestHttpServer::Ok(served.readAll().toStdString()));

    const QString configDir = m_root.filePath(QStringLiteral("config/Orvella Systems"));
    ASSERT_TRUE(QDir().mkpath(configDir));
    const QString config = configDir + QStringLiteral("/Brivantel.conf");
    QFile conf(config);
    ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
    conf.write(QStringLiteral("[Hosts]\nUpdate=%1\n\n[Update]\nAutoUpdate=1\n")
                   .arg(QString::fromStdString(server.HostPort()))
                   .toUtf8());
    conf.close();

    Start();
    const QString banner = m_root.filePath(QStringLiteral("data/a.jpg"));
    ASSERT_TRUE(WaitFor([&] { return QFile::exists(banner); })) << "the picture was never fetched";
    EXPECT_TRUE(WaitFor([&] {
        QFile f(config);
        return f.open(QIODevice::ReadOnly) && f.readAll().contains("Date=");
    })) << "the day of the check was not recorded";
    QFile adv(m_root.filePath(QStringLiteral("data/Brivantel.adv")));
    ASSERT_TRUE(adv.open(QIODevice::ReadOnly));
    EXPECT_EQ(adv.readAll().toStdString(), index);
    EXPECT_EQ(server.Paths(), (std::vector<std::string>{"/brivantel/version.inf", "/brivantel/reklama/brivantel.adv",
                                                        "/brivantel/reklama/a.jpg"}));
    EXPECT_EQ(m_processes.back()->state(), QProcess::Running); // no new-version question closed it
}

TEST_F(ProgramTest, ALockLeftByAKilledInstanceDoesNotBlock)
{
    QProcess& first = Start();
    ASSERT_TRUE(WaitFor([this] { return Listening(); }));
    ::kill(static_cast<pid_t>(first.processId()), SIGKILL);
    ASSERT_TRUE(first.waitForFinished(10000));
    ASSERT_TRUE(QFileInfo::exists(m_root.filePath(QStringLiteral("run/brivantel.lock"))));

    QProcess& next = Start();
    ASSERT_TRUE(next.waitForStarted());
    EXPECT_TRUE(WaitFor([this, &next] { return next.state() != QProcess::Running || Listening(); }));
    EXPECT_EQ(next.state(), QProcess::Running) << "the stale lock ended the next start";
}

} // namespace
