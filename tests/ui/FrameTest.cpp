#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QDockWidget>
#include <QLabel>
#include <QMenuBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>

#include "UiTestSupport.h"
#include "app/Document.h"
#include "app/SettingsStore.h"
#include "store/Message.h"
#include "store/Windows1250.h"
#include "support/RecordingUserInterface.h"
#include "ui/BrivantelFrame.h"
#include "ui/BrivantelView.h"
#include "ui/Commands.h"
#include "ui/FolderListBar.h"
#include "ui/LayoutDialog.h"
#include "ui/controls/FolderCaptionBar.h"
#include "ui/controls/FolderListCtrl.h"

namespace {

std::string Polish(const char* utf8)
{
    return windows1250::FromUtf8Lossy(utf8);
}

const char* kQuit = "Czy na pewno chcesz zakończyć pracę z programem?";
const char* kOutbox = "W folderze \"Wysyłane wiadomości\" znajdują się niewysłane wiadomości.\nCzy chesz je "
                      "wysłać teraz?";

class FrameTest : public ::testing::Test
{
protected:
    CBrivantelFrame& Frame()
    {
        if (!m_frame)
            m_frame = std::make_unique<CBrivantelFrame>(m_doc, m_settings);
        return *m_frame;
    }
    void ShowFrame()
    {
        Frame().show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Frame()));
    }

    RecordingUserInterface m_ui;
    CMemorySettingsStore m_settings;
    CBrivantelDoc m_doc{m_ui, m_settings};
    std::unique_ptr<CBrivantelFrame> m_frame;
};

TEST_F(FrameTest, StartsWithTheComposingViewAndItsTitle)
{
    CBrivantelFrame& frame = Frame();
    EXPECT_EQ(frame.GetCurrentKind(), 1000);
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("Wyślij wiadomość - Brivantel "));
    EXPECT_EQ(frame.minimumSize(), QSize(300, 200));
    EXPECT_TRUE(frame.GetMailTimer().isActive());
    EXPECT_EQ(frame.GetMailTimer().interval(), 1000);
    EXPECT_EQ(frame.GetBannerTimer().interval(), 10000);
    EXPECT_FALSE(frame.GetBannerBar().isVisibleTo(&frame));
    EXPECT_EQ(frame.GetMailIndicator().text(), QStringLiteral(" "));
    EXPECT_EQ(frame.GetFolderButtons().iconSize(), QSize(32, 32));
    EXPECT_EQ(frame.GetFolderButtons().allowedAreas(), Qt::AllToolBarAreas);
}

TEST_F(FrameTest, SwitchingMakesTheViewAfreshAndSetsTitleBarsAndMenu)
{
    ShowFrame();
    CBrivantelFrame& frame = Frame();
    EXPECT_TRUE(frame.GetViewToolBar(135)->isVisible());
    frame.SwitchView(CommandId::ViewAddressBook);
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("Książka adresowa - Brivantel "));
    EXPECT_EQ(frame.GetFolderBar().GetText(), QStringLiteral("Książka adresowa"));
    EXPECT_EQ(frame.GetFolderBar().GetIconIndex(), 5);
    EXPECT_EQ(frame.menuBar()->actions()[2]->text(), QStringLiteral("&Książka adresowa"));
    for (int id : ToolbarIds())
        EXPECT_EQ(frame.GetViewToolBar(id)->isVisible(), id == 146) << id;

    QPointer<CBrivantelView> first = frame.GetActiveView();
    frame.SwitchView(CommandId::ViewAddressBook);
    EXPECT_TRUE(first.isNull()); // the old view is gone
    ASSERT_NE(frame.GetActiveView(), nullptr);
    EXPECT_EQ(frame.GetActiveView()->GetKind(), 1005);
    EXPECT_TRUE(frame.GetActiveView()->isVisible());

    frame.SwitchView(CommandId::ViewSettings);
    for (int id : ToolbarIds())
        EXPECT_FALSE(frame.GetViewToolBar(id)->isVisible()) << id;
    // Commands a view does not handle are greyed.
    EXPECT_FALSE(frame.Action(CommandId::Send)->isEnabled());
}

