// The data file keeps up with the window: a killed program loses nothing that was filed, a
// terminated one ends in order, the end never waits on a question, and open folder views follow
// their folders.

#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <thread>

#include "ChildProgram.h"
#include "ComposeTestSupport.h"
#include "UiTestSupport.h"
#include "app/DataFileLock.h"
#include "app/Document.h"
#include "app/SettingsStore.h"
#include "app/qt/BrivantelApp.h"
#include "gateway-sim/GatewaySimulator.h"
#include "send/SendTestSupport.h"
#include "store/Windows1250.h"
#include "support/RecordingUserInterface.h"
#include "support/SmallFilesystem.h"
#include "support/TempDir.h"
#include "ui/AddressBookView.h"
#include "ui/AddressPage.h"
#include "ui/BrivantelFrame.h"
#include "ui/Commands.h"
#include "ui/OutboxView.h"
#include "ui/SendMessageView.h"
#include "ui/SentMessagesView.h"
#include "ui/SettingsConnectionPage.h"
#include "ui/SettingsSheet.h"
#include "ui/SettingsView.h"
#include "ui/Win1250Edit.h"
#include "ui/controls/AddressListCtrl.h"
#include "ui/controls/ReportListCtrl.h"

namespace {

std::string Polish(const char* utf8)
{
    return windows1250::FromUtf8Lossy(utf8);
}

// The program as main() puts it together, with what these tests do to its window.
struct RunningProgram : ProgramUnderTest<CMemorySettingsStore>
{
    CSendMessageView* Compose() { return dynamic_cast<CSendMessageView*>(frame->GetActiveView()); }

