// The mailbox-watch page and the frame's schedule timer.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QToolButton>

#include "app/Document.h"
#include "app/SettingsStore.h"
#include "store/Message.h"
#include "support/RecordingUserInterface.h"
#include "ui/BrivantelFrame.h"
#include "ui/Commands.h"
#include "ui/MailCheckerView.h"

namespace {

class MailCheckerViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(m_doc.Open(Path(), CBrivantelDoc::Access::ReadWrite));
    }
    std::string Path() const { return m_dir.filePath(QStringLiteral("Brivantel.vs")).toStdString(); }
    CMailCheckerView& Open()
    {
        m_view = std::make_unique<CMailCheckerView>(m_doc, 1006);
        m_view->OnInitialUpdate();
        m_view->show();
        return *m_view;
    }
    // The record as the data file on disk holds it now.
    CMailCheckerData OnDisk()
    {
        RecordingUserInterface ui;
        CMemorySettingsStore store;
        CBrivantelDoc copy(ui, store);
        QFile file(QString::fromStdString(Path()));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        EXPECT_TRUE(copy.Load(std::vector<std::uint8_t>(bytes.begin(), bytes.end())));
        return copy.GetMailCheckerData();
    }
    std::vector<QWidget*> Dependent() const
    {
        return {m_view->CheckNowButton(), m_view->EnabledBox(), m_view->MinutesLabel(),
                m_view->IntervalEdit(),   m_view->NumberEdit(), m_view->CountryBox(),
                m_view->NetworkBox(),     m_view->NotifyBox()};
    }

    QTemporaryDir m_dir;
    RecordingUserInterface m_ui;
    CMemorySettingsStore m_settings;
    CBrivantelDoc m_doc{m_ui, m_settings};
    std::unique_ptr<CMailCheckerView> m_view;
};

TEST_F(MailCheckerViewTest, ControlsWorkOnlyWithUserServerAndPassword)
{
    CMailCheckerView& view = Open();
    for (QWidget* control : Dependent())
        EXPECT_FALSE(control->isEnabled()) << control->metaObject()->className();
    view.ServerEdit()->setText(QStringLiteral("pop3s://poczta.example.pl"));
    view.UserEdit()->setText(QStringLiteral("jan"));
    EXPECT_FALSE(view.CheckNowButton()->isEnabled());
    view.PasswordEdit()->setText(QStringLiteral("tajne"));
    for (QWidget* control : Dependent())
        EXPECT_TRUE(control->isEnabled()) << control->metaObject()->className();
    view.UserEdit()->clear();
    for (QWidget* control : Dependent())
        EXPECT_FALSE(control->isEnabled()) << control->metaObject()->className();
    for (QWidget* control :
         std::initializer_list<QWidget*>{view.ServerEdit(), view.UserEdit(), view.PasswordEdit(),
                                         view.CountEdit(), view.NoticeEdit(), view.SpinUp()})
        EXPECT_TRUE(control->isEnabled());
    EXPECT_EQ(view.PasswordEdit()->echoMode(), QLineEdit::Password);
    EXPECT_EQ(view.CountryBox()->count(), 1);
    EXPECT_EQ(view.NetworkBox()->count(), 9);
}