TEST_F(FrameTest, AClickInTheFolderListSwitchesTheView)
{
    ShowFrame();
    CBrivantelFrame& frame = Frame();
    CFolderListCtrl& list = frame.GetFolderListBar().GetList();
    QTest::mouseClick(&list, Qt::LeftButton, {}, list.ItemIconRect(3).center());
    EXPECT_EQ(frame.GetCurrentKind(), 1003);
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("Wiadomości usunięte - Brivantel "));
    // Opening another group alone does not switch.
    list.SetSlideDelay(0);
    QTest::mouseClick(&list, Qt::LeftButton, {}, list.FolderRect(3).center());
    EXPECT_EQ(frame.GetCurrentKind(), 1003);
}

TEST_F(FrameTest, QuitQuestionAloneWhenTheOutboxIsEmptyAndNoKeepsEverythingRunning)
{
    ShowFrame();
    CBrivantelFrame& frame = Frame();
    QSignalSpy accepted(&frame, &CBrivantelFrame::closeAccepted);
    m_ui.answers = {false};
    EXPECT_FALSE(frame.close());
    EXPECT_EQ(m_ui.questions, std::vector<std::string>{Polish(kQuit)});
    EXPECT_TRUE(frame.isVisible());
    EXPECT_TRUE(frame.GetMailTimer().isActive());
    EXPECT_EQ(accepted.count(), 0);
    // The placement was written all the same.
    EXPECT_TRUE(CWindowPlacement::Parse(m_settings.GetString("Settings", "WindowPos")));

    m_ui.answers = {true};
    EXPECT_TRUE(frame.close());
    EXPECT_EQ(accepted.count(), 1);
}

TEST_F(FrameTest, OutboxQuestionComesFirstWhenMessagesWait)
{
    auto message = std::make_unique<CMessage>();
    m_doc.GetOutbox().AddMessage(message);
    ShowFrame();
    m_ui.answers = {false, false};
    EXPECT_FALSE(Frame().close());
    EXPECT_EQ(m_ui.questions, (std::vector<std::string>{Polish(kOutbox), Polish(kQuit)}));
    EXPECT_EQ(m_doc.GetOutbox().GetCount(), 1u);
}

TEST_F(FrameTest, PlacementIsRestoredAndMaximisedIsMarked)
{
    m_settings.SetString("Settings", "WindowPos", "0:1:-1:-1:-1:-1:100:80:700:480");
    CBrivantelFrame& frame = Frame();
    EXPECT_EQ(frame.geometry(), QRect(100, 80, 600, 400));
    frame.showMaximized();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    if (frame.isMaximized()) {
        const auto p = frame.CurrentPlacement();
        EXPECT_EQ(p.flags & CWindowPlacement::kRestoreToMaximized, CWindowPlacement::kRestoreToMaximized);
        EXPECT_EQ(p.right - p.left, 600);
    }
}

TEST_F(FrameTest, AMalformedPlacementIsIgnored)
{
    m_settings.SetString("Settings", "WindowPos", "1:2:3");
    const QRect before = CBrivantelFrame(m_doc, m_settings).geometry();
    EXPECT_EQ(Frame().geometry(), before);
}

TEST_F(FrameTest, LayoutClicksAreStoredButCancelKeepsTheWindow)
{
    ShowFrame();
    CBrivantelFrame& frame = Frame();
    OnNextModal([](QWidget* modal) {
        auto* dialog = qobject_cast<CBrivantelLayoutDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->GetPage().ToolBarBox()->click();
        dialog->GetPage().FolderListBox()->click();
        dialog->reject();
    });
    TriggerEnabled(frame.Action(CommandId::Layout));
    EXPECT_EQ(m_settings.GetInt("View", "ToolBar", -1), 0);
    EXPECT_EQ(m_settings.GetInt("View", "FolderList", -1), 0);
    EXPECT_TRUE(frame.GetViewToolBar(135)->isVisible());
    EXPECT_TRUE(frame.GetFolderListBar().isVisible());

    OnNextModal([](QWidget* modal) {
        auto* dialog = qobject_cast<CBrivantelLayoutDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->GetPage().FolderBarBox()->click();
        dialog->accept();
    });
    TriggerEnabled(frame.Action(CommandId::Layout));
    EXPECT_FALSE(frame.GetViewToolBar(135)->isVisible());
    EXPECT_FALSE(frame.GetFolderListBar().isVisible());
    EXPECT_FALSE(frame.GetFolderBar().isVisible());
    EXPECT_EQ(m_settings.GetInt("View", "FolderBar", -1), 0);

    // The next window starts the same way.
    CBrivantelFrame next(m_doc, m_settings);
    next.show();
    EXPECT_FALSE(next.GetFolderListBar().isVisible());
    EXPECT_FALSE(next.GetViewToolBar(135)->isVisible());
}