    // The connection settings page, with a proxy host and an empty "Port:".
    void LeaveTheProxyPortEmpty()
    {
        frame->SwitchView(CommandId::ViewSettings);
        auto* sheet = frame->findChild<CSettingsSheet*>();
        ASSERT_NE(sheet, nullptr);
        ASSERT_TRUE(sheet->SetActivePage(CSettingsSheet::kConnection));
        auto edits = sheet->GetConnectionPage().findChildren<QLineEdit*>();
        ASSERT_EQ(edits.size(), 2);
        edits[0]->setText(QStringLiteral("proxy.example"));
        edits[1]->clear();
    }
};

// A message put aside with "Wyślij później" and a draft saved with "Zapisz" are on disk two seconds
// later, without any orderly end: the program is killed.
TEST(ProgramKilled, KeepsTheQueuedMessageAndTheDraftSavedThroughTheWindow)
{
    if (IsChild("killed")) {
        RunningProgram program;
        ASSERT_TRUE(program.Start(qEnvironmentVariable(kDirVariable), false));
        CSendMessageView* view = program.Compose();
        ASSERT_NE(view, nullptr);
        TypeText(&view->GetRecipientsEdit(), QStringLiteral("Ewa"));
        TypeText(&view->GetTextEdit(), QStringLiteral("Na później"));
        TriggerEnabled(program.frame->Action(CommandId::SendLater));
        TypeText(&view->GetRecipientsEdit(), QStringLiteral("Jan"));
        TypeText(&view->GetTextEdit(), QStringLiteral("Szkic"));
        TriggerEnabled(program.frame->Action(CommandId::SaveDraft));
        ReportReadyAndRunOn();
    }
    QTemporaryDir data;
    {
        ChildProgram child("killed", QStringLiteral("ProgramKilled.*"), data.path());
        ASSERT_TRUE(child.WaitReady()) << child.Output();
        std::this_thread::sleep_for(std::chrono::seconds(2));
        ::kill(static_cast<pid_t>(child.Process().processId()), SIGKILL);
        ASSERT_TRUE(child.Process().waitForFinished(10000));
    }
    SavedFile saved(data.path());
    ASSERT_EQ(saved.doc.GetOutbox().GetCount(), 1u);
    EXPECT_EQ(saved.doc.GetOutbox().GetMessages()[0]->GetRecipients(), "Ewa");
    EXPECT_EQ(saved.doc.GetOutbox().GetMessages()[0]->GetText(), Polish("Na później"));
    ASSERT_EQ(saved.doc.GetDrafts().GetCount(), 1u);
    EXPECT_EQ(saved.doc.GetDrafts().GetMessages()[0]->GetRecipients(), "Jan");
    EXPECT_EQ(saved.doc.GetDrafts().GetMessages()[0]->GetText(), "Szkic");
}

// SIGTERM (a logout) while the settings page shows a port that is no number: no question, the
// text being written and the valid settings are saved, the lock is free, and the status says why.
TEST(ProgramTerminated, SavesWithoutQuestionsAndReleasesTheLock)
{
    if (IsChild("terminated")) {
        RunningProgram program;
        ASSERT_TRUE(program.Start(qEnvironmentVariable(kDirVariable), true));
        CSendMessageView* view = program.Compose();
        ASSERT_NE(view, nullptr);
        TypeText(&view->GetTextEdit(), QStringLiteral("Pisane w chwili wylogowania"));
        ASSERT_NO_FATAL_FAILURE(program.LeaveTheProxyPortEmpty());
        ASSERT_NE(dynamic_cast<CSettingsView*>(program.frame->GetActiveView()), nullptr);
        ReportReadyAndRunOn();
    }
    QTemporaryDir data;
    {
        ChildProgram child("terminated", QStringLiteral("ProgramTerminated.*"), data.path());
        ASSERT_TRUE(child.EndsOnTerminate());
    }
    SavedFile saved(data.path());
    EXPECT_EQ(saved.doc.GetSendMessageViewData().text, Polish("Pisane w chwili wylogowania"));
    EXPECT_EQ(saved.doc.GetSettings().GetProxyHost(), "proxy.example");
    EXPECT_EQ(saved.doc.GetSettings().GetProxyPort(), CSettingsData().GetProxyPort());
    CDataFileLock lock;
    EXPECT_EQ(lock.Acquire(QDir(data.path()).filePath(QStringLiteral("Brivantel.vs")).toStdString()),
              CDataFileLock::Result::Acquired);
}

// Zakończ with an empty "Port:": the quit question is the last thing asked; the data file is
// written before the window goes, and no "Please enter an integer." appears.
TEST(CloseSequence, AnInvalidProxyPortDoesNotHoldTheSaveHostage)
{
    QTemporaryDir data;
    RunningProgram program;
    ASSERT_TRUE(program.Start(data.path(), false));
    ASSERT_NO_FATAL_FAILURE(program.LeaveTheProxyPortEmpty());
    program.ui.answers = {true};
    TriggerEnabled(program.frame->Action(CommandId::Exit));
    EXPECT_FALSE(program.frame->isVisible());
    program.app->Shutdown();
    EXPECT_EQ(program.ui.questions,
              std::vector<std::string>{Polish("Czy na pewno chcesz zakończyć pracę z programem?")});
    EXPECT_TRUE(program.ui.messages.empty()) << program.ui.messages.front().text;
    SavedFile saved(data.path());
    EXPECT_EQ(saved.doc.GetSettings().GetProxyHost(), "proxy.example");
}

class FollowingViews : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.Start());
        for (const char* name : {"Era", "Idea", "Plus"})
            settings.SetString("Hosts", name, sim.HostValue());
        for (const char* text : {"Pierwsza", "Druga"}) {
            auto message = std::make_unique<CMessage>("+48602555666", text);
            ASSERT_TRUE(doc.GetOutbox().AddMessage(message));
        }
    }

    // The rows the list itself shows: its header follows the model's announcements only.
    static int ShownRows(CReportListCtrl& list) { return list.GetTable().verticalHeader()->count(); }

    // The window shown on the folder view given; list is that view's list.
    void Show(CommandId folder)
    {
        frame.emplace(doc, settings);
        frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&*frame));
        frame->SwitchView(folder);
        auto* view = dynamic_cast<CFolderView*>(frame->GetActiveView());
        ASSERT_NE(view, nullptr);
        list = &view->GetList();
    }

    CGatewaySimulator sim;
    RecordingUserInterface ui;
    CMemorySettingsStore settings;
    CBrivantelDoc doc{ui, settings};
    std::optional<CBrivantelFrame> frame;
    CReportListCtrl* list = nullptr;
};