// Every change goes into the record at once and is announced; saving as you go writes it a moment
// later, so a keystroke neither waits for the disk nor asks anything.
TEST_F(MailCheckerViewTest, EveryChangeGoesIntoTheRecordAndNoKeystrokeSaves)
{
    CMailCheckerView& view = Open();
    struct Counter final : CDocumentListener
    {
        int changes = 0;
        void OnDocumentChanged(DocChange change) override { changes += change == DocChange::MailChecker; }
    } counter;
    m_doc.AddListener(counter);
    view.ServerEdit()->setText(QStringLiteral("poczta.example.pl:1110"));
    view.UserEdit()->setText(QStringLiteral("jan"));
    view.PasswordEdit()->setText(QStringLiteral("tajne"));
    view.EnabledBox()->click();
    view.NotifyBox()->click();
    view.CountryBox()->setCurrentIndex(0);
    view.NetworkBox()->setCurrentIndex(view.NetworkBox()->findText(QStringLiteral("602")));
    view.NumberEdit()->setText(QStringLiteral("1234567"));
    view.IntervalEdit()->setText(QStringLiteral("15"));
    const CMailCheckerData& record = m_doc.GetMailCheckerData();
    EXPECT_EQ(record.server, "poczta.example.pl:1110");
    EXPECT_EQ(record.user, "jan");
    EXPECT_EQ(record.password, "tajne");
    EXPECT_EQ(record.enabled, 1);
    EXPECT_EQ(record.notify, 1);
    EXPECT_EQ(record.NoticeNumber(), "+486021234567");
    EXPECT_EQ(record.interval, 15);
    view.SpinUp()->click();
    EXPECT_EQ(view.IntervalEdit()->text(), QStringLiteral("16"));
    EXPECT_EQ(record.interval, 16);
    EXPECT_GE(counter.changes, 10);
    EXPECT_EQ(OnDisk().server, "");
    EXPECT_TRUE(m_ui.messages.empty());
    EXPECT_TRUE(m_ui.saveDialogs.empty());
    m_doc.RemoveListener(counter);
}

TEST_F(MailCheckerViewTest, AnIntervalThatIsNoNumberOrOutOfRangeIsRefused)
{
    CMailCheckerView& view = Open();
    view.IntervalEdit()->setText(QStringLiteral("30"));
    view.IntervalEdit()->clear();
    emit view.IntervalEdit()->editingFinished();
    ASSERT_EQ(m_ui.messages.size(), 1u);
    EXPECT_EQ(m_ui.messages[0].text, "Please enter an integer.");
    EXPECT_EQ(m_doc.GetMailCheckerData().interval, 30);
    EXPECT_EQ(view.IntervalEdit()->text(), QStringLiteral("30"));
    view.IntervalEdit()->setText(QStringLiteral("3601"));
    emit view.IntervalEdit()->editingFinished();
    ASSERT_EQ(m_ui.messages.size(), 2u);
    EXPECT_EQ(m_ui.messages[1].text, "Please enter an integer between 1 and 3600.");
    EXPECT_EQ(m_doc.GetMailCheckerData().interval, 30);
    // Left out of range when the view goes (another view, the close, the end): nothing is asked,
    // the record keeps its interval.
    view.IntervalEdit()->setText(QStringLiteral("0"));
    m_view.reset();
    EXPECT_EQ(m_ui.messages.size(), 2u);
    EXPECT_EQ(m_doc.GetMailCheckerData().interval, 30);
}

TEST_F(MailCheckerViewTest, CheckNowWithWatchingOffDoesNothing)
{
    CMailCheckerView& view = Open();
    view.ServerEdit()->setText(QStringLiteral("127.0.0.1:1"));
    view.UserEdit()->setText(QStringLiteral("jan"));
    view.PasswordEdit()->setText(QStringLiteral("tajne"));
    view.CheckNowButton()->click();
    EXPECT_TRUE(m_ui.messages.empty());
    EXPECT_TRUE(m_ui.progress.empty());
}

TEST_F(MailCheckerViewTest, TheCountIsShownEverySecond)
{
    CMailCheckerView& view = Open();
    EXPECT_EQ(view.CountEdit()->text(), QStringLiteral("0"));
    EXPECT_TRUE(view.CountEdit()->isReadOnly());
    EXPECT_EQ(view.GetPageTimer().interval(), 1000);
    EXPECT_TRUE(view.GetPageTimer().isActive());
    m_doc.GetMailCheckerData().lastCount = 7;
    QMetaObject::invokeMethod(&view.GetPageTimer(), "timeout", Qt::DirectConnection);
    EXPECT_EQ(view.CountEdit()->text(), QStringLiteral("7"));
}

// A loopback port with nobody listening: every login fails at once.
std::uint16_t ClosedPort()
{
    QTcpServer server;
    EXPECT_TRUE(server.listen(QHostAddress::LocalHost));
    const std::uint16_t port = server.serverPort();
    server.close();
    return port;
}