TEST_F(FrameTest, FolderButtonsAndStatusBarToggleAndAreStored)
{
    ShowFrame();
    CBrivantelFrame& frame = Frame();
    TriggerEnabled(frame.Action(CommandId::StatusBar));
    EXPECT_FALSE(frame.statusBar()->isVisible());
    EXPECT_EQ(m_settings.GetInt("View", "StatusBar", -1), 0);
    QAction* buttons = frame.Action(CommandId::FolderButtons);
    TriggerEnabled(buttons);
    EXPECT_FALSE(frame.GetFolderButtons().isVisible());
    EXPECT_EQ(m_settings.GetInt("View", "FolderTool", -1), 0);
    EXPECT_FALSE(buttons->isChecked());
    TriggerEnabled(buttons);
    EXPECT_TRUE(buttons->isChecked());
}

TEST_F(FrameTest, TrayMenuWaitsUntilTheWindowIsReady)
{
    CBrivantelFrame& frame = Frame();
    frame.UpdateCommandUi();
    const auto actions = frame.GetTrayMenu().actions();
    ASSERT_EQ(actions.size(), 5);
    QStringList texts;
    for (QAction* a : actions)
        texts << a->text();
    EXPECT_EQ(texts, (QStringList{QStringLiteral("Otwórz"), QStringLiteral("Ustawienia"),
                                  QStringLiteral("Wyślij wiadomość"),
                                  QStringLiteral("Strona internetowa programu"), QStringLiteral("Zamknij")}));
    EXPECT_EQ(frame.GetTrayMenu().defaultAction(), actions[2]);
    EXPECT_FALSE(actions[0]->isEnabled());
    EXPECT_TRUE(actions[3]->isEnabled());
    ShowFrame();
    EXPECT_TRUE(actions[0]->isEnabled());
    actions[1]->trigger();
    EXPECT_EQ(frame.GetCurrentKind(), 1007);
}

TEST_F(FrameTest, WithoutANotificationAreaMinimisingDoesNotHide)
{
    ShowFrame();
    CBrivantelFrame& frame = Frame();
    ASSERT_EQ(frame.GetTrayIcon(), nullptr); // offscreen: no notification area
    frame.showMinimized();
    QApplication::processEvents();
    EXPECT_FALSE(frame.IsHiddenToTray());
    EXPECT_FALSE(frame.isHidden());
    frame.Restore();
    EXPECT_FALSE(frame.isMinimized());
    EXPECT_TRUE(frame.isVisible());
}

TEST(ModalHelper, ADialogThatNeverOpensFailsTheTestInTime)
{
    EXPECT_NONFATAL_FAILURE(
        {
            OnNextModal([](QWidget*) {}, std::chrono::milliseconds(50));
            QTest::qWait(300);
        },
        "no modal window opened in time");
}

TEST_F(FrameTest, TimersCallTheirSteps)
{
    CBrivantelFrame& frame = Frame();
    int mail = 0;
    int banner = 0;
    frame.SetMailStep([&mail] { ++mail; });
    frame.SetBannerTick([&banner] { ++banner; });
    ASSERT_TRUE(QMetaObject::invokeMethod(&frame.GetMailTimer(), "timeout", Qt::DirectConnection));
    ASSERT_TRUE(QMetaObject::invokeMethod(&frame.GetBannerTimer(), "timeout", Qt::DirectConnection));
    EXPECT_EQ(mail, 1);
    EXPECT_EQ(banner, 1);
}

} // namespace
