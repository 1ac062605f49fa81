// The windows on every desktop: the title the window system gets, the saved placement on small
// screens, pictures on scaled screens, progress dialogs that nest, the notification-area menu and
// close requests while a dialog is up, and the keyboard's ways to the same commands.

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTableView>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include "UiTestSupport.h"
#include "ViewsTestSupport.h"
#include "app/Document.h"
#include "app/SettingsStore.h"
#include "app/qt/WebAddress.h"
#include "support/RecordingUserInterface.h"
#include "ui/AddressBookView.h"
#include "ui/AddressPage.h"
#include "ui/BrivantelFrame.h"
#include "ui/Commands.h"
#include "ui/FolderListBar.h"
#include "ui/ProgressDlg.h"
#include "ui/QtUserInterface.h"
#include "ui/ResizePropSheet.h"
#include "ui/controls/AddressListCtrl.h"
#include "ui/controls/FolderCaptionBar.h"
#include "ui/controls/FolderListCtrl.h"

namespace {

// --- the title as the window system has it -----------------------------------------------------

// The real program under Xvfb; xprop reads what the window manager would show.
TEST(WindowTitleUnderXvfb, TheWindowSystemGetsTheTitleAsWritten)
{
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("xvfb-run"));
    ASSERT_FALSE(xvfb.isEmpty()) << "xvfb-run is missing: install the Debian package xvfb";
    ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("xprop")).isEmpty())
        << "xprop is missing: install the Debian package x11-utils";
    QTemporaryDir data, config, runtime;
    ASSERT_TRUE(data.isValid() && config.isValid() && runtime.isValid());
    QFile::setPermissions(runtime.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    // Waits (with a deadline) for the top-level window whose _NET_WM_NAME holds " - Brivantel",
    // prints that property and ends the program.
    const QString script = QStringLiteral(R"(
"$1" --data-dir "$2" & pid=$!
i=0
while [ $i -lt 300 ]; do
  for id in $(xwininfo -root -children 2>/dev/null | awk '/^ +0x/ {print $1}'); do
    name=$(xprop -id "$id" _NET_WM_NAME 2>/dev/null)
    case "$name" in *" - Brivantel"*) echo "$name"; kill $pid; wait $pid; exit 0;; esac
  done
  sleep 0.1
  i=$((i + 1))
done
kill $pid
exit 1
)");
    QProcess run;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.remove(QStringLiteral("QT_SCALE_FACTOR"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    run.setProcessEnvironment(env);
    run.start(xvfb, {QStringLiteral("-a"), QStringLiteral("sh"), QStringLiteral("-c"), script,
                     QStringLiteral("sh"), QStringLiteral(BRIVANTEL_EXE), data.path()});
    ASSERT_TRUE(run.waitForFinished(120000));
    const QString out = QString::fromUtf8(run.readAllStandardOutput());
    EXPECT_EQ(run.exitCode(), 0) << out.toStdString() << run.readAllStandardError().toStdString();
    EXPECT_EQ(out.trimmed().toStdString(), "_NET_WM_NAME(UTF8_STRING) = \"Wyślij wiadomość - Brivantel \"");
}

// --- placement ---------------------------------------------------------------------------------

struct PlacementCase
{
    const char* what;
    QRect stored; // relative to the available area's top-left corner
};

TEST(PlacementTest, ASavedPlacementIsFittedToTheScreen)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    const QRect avail = screen->availableGeometry();
    const int w = avail.width(), h = avail.height();
    const PlacementCase cases[] = {
        {"far larger than any screen", QRect(0, 0, 100000, 100000)},
        {"four times the screen", QRect(10, 10, 4 * w, 4 * h)},
        {"only a 10x10 corner on the screen", QRect(w - 10, h - 10, 600, 400)},
        {"its title bar above the screen", QRect(50, -150, 600, 400)},
        {"on a screen that is gone", QRect(w + 5000, h + 5000, 600, 400)},
    };
    for (const PlacementCase& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingUserInterface ui;
        CMemorySettingsStore settings;
        CBrivantelDoc doc(ui, settings);
        CWindowPlacement stored;
        const QRect r = c.stored.translated(avail.topLeft());
        stored.left = r.left();
        stored.top = r.top();
        stored.right = r.left() + r.width();
        stored.bottom = r.top() + r.height();
        settings.SetString("Settings", "WindowPos", stored.Format());
        CBrivantelFrame frame(doc, settings);
        const QRect got = frame.geometry();
        const int title = frame.TitleBarAllowance();
        EXPECT_LE(got.width(), w);
        EXPECT_LE(got.height() + title, h);
        // The title bar and (here) the whole window are on the screen.
        EXPECT_TRUE(avail.contains(got.adjusted(0, -title, 0, 0))) << got.x() << "," << got.y();
    }
}