// Records, with every message box of a check, what the status bar said meanwhile.
class IndicatorWatchingUi final : public CUserInterface
{
public:
    RecordingUserInterface inner;
    CBrivantelFrame* frame = nullptr;
    std::vector<QString> indicatorAtMessage;

    void ShowMessage(const std::string& text, Icon icon) override
    {
        indicatorAtMessage.push_back(frame ? frame->GetMailIndicator().text() : QString());
        inner.ShowMessage(text, icon);
    }
    bool AskYesNo(const std::string& text) override { return inner.AskYesNo(text); }
    std::string ChooseSaveFile(const std::string& path) override { return inner.ChooseSaveFile(path); }
    void SetWaitCursor(bool on) override { inner.SetWaitCursor(on); }
    void WaitHook() override { inner.WaitHook(); }
    void ShowSendFailed(const std::string& a, const std::string& b, const std::string& c) override
    {
        inner.ShowSendFailed(a, b, c);
    }
    void ProgressOpen(const std::string& title) override { inner.ProgressOpen(title); }
    void ProgressSetTitle(const std::string& title) override { inner.ProgressSetTitle(title); }
    void ProgressSetText(const std::string& text) override { inner.ProgressSetText(text); }
    void ProgressSetRange(int upper) override { inner.ProgressSetRange(upper); }
    void ProgressSetPos(int pos) override { inner.ProgressSetPos(pos); }
    void ProgressClose() override { inner.ProgressClose(); }
};

TEST(MailScheduleTimerTest, AfterAThreeHourSleepOneCheckCatchesUp)
{
    IndicatorWatchingUi ui;
    CMemorySettingsStore settings;
    CBrivantelDoc doc(ui, settings);
    CMailCheckerData& mail = doc.GetMailCheckerData();
    mail.enabled = 1;
    mail.interval = 60;
    mail.server = "127.0.0.1:" + std::to_string(ClosedPort());
    mail.user = "jan";
    mail.password = "tajne";
    CBrivantelFrame frame(doc, settings);
    ui.frame = &frame;
    frame.GetMailTimer().stop();
    const std::int64_t start = frame.GetMailSchedule().NextCheck();
    std::int64_t now = start;
    frame.SetClockForTesting([&now] { return now; });
    auto tick = [&frame] {
        QMetaObject::invokeMethod(&frame.GetMailTimer(), "timeout", Qt::DirectConnection);
    };

    tick(); // the first tick after start checks
    ASSERT_EQ(ui.inner.messages.size(), 1u);
    tick();
    EXPECT_EQ(ui.inner.messages.size(), 1u);

    now = start + 3 * 3600 + 30; // the computer slept for three hours
    for (std::size_t expected : {2u, 2u, 2u}) {
        tick();
        EXPECT_EQ(ui.inner.messages.size(), expected);
    }
    EXPECT_EQ(frame.GetMailSchedule().NextCheck(), now + 3600); // hourly from the wake-up on
    // Each check said so in the status bar while it ran, and not afterwards.
    for (const QString& text : ui.indicatorAtMessage)
        EXPECT_EQ(text, QStringLiteral("Checking mail"));
    EXPECT_EQ(frame.GetMailIndicator().text(), QStringLiteral(" "));
    EXPECT_EQ(ui.inner.messages[0].text.rfind("B\xB3\xB9"
                                              "d podczas sprawdania poczty.\n",
                                              0),
              0u);
}

TEST(MailCheckerFrameTest, TheFrameShowsThePageForItsCommand)
{
    RecordingUserInterface ui;
    CMemorySettingsStore settings;
    CBrivantelDoc doc(ui, settings);
    CBrivantelFrame frame(doc, settings);
    frame.SwitchView(CommandId::ViewMailChecker);
    EXPECT_NE(dynamic_cast<CMailCheckerView*>(frame.GetActiveView()), nullptr);
}

} // namespace