// "Tak" to the outbox question, then "Nie" to the quit question: the outbox view stays, and
// lists none of the messages that went out.
TEST_F(FollowingViews, OutboxViewAfterTheClosingTimeSendListsWhatIsLeft)
{
    ASSERT_NO_FATAL_FAILURE(Show(CommandId::ViewOutbox));
    ASSERT_EQ(ShownRows(*list), 2);
    list->SelectRow(1);
    ui.answers = {true, false};
    frame->close();
    ASSERT_EQ(ui.questions.size(), 2u);
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(sim.MessageCount(), 2u);
    EXPECT_EQ(doc.GetOutbox().GetCount(), 0u);
    EXPECT_EQ(ShownRows(*list), 0);
    EXPECT_EQ(list->GetSelectedCount(), 0);
    EXPECT_EQ(doc.GetSent().GetCount(), 2u);
}

// A message filed while the sent folder is open appears in it; the selected row stays selected.
TEST_F(FollowingViews, SentViewShowsAMessageFiledWhileItIsOpen)
{
    auto first = std::make_unique<CMessage>("Ewa", "Wcześniej");
    ASSERT_TRUE(doc.GetSent().AddMessage(first));
    ASSERT_NO_FATAL_FAILURE(Show(CommandId::ViewSent));
    ASSERT_EQ(ShownRows(*list), 1);
    list->SelectRow(0);
    ASSERT_TRUE(doc.SendToRecipients("Jan", "+48602555666", "Teraz", ROUTE_CONFIGURED));
    EXPECT_EQ(ShownRows(*list), 2);
    EXPECT_EQ(list->GetSelectedRows(), std::vector<int>{0});
    // The outbox held two messages before and holds them still: the send put its own there only
    // until it was confirmed.
    EXPECT_EQ(doc.GetOutbox().GetCount(), 2u);
}

} // namespace

// --- the orderly end under any window ----------------------------------------------------------

namespace {

// The windows the program can have open when a signal or the session's end comes.
enum class OpenWindow
{
    RecipientChooser,
    ReadyMadeTexts,
    UnknownNames,
    NewEntry,
    FindEntry,
    MailPage,
    FindPhone
};

const char* NameOf(OpenWindow window)
{
    switch (window) {
    case OpenWindow::RecipientChooser:
        return "RecipientChooser";
    case OpenWindow::ReadyMadeTexts:
        return "ReadyMadeTexts";
    case OpenWindow::UnknownNames:
        return "UnknownNames";
    case OpenWindow::NewEntry:
        return "NewEntry";
    case OpenWindow::FindEntry:
        return "FindEntry";
    case OpenWindow::MailPage:
        return "MailPage";
    case OpenWindow::FindPhone:
        return "FindPhone";
    }
    return "";
}

// Opens the window from the event loop, as a click would, and says ready once it is up.
void OpenAndReportReady(RunningProgram& program, OpenWindow window)
{
    CBrivantelFrame& frame = *program.frame;
    std::function<void()> open;
    switch (window) {
    case OpenWindow::RecipientChooser:
        open = [&program] {
            program.Compose()->findChild<QPushButton*>(QStringLiteral("ToButton"))->click();
        };
        break;
    case OpenWindow::ReadyMadeTexts:
        open = [&frame] { TriggerEnabled(frame.Action(CommandId::InsertMessage)); };
        break;
    case OpenWindow::UnknownNames:
        TypeText(&program.Compose()->GetRecipientsEdit(), QStringLiteral("Nieznany"));
        open = [&frame] { TriggerEnabled(frame.Action(CommandId::CheckRecipients)); };
        break;
    case OpenWindow::NewEntry:
    case OpenWindow::FindEntry:
        // "Znajdź" needs someone to find.
        ASSERT_TRUE(AddPerson(program.app->GetDocument()->GetAddressBook(), "Anna", "502", "111222"));
        frame.SwitchView(CommandId::ViewAddressBook);
        dynamic_cast<CAddressBookView*>(frame.GetActiveView())->GetPage().GetList().SetColumnWidth(0, 233);
        open = [&frame, window] {
            TriggerEnabled(
                frame.Action(window == OpenWindow::NewEntry ? CommandId::NewAddress : CommandId::Find));
        };
        break;
    case OpenWindow::FindPhone:
        frame.SwitchView(CommandId::ViewSettings);
        TriggerEnabled(frame.Action(CommandId::SettingsSending));
        open = [&frame] { frame.findChild<QPushButton*>(QStringLiteral("FindPhoneButton"))->click(); };
        break;
    case OpenWindow::MailPage: {
        frame.SwitchView(CommandId::ViewMailChecker);
        auto* server = frame.findChild<QLineEdit*>(QStringLiteral("Server"));
        auto* interval = frame.findChild<QLineEdit*>(QStringLiteral("Interval"));
        ASSERT_TRUE(server && interval);
        TypeText(server, QStringLiteral("pop.example"));
        interval->setFocus();
        interval->clear();
        std::cout << kReady << std::endl;
        return;
    }
    }
    QTimer::singleShot(0, open);
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [poll] {
        if (QApplication::activeModalWidget())
            std::cout << kReady << std::endl;
        else
            QTimer::singleShot(20, *poll);
    };
    QTimer::singleShot(20, *poll);
}

class ProgramTerminatedUnder : public ::testing::TestWithParam<OpenWindow>
{
};

} // namespace