TEST(PlacementTest, APlacementThatIsUsableStaysWhereItWas)
{
    const QRect avail = QGuiApplication::primaryScreen()->availableGeometry();
    // Two thirds of it off the right edge, its title bar on the screen: the user put it there.
    const QRect partly(avail.right() + 1 - 200, avail.top() + 100, 600, 300);
    EXPECT_EQ(CFrameWndEx::FitToScreen(partly, avail, 30, QSize(300, 200)), partly);
    const QRect inside(avail.left() + 40, avail.top() + 60, 500, 300);
    EXPECT_EQ(CFrameWndEx::FitToScreen(inside, avail, 30, QSize(300, 200)), inside);
}

// --- pictures on scaled screens ----------------------------------------------------------------

// Share of pixels that differ clearly between two pictures of one size.
double DifferentShare(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return 1.0;
    qint64 differ = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QColor p = a.pixelColor(x, y), q = b.pixelColor(x, y);
            if (std::abs(p.red() - q.red()) + std::abs(p.green() - q.green()) +
                    std::abs(p.blue() - q.blue()) >
                120)
                ++differ;
        }
    }
    return double(differ) / (double(a.width()) * a.height());
}

TEST(SlideOnScaledScreens, EveryFrameMatchesTheSameFrameAtScaleOne)
{
    CFolderListBar bar(nullptr);
    bar.resize(CFolderListBar::kWidth, 420);
    bar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
    CFolderListCtrl& list = bar.GetList();
    // "Wiadomości" to "Narzędzia" (up), and back (down); each step of 22 pixels.
    const std::pair<int, int> slides[] = {{0, 3}, {3, 0}, {1, 2}};
    for (const qreal scale : {1.5, 2.0}) {
        for (const auto& [from, to] : slides) {
            for (int moved = 22; moved <= 66; moved += 22) {
                SCOPED_TRACE(QStringLiteral("scale %1, %2 to %3, %4 px")
                                 .arg(scale)
                                 .arg(from)
                                 .arg(to)
                                 .arg(moved)
                                 .toStdString());
                const QPixmap one = list.SlideFrame(from, to, moved, 1.0);
                const QPixmap scaled = list.SlideFrame(from, to, moved, scale);
                ASSERT_EQ(scaled.deviceIndependentSize().toSize(), one.size());
                const QImage down =
                    scaled.toImage().scaled(one.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
                EXPECT_LT(DifferentShare(down.convertToFormat(QImage::Format_RGB32),
                                         one.toImage().convertToFormat(QImage::Format_RGB32)),
                          0.06);
                if (scale > 1.5 && from == 0 && moved == 44 &&
                    QDir().mkpath(QStringLiteral(BRIVANTEL_SCREENSHOT_DIR)))
                    scaled.save(QStringLiteral(BRIVANTEL_SCREENSHOT_DIR "/folder-list-slide-frame-x2.png"));
            }
        }
    }
}

// --- progress dialogs ----------------------------------------------------------------------------

TEST(ProgressNesting, TheInnerDialogEndsAndTheOuterComesBack)
{
    CQtUserInterface ui;
    ui.ProgressOpen("Wysy\xB3"
                    "anie wiadomo\x9C"
                    "ci");
    ui.ProgressSetText("Wysy\xB3"
                       "anie wiadomo\x9C"
                       "ci 1 z 2.");
    ui.ProgressSetRange(2);
    ui.ProgressSetPos(1);
    const QPointer<CProgressDlg> outer = ui.GetProgress();
    ASSERT_TRUE(outer);
    // A scheduled mail check during the send's failure dialog.
    ui.ProgressOpen("Sprawdzanie poczty");
    ui.ProgressSetText("Informacja");
    ui.ProgressSetRange(4);
    ASSERT_TRUE(outer);
    EXPECT_NE(ui.GetProgress(), outer.data());
    EXPECT_FALSE(outer->isVisible());
    EXPECT_TRUE(ui.GetProgress()->isVisible());
    ui.ProgressClose();
    ASSERT_TRUE(outer);
    EXPECT_EQ(ui.GetProgress(), outer.data());
    EXPECT_TRUE(outer->isVisible());
    EXPECT_EQ(outer->windowTitle(), QStringLiteral("Wysyłanie wiadomości"));
    EXPECT_EQ(outer->GetText(), QStringLiteral("Wysyłanie wiadomości 1 z 2."));
    EXPECT_EQ(outer->GetPos(), 1);
    ui.ProgressClose();
    EXPECT_FALSE(outer);
    EXPECT_EQ(ui.GetProgress(), nullptr);
    ui.ProgressClose(); // nothing open: nothing happens
}

// The mail check's own dialog, seen while its failure message comes.
class ProgressWatchingUi final : public CUserInterface
{
public:
    CQtUserInterface real;
    QStringList buttonsAtMessage; // "text:enabled" of the progress dialog's buttons

    void ShowMessage(const std::string&, Icon) override
    {
        if (CProgressDlg* dialog = real.GetProgress()) {
            for (const QPushButton* b : dialog->findChildren<QPushButton*>())
                buttonsAtMessage << b->text() + (b->isEnabled() ? ":on" : ":off");
            SaveScreenshot(*dialog, QStringLiteral("progress-mail-check"));
        }
    }
    bool AskYesNo(const std::string&) override { return false; }
    std::string ChooseSaveFile(const std::string&) override { return {}; }
    void SetWaitCursor(bool) override {}
    void WaitHook() override {}
    void ShowSendFailed(const std::string&, const std::string&, const std::string&) override {}
    void ProgressOpen(const std::string& title) override { real.ProgressOpen(title); }
    void ProgressSetTitle(const std::string& title) override { real.ProgressSetTitle(title); }
    void ProgressSetText(const std::string& text) override { real.ProgressSetText(text); }
    void ProgressSetRange(int upper) override { real.ProgressSetRange(upper); }
    void ProgressSetPos(int pos) override { real.ProgressSetPos(pos); }
    void ProgressClose() override { real.ProgressClose(); }
    void ProgressAddDisabledButton(const std::string& text) override { real.ProgressAddDisabledButton(text); }
};

TEST(MailCheckProgress, HasTheButtonPrzerwijAlwaysDisabled)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    const quint16 port = server.serverPort();
    server.close();
    ProgressWatchingUi ui;
    CMemorySettingsStore settings;
    CBrivantelDoc doc(ui, settings);
    CMailCheckerData& mail = doc.GetMailCheckerData();
    mail.enabled = 1;
    mail.server = "127.0.0.1:" + std::to_string(port);
    mail.user = "jan";
    mail.password = "tajne";
    doc.CheckMail();
    EXPECT_EQ(ui.buttonsAtMessage, QStringList{QStringLiteral("Przerwij:off")});
    EXPECT_EQ(ui.real.GetProgress(), nullptr);
}

