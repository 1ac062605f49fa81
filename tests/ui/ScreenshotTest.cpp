// Pictures of every window of this part of the program, saved for a person to look at.

#include <gtest/gtest.h>

#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include "UiTestSupport.h"
#include "app/Document.h"
#include "app/SettingsStore.h"
#include "app/qt/WebAddress.h"
#include "support/RecordingUserInterface.h"
#include "ui/AboutDialog.h"
#include "ui/BrivantelFrame.h"
#include "ui/Commands.h"
#include "ui/FolderListBar.h"
#include "ui/LayoutDialog.h"
#include "ui/ProgressDlg.h"
#include "ui/controls/FolderListCtrl.h"

namespace {

TEST(ScreenshotTest, MainWindowWithEachGroupOpen)
{
    RecordingUserInterface ui;
    CMemorySettingsStore settings;
    CBrivantelDoc doc(ui, settings);
    CBrivantelFrame frame(doc, settings);
    frame.resize(780, 560);
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    CFolderListCtrl& list = frame.GetFolderListBar().GetList();
    list.SetSlideDelay(0);
    const CommandId views[] = {CommandId::ViewSend, CommandId::ViewAddressBook, CommandId::ViewMailChecker,
                               CommandId::ViewSettings};
    for (int folder = 0; folder < 4; ++folder) {
        list.SetCurrentFolder(folder);
        frame.SwitchView(views[folder]);
        QApplication::processEvents();
        EXPECT_TRUE(SaveScreenshot(frame, QStringLiteral("main-group-%1").arg(folder)));
    }
    // The menus with the actions they share with the bars.
    frame.SwitchView(CommandId::ViewAddressBook);
    for (int i : {1, 2}) {
        QMenu* menu = frame.menuBar()->actions()[i]->menu();
        menu->popup(frame.mapToGlobal(QPoint(20, 20)));
        QApplication::processEvents();
        EXPECT_TRUE(SaveScreenshot(*menu, QStringLiteral("main-menu-%1").arg(i)));
        menu->hide();
    }
    frame.SwitchView(CommandId::ViewOutbox);
    list.SetCurrentFolder(0);
    EXPECT_TRUE(SaveScreenshot(frame, QStringLiteral("main-outbox")));
    frame.resize(520, 300);
    QApplication::processEvents();
    EXPECT_TRUE(SaveScreenshot(frame, QStringLiteral("main-small")));
    EXPECT_TRUE(SaveScreenshot(frame.GetTrayMenu(), QStringLiteral("tray-menu")));
}

TEST(ScreenshotTest, Dialogs)
{
    CMemorySettingsStore settings;
    CAboutDialog about(web_address::HomePage(settings));
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    EXPECT_TRUE(SaveScreenshot(about, QStringLiteral("about")));

    CBrivantelLayoutDialog layout(settings);
    layout.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&layout));
    EXPECT_TRUE(SaveScreenshot(layout, QStringLiteral("layout")));

    CProgressDlg progress;
    progress.setWindowTitle(QStringLiteral("Wysyłanie"));
    progress.SetText(QStringLiteral("Wysyłanie wiadomości do Jan Kowalski..."));
    progress.SetRange(3);
    progress.SetPos(1);
    progress.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&progress));
    EXPECT_TRUE(SaveScreenshot(progress, QStringLiteral("progress")));
}

} // namespace