INSTANTIATE_TEST_SUITE_P(Windows, ProgramTerminatedUnder,
                         ::testing::Values(OpenWindow::RecipientChooser, OpenWindow::ReadyMadeTexts,
                                           OpenWindow::UnknownNames, OpenWindow::NewEntry,
                                           OpenWindow::FindEntry, OpenWindow::MailPage,
                                           OpenWindow::FindPhone),
                         [](const auto& p) { return std::string(NameOf(p.param)); });

// SIGTERM with a dialog open over a view (or the mailbox page with an empty interval): the program
// ends at once, asks nothing, saves what was written and says 143.
TEST_P(ProgramTerminatedUnder, AnyWindowEndsInOrder)
{
    const std::string role = std::string("under-") + NameOf(GetParam());
    if (IsChild(role.c_str())) {
        RunningProgram program;
        ASSERT_TRUE(program.Start(qEnvironmentVariable(kDirVariable), true));
        TypeText(&program.Compose()->GetTextEdit(), QStringLiteral("Pisane pod oknem"));
        OpenAndReportReady(program, GetParam());
        for (;;)
            QTest::qWait(100);
    }
    QTemporaryDir data;
    {
        const QString test = QStringLiteral("Windows/ProgramTerminatedUnder.AnyWindowEndsInOrder/") +
                             QString::fromLatin1(NameOf(GetParam()));
        ChildProgram child(role.c_str(), test, data.path(), true);
        // Seconds, not the 30 of a hang: the end waits for nothing.
        ASSERT_TRUE(child.EndsOnTerminate(200, 5000));
    }
    SavedFile saved(data.path());
    EXPECT_EQ(saved.doc.GetSendMessageViewData().text, "Pisane pod oknem");
    if (GetParam() == OpenWindow::NewEntry || GetParam() == OpenWindow::FindEntry) {
        EXPECT_EQ(saved.doc.GetAddressBookViewData().nameWidth, 233);
    }
    if (GetParam() == OpenWindow::MailPage) {
        EXPECT_EQ(saved.doc.GetMailCheckerData().server, "pop.example");
        EXPECT_EQ(saved.doc.GetMailCheckerData().interval, CMailCheckerData().interval);
    }
}