// --- the notification-area menu and close requests while a dialog is up --------------------------

TEST(TrayMenuDuringAModalDialog, CommandsWaitAndACloseRequestRunsAfterTheDialog)
{
    RecordingUserInterface ui;
    CMemorySettingsStore settings;
    CBrivantelDoc doc(ui, settings);
    CBrivantelFrame frame(doc, settings);
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    QMenu& tray = frame.GetTrayMenu();
    frame.UpdateCommandUi();
    for (QAction* a : tray.actions())
        EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();

    std::vector<bool> enabledDuring;
    int kindAfterSettings = 0;
    std::size_t questionsDuring = 99;
    OnNextModal([&](QWidget* modal) {
        emit tray.aboutToShow();
        for (QAction* a : tray.actions())
            enabledDuring.push_back(a->isEnabled());
        // Chosen anyway (the menu was open before the dialog came): nothing happens.
        tray.actions()[1]->setEnabled(true);
        tray.actions()[1]->trigger();
        kindAfterSettings = frame.GetCurrentKind();
        tray.actions()[4]->setEnabled(true);
        tray.actions()[4]->trigger();
        QApplication::processEvents();
        frame.close();
        questionsDuring = ui.questions.size();
        static_cast<QDialog*>(modal)->reject();
    });
    QMessageBox box(QMessageBox::Question, QStringLiteral("Brivantel"), QStringLiteral("?"),
                    QMessageBox::Yes | QMessageBox::No, &frame);
    box.exec();
    EXPECT_EQ(enabledDuring, std::vector<bool>(5, false));
    EXPECT_EQ(kindAfterSettings, 1000);
    EXPECT_EQ(questionsDuring, 0u);
    EXPECT_TRUE(frame.isVisible());
    // The close request comes back once the dialog is gone: the quit question, answered "Nie".
    EXPECT_TRUE(frame.IsClosePending());
    for (int i = 0; i < 100 && ui.questions.empty(); ++i)
        QTest::qWait(50);
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(ui.questions[0], views_test::Polish("Czy na pewno chcesz zakończyć pracę z programem?"));
    EXPECT_TRUE(frame.isVisible());
    EXPECT_FALSE(frame.IsClosePending());
    frame.UpdateCommandUi();
    for (QAction* a : tray.actions())
        EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();
}

