#pragma once

#include <functional>
#include <map>
#include <memory>

#include <QSystemTrayIcon>
#include <QTimer>

#include "app/MailSchedule.h"
#include "app/qt/BrivantelApp.h"
#include "ui/BrivantelView.h"
#include "ui/FrameWndEx.h"

class CBrivantelDoc;
class CFolderCaptionBar;
class CFolderListBar;
class CFrameOnline;
class CInboxWatch;
class QAction;
class QDockWidget;
class QLabel;
class QMenu;
class QToolBar;
class QVBoxLayout;

// The main window: one view at a time between the folder buttons, the per-view toolbars, the
// folder list, the folder bar, the status bar and the banner bar; one action per command, shared
// by the menus, bars and popups; the two timers, the notification-area icon and the order of
// closing.
class CBrivantelFrame final : public CFrameWndEx, public CMainWindowHost, public CViewHost
{
    Q_OBJECT
public:
    static constexpr int kMailTimerMs = 1000;
    static constexpr int kBannerTimerMs = 10000;

    // app may be null (tests); the home page then opens directly.
    CBrivantelFrame(CBrivantelDoc& document, CSettingsStore& settings, CBrivantelApp* app = nullptr);
    ~CBrivantelFrame() override;

    // CMainWindowHost
    QWidget* Window() override { return this; }
    void Restore() override;
    void StartOnlineWork() override;
    void HandBackState() override;

    // Shows the view of a view command afresh, also when it is the one already shown.
    void SwitchView(CommandId command);
    // CViewHost: the one action of a command (menus, bars, popups and its key).
    QAction* Action(CommandId command) const override;

    CBrivantelView* GetActiveView() const { return m_view.get(); }
    int GetCurrentKind() const { return m_kind; }
    bool IsHiddenToTray() const { return m_hiddenToTray; }
    bool IsReady() const { return m_ready; }

    // Timer 1 steps the mailbox-watch schedule, timer 2 the banner rotation; the online update runs
    // once at start. The banner and online parts hook themselves in here.
    void SetMailStep(std::function<void()> step) { m_mailStep = std::move(step); }
    void SetBannerTick(std::function<void()> tick) { m_bannerTick = std::move(tick); }
    void SetOnlineWork(std::function<void()> work) { m_onlineWork = std::move(work); }
    QTimer& GetMailTimer() { return m_mailTimer; }
    QTimer& GetBannerTimer() { return m_bannerTimer; }
    // The banner list, the banner bar and the start-up online sequence.
    CFrameOnline& GetOnline() { return *m_online; }
    const CMailSchedule& GetMailSchedule() const { return m_mailSchedule; }
    // Tests run the mail schedule on a clock of their own (seconds since 1970).
    void SetClockForTesting(std::function<std::int64_t()> clock) { m_clock = std::move(clock); }
    // The status bar says "Checking mail" before a check starts: during the check only repaints
    // are served, so the indicator cannot wait for its regular refresh.
    void ShowMailCheckStarting();

    // The parts of the window, for the program's other windows and for tests.
    CFolderListBar& GetFolderListBar() { return *m_folderList; }
    CFolderCaptionBar& GetFolderBar() { return *m_folderBar; }
    QToolBar& GetFolderButtons() { return *m_folderButtons; }
    QToolBar* GetViewToolBar(int toolbar) const;
    QWidget& GetBannerHolder() { return *m_bannerHolder; }
    QDockWidget& GetBannerBar() { return *m_bannerBar; }
    QLabel& GetMailIndicator() { return *m_mailIndicator; }
    QMenu& GetTrayMenu() { return *m_trayMenu; }
    QSystemTrayIcon* GetTrayIcon() const { return m_tray; }
    // A click on the notification-area icon (a double-click opens the composing view).
    void OnTrayActivated(QSystemTrayIcon::ActivationReason reason);
    // Reading the phone's received messages and the count of unread ones.
    CInboxWatch& GetInbox() { return *m_inbox; }
    // Refreshes the enabled and checked marks of every command and the status-bar indicators:
    // when the view says its commands changed, at a view switch, before a menu opens and around
    // a mail check.
    void UpdateCommandUi();
    // A modal dialog is up, or a send, a mail check, the online update or the close sequence
    // runs: the notification-area menu's commands and close requests wait meanwhile.
    bool IsBusy() const;
    bool IsClosePending() const { return m_closeRetry.isActive(); }

signals:
    // The close sequence has run and the user agreed: the program ends.
    void closeAccepted();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    QMenu* createPopupMenu() override { return nullptr; }

private:
    void OnCommand(CommandId command);
    void OnTrayCommand(CommandId command);
    void CreateActions();
    void CreateStatusBar();
    void CreateFolderButtons();
    void CreateCentralArea();
    void CreateViewToolBars();
    void CreateFolderList();
    void CreateBannerBar();
    void CreateMenus();
    void CreateTray();
    void InstallViewMenu(int kind);
    void ApplyLayoutFlags();
    void OnLayout();
    void ToggleFolderButtons();
    void ToggleStatusBar();
    void OnAbout();
    void OnHomePage();
    void SetTitle();
    bool RunCloseSequence();
    void OnCloseRetry();
    void OnMailTimer();
    void OnBannerTimer();

    CBrivantelDoc& m_document;
    CBrivantelApp* m_app;
    int m_kind = 1000;
    bool m_showFolderList;
    bool m_showFolderBar;
    bool m_showToolBars;
    bool m_showFolderButtons;
    bool m_showStatusBar;
    bool m_hiddenToTray = false;
    bool m_ready = false;
    bool m_closeAccepted = false;
    bool m_inCloseSequence = false;

    std::unique_ptr<CBrivantelView> m_view;
    QWidget* m_viewHolder = nullptr;
    QVBoxLayout* m_viewLayout = nullptr;
    CFolderCaptionBar* m_folderBar = nullptr;
    CFolderListBar* m_folderList = nullptr;
    QToolBar* m_folderButtons = nullptr;
    std::map<int, QToolBar*> m_viewToolBars;
    QDockWidget* m_bannerBar = nullptr;
    QWidget* m_bannerHolder = nullptr;
    QLabel* m_mailIndicator = nullptr;
    QLabel* m_onlineIndicator = nullptr;
    QMenu* m_viewMenu = nullptr;
    QMenu* m_trayMenu = nullptr;
    QSystemTrayIcon* m_tray = nullptr;
    std::map<CommandId, QAction*> m_actions;

    QTimer m_mailTimer;
    QTimer m_bannerTimer;
    QTimer m_closeRetry; // a close request that waits for a dialog or an operation to end
    CMailSchedule m_mailSchedule;
    std::function<void()> m_mailStep; // replaces the mail schedule (tests)
    std::function<void()> m_bannerTick;
    std::function<void()> m_onlineWork;
    std::function<std::int64_t()> m_clock;
    std::unique_ptr<CFrameOnline> m_online;
    CInboxWatch* m_inbox = nullptr;
};