// The mailbox page: a keystroke neither writes the file nor asks anything (saving as you go does it
// a moment later), and handing the page back with an empty interval keeps the interval in force
// without a word.
TEST(MailPage, KeystrokesAreSavedAsYouGoAndTheEndAsksNothing)
{
    QTemporaryDir data;
    RunningProgram program;
    ASSERT_TRUE(program.Start(data.path(), false));
    program.frame->SwitchView(CommandId::ViewMailChecker);
    auto* server = program.frame->findChild<QLineEdit*>(QStringLiteral("Server"));
    auto* interval = program.frame->findChild<QLineEdit*>(QStringLiteral("Interval"));
    ASSERT_TRUE(server && interval);
    TypeText(server, QStringLiteral("pop"));
    EXPECT_EQ(SavedFile(data.path()).doc.GetMailCheckerData().server, "");
    bool saved = false;
    for (int i = 0; i < 100 && !saved; ++i) {
        QTest::qWait(50);
        saved = SavedFile(data.path()).doc.GetMailCheckerData().server == "pop";
    }
    EXPECT_TRUE(saved);
    interval->setFocus();
    interval->clear();
    program.frame->HandBackState();
    EXPECT_TRUE(program.ui.messages.empty()) << program.ui.messages.front().text;
    EXPECT_TRUE(program.ui.saveDialogs.empty());
    EXPECT_EQ(program.app->GetDocument()->GetMailCheckerData().interval, CMailCheckerData().interval);
}

// SIGTERM when the disk has filled up meanwhile: the end still tries to save, and its status says
// that it could not (1, not 143).
TEST(ProgramTerminated, OnAFullDiskSaysTheSaveFailed)
{
    if (IsChild("full-disk")) {
        RunningProgram program;
        ASSERT_TRUE(program.Start(qEnvironmentVariable(kDirVariable), true));
        TypeText(&program.Compose()->GetTextEdit(), QStringLiteral("Nie zmieści się"));
        ReportReadyAndRunOn();
    }
    SmallFilesystem fs(1024);
    if (!fs.Mounted())
        GTEST_SKIP() << fs.Why();
    ChildProgram child("full-disk", QStringLiteral("ProgramTerminated.OnAFullDisk*"),
                       QString::fromStdString(fs.file("")));
    ASSERT_TRUE(child.WaitReady()) << child.Output();
    fs.Fill();
    ::kill(static_cast<pid_t>(child.Process().processId()), SIGTERM);
    ASSERT_TRUE(child.Process().waitForFinished(20000)) << child.Output();
    EXPECT_EQ(child.Process().exitStatus(), QProcess::NormalExit) << child.Output();
    EXPECT_EQ(child.Process().exitCode(), 1) << child.Output();
}

// A release of a key or a mouse button saves what an unannounced edit changed, and schedules
// nothing when nothing changed (not even the encoding that would find the file up to date).
TEST(SaveAsYouGo, ReleaseSavesOnlyWhenSomethingChanged)
{
    QTemporaryDir data;
    const std::string path = QDir(data.path()).filePath(QStringLiteral("Brivantel.vs")).toStdString();
    RunningProgram program;
    ASSERT_TRUE(program.Start(data.path(), false));
    CBrivantelDoc* doc = program.app->GetDocument();
    ASSERT_NE(doc, nullptr);
    const auto inode = [&] {
        struct stat st
        {
        };
        return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
    };
    const auto release = [&] {
        QTest::keyRelease(program.frame, Qt::Key_Shift);
        QTest::mouseRelease(program.frame, Qt::LeftButton);
    };
    const int settle = CBrivantelApp::kSaveDelayMs + 700;
    auto* timer = program.app->findChild<QTimer*>(QStringLiteral("saveTimer"));
    ASSERT_NE(timer, nullptr);
    release();
    QTest::qWait(settle); // whatever the start changed is written now
    doc->WaitForBackgroundSave();
    const ino_t before = inode();

    release();
    EXPECT_FALSE(timer->isActive());
    QTest::qWait(settle);
    doc->WaitForBackgroundSave();
    EXPECT_EQ(inode(), before); // every save writes a new file: there was none

    doc->GetSentViewData().dateWidth = 321; // as a header dragged wider does it, without a word
    release();
    EXPECT_TRUE(timer->isActive());
    QTest::qWait(settle);
    doc->WaitForBackgroundSave();
    EXPECT_NE(inode(), before);
    EXPECT_EQ(ReadFileBytes(path), doc->Store());
}