// --- caption strip ----------------------------------------------------------------------------

TEST(FolderCaptionBarFont, SystemGuiFontAtAFontHeightOf29BrokenAtWordsAndCut)
{
    const QFont font = CFolderCaptionBar::CaptionFont();
    EXPECT_EQ(font.family(), QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
    // A font height is the line's: the largest font whose line is no taller than 29.
    EXPECT_LE(QFontMetrics(font).height(), CFolderCaptionBar::kFontHeight);
    QFont larger = font;
    larger.setPixelSize(font.pixelSize() + 1);
    EXPECT_GT(QFontMetrics(larger).height(), CFolderCaptionBar::kFontHeight);
    CFolderCaptionBar bar;
    EXPECT_EQ(bar.GetFont(), font);

    const QFontMetrics fm(font);
    const int line = fm.height();
    const QString text = QStringLiteral("Sprawdzanie poczty e-mail");
    const int width = fm.horizontalAdvance(QStringLiteral("Sprawdzanie poczty")) + 4;
    EXPECT_EQ(CFolderCaptionBar::LayOutText(text, font, width, 2 * line),
              (QStringList{QStringLiteral("Sprawdzanie poczty"), QStringLiteral("e-mail")}));
    const QStringList one = CFolderCaptionBar::LayOutText(text, font, width, line);
    ASSERT_EQ(one.size(), 1);
    EXPECT_TRUE(one[0].startsWith(QStringLiteral("Sprawdzanie")));
    EXPECT_TRUE(one[0].endsWith(QChar(0x2026)));
    EXPECT_LE(fm.horizontalAdvance(one[0]), width);
    // The whole text where it fits.
    EXPECT_EQ(CFolderCaptionBar::LayOutText(text, font, 1000, line), QStringList{text});
}

// --- keyboard ---------------------------------------------------------------------------------

// Records the sheet's current page at the moment the edit loses the focus.
class FocusOutWatch final : public QObject
{
public:
    explicit FocusOutWatch(QTabWidget& sheet) : m_sheet(sheet) {}
    int pageAtFocusOut = -1;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::FocusOut && pageAtFocusOut < 0)
            pageAtFocusOut = m_sheet.currentIndex();
        return false;
    }

private:
    QTabWidget& m_sheet;
};

TEST(PropertySheetKeyboard, CtrlTabTakesTheFocusBeforeThePageChanges)
{
    QWidget holder;
    holder.resize(400, 300);
    CResizePropSheet sheet(&holder);
    auto* first = new QWidget;
    auto* edit = new QLineEdit(first);
    (new QVBoxLayout(first))->addWidget(edit);
    sheet.addTab(first, QStringLiteral("Podstawowa"));
    sheet.addTab(new QLineEdit, QStringLiteral("Druga"));
    holder.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&holder));
    holder.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&holder));
    edit->setFocus();
    ASSERT_TRUE(edit->hasFocus());
    FocusOutWatch watch(sheet);
    edit->installEventFilter(&watch);
    QTest::keyClick(edit, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(sheet.currentIndex(), 1);
    EXPECT_EQ(watch.pageAtFocusOut, 0);
}

TEST(AltEnterOnTheKeypad, OpensThePropertiesOfTheSelectedEntry)
{
    RecordingUserInterface ui;
    CMemorySettingsStore settings;
    CBrivantelDoc doc(ui, settings);
    views_test::AddEntry(doc.GetAddressBook(), "Jan", "Lis", "Jan Lis", "602", "1234567");
    CBrivantelFrame frame(doc, settings);
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    frame.SwitchView(CommandId::ViewAddressBook);
    auto* view = dynamic_cast<CAddressBookView*>(frame.GetActiveView());
    ASSERT_NE(view, nullptr);
    CReportListCtrl& list = view->GetPage().GetList();
    list.SelectRow(0);
    list.GetTable().setFocus();
    frame.UpdateCommandUi();
    for (const auto modifiers :
         {Qt::AltModifier | Qt::KeypadModifier, Qt::KeyboardModifiers(Qt::AltModifier)}) {
        for (const Qt::Key key : {Qt::Key_Enter, Qt::Key_Return}) {
            if (key == Qt::Key_Return && (modifiers & Qt::KeypadModifier))
                continue;
            const auto title = std::make_shared<QString>();
            const auto stop = std::make_shared<bool>(false);
            auto poll = std::make_shared<std::function<void()>>();
            *poll = [title, stop, poll, tries = 0]() mutable {
                if (*stop)
                    return;
                if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                    *title = modal->windowTitle();
                    modal->reject();
                    return;
                }
                if (++tries < 100)
                    QTimer::singleShot(50, *poll);
            };
            QTimer::singleShot(0, *poll);
            // The last dialog took the activation away; the keys go to the frame's window again.
            frame.activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
            list.GetTable().setFocus();
            QTest::keyClick(&list.GetTable(), key, modifiers);
            *stop = true;
            EXPECT_EQ(*title, QStringLiteral("Właściwości")) << int(key) << " " << modifiers.toInt();
        }
    }
}

// --- opening links ----------------------------------------------------------------------------

TEST(LinkOpeningFailures, EachSaysItsOwnReason)
{
    QTemporaryDir dir;
    std::vector<QString> opened;
    web_address::SetOpenerForTesting([&opened](const QUrl& url) {
        opened.push_back(url.toString());
        return url.host() != QStringLiteral("refused.example");
    });
    const QString missingFile = QUrl::fromLocalFile(dir.filePath(QStringLiteral("brak.htm"))).toString();
    const QString missingFolder =
        QUrl::fromLocalFile(dir.filePath(QStringLiteral("brak/strona.htm"))).toString();
    const struct
    {
        QString address;
        int value;
    } cases[] = {
        {QString(), 2},
        {QStringLiteral("   "), 2},
        {missingFile, 2},
        {missingFolder, 3},
        {QStringLiteral("http://refused.example/"), 31},
        {QStringLiteral("http://www.brivantel.example/"), 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(web_address::Open(c.address), c.value) << c.address.toStdString();
    EXPECT_EQ(opened.size(), 2u); // only the two that could be handed on
    web_address::SetOpenerForTesting({});
}

// --- every window at scale 2 --------------------------------------------------------------------

// The screenshot tests once more on a screen at twice the scale (QT_SCALE_FACTOR=2); their
// pictures get "-x2" in their names.
TEST(ScreenshotsAtScaleTwo, EveryWindowIsSavedAgain)
{
    if (!qEnvironmentVariableIsEmpty("QT_SCALE_FACTOR"))
        GTEST_SKIP() << "already scaled";
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    const QString filter = QStringLiteral(
        "ScreenshotTest.*:SettingsScreenshotTest.*:DialogScreenshots.*:ComposeTest."
        "ScreenshotsOfTheComposingView:"
        "AddressBookViewTest.ShotsInEveryMode:FolderViewsTest.RowsInFolderOrderWithTheDateColumnAndAShot:"
        "FolderViewsTest.ShotsOfTheOtherFolders:AddressEditorTest.*:CheckRecipientsTest.*:FindAddressTest.*:"
        "SelectRecipientsTest.*:MailCheckProgress.*:"
        "BoxTextTest.*:IconScaleTest.*:StopTest.*:OwnGatewayPageTest.*:WindowTest.ColumnsFit*:"
        "WindowTest.SendingMethods*:WindowShots.*");
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=") + filter});
    ASSERT_TRUE(child.waitForFinished(300000));
    const QString output = QString::fromLocal8Bit(child.readAll());
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(QFile::exists(QStringLiteral(BRIVANTEL_SCREENSHOT_DIR "/main-outbox-x2.png")));
}

} // namespace
