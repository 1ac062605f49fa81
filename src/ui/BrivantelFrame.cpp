#include "ui/BrivantelFrame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <ctime>

#include "app/Document.h"
#include "app/SettingsKeys.h"
#include "app/UserInterface.h"
#include "app/qt/WebAddress.h"
#include "store/Windows1250.h"
#include "ui/AboutDialog.h"
#include "ui/BrivantelView.h"
#include "ui/Commands.h"
#include "ui/ConversationsView.h"
#include "ui/FolderListBar.h"
#include "ui/FrameAccess.h"
#include "ui/FrameOnline.h"
#include "ui/Icons.h"
#include "ui/InboxWatch.h"
#include "ui/LayoutDialog.h"
#include "ui/ProgressDlg.h"
#include "ui/ReceivedView.h"
#include "ui/SentMessagesView.h"
#include "ui/controls/FolderCaptionBar.h"
#include "ui/controls/FolderListCtrl.h"

namespace {

constexpr int kCloseRetryMs = 250;

} // namespace

CBrivantelFrame::CBrivantelFrame(CBrivantelDoc& document, CSettingsStore& settings, CBrivantelApp* app)
    : CFrameWndEx(settings), m_document(document), m_app(app),
      m_showFolderList(settings.Get(settings_keys::kShowFolderList)),
      m_showFolderBar(settings.Get(settings_keys::kShowFolderBar)),
      m_showToolBars(settings.Get(settings_keys::kShowToolBar)),
      m_showFolderButtons(settings.Get(settings_keys::kShowFolderButtons)),
      m_showStatusBar(settings.Get(settings_keys::kShowStatusBar)),
      m_mailSchedule(static_cast<std::int64_t>(std::time(nullptr)))
{
    setObjectName(QStringLiteral("BrivantelFrame"));
    setWindowIcon(icons::AppIcon());
    setMinimumSize(300, 200);
    resize(760, 540);
    setDockOptions(QMainWindow::AnimatedDocks);

    // The bars, in the order the window is built.
    CreateActions();
    CreateStatusBar();
    CreateFolderButtons();
    CreateCentralArea();
    CreateViewToolBars();
    CreateFolderList();
    CreateBannerBar();
    CreateMenus();

    m_mailTimer.setInterval(kMailTimerMs);
    connect(&m_mailTimer, &QTimer::timeout, this, &CBrivantelFrame::OnMailTimer);
    m_mailTimer.start();
    m_bannerTimer.setInterval(kBannerTimerMs);
    connect(&m_bannerTimer, &QTimer::timeout, this, &CBrivantelFrame::OnBannerTimer);
    m_bannerTimer.start();
    m_closeRetry.setInterval(kCloseRetryMs);
    connect(&m_closeRetry, &QTimer::timeout, this, &CBrivantelFrame::OnCloseRetry);

    m_folderList->setVisible(m_showFolderList);
    m_folderBar->setVisible(m_showFolderBar);
    statusBar()->setVisible(m_showStatusBar);
    m_folderButtons->setVisible(m_showFolderButtons);
    SwitchView(CommandId::ViewSend);
    RestorePlacement();
    m_bannerBar->hide();
    CreateTray();
    m_online = std::make_unique<CFrameOnline>(*this, document, settings);
    m_inbox = new CInboxWatch(*this, document, settings);
    connect(m_inbox, &CInboxWatch::messagesArrived, this, [this] {
        if (auto* received = qobject_cast<CReceivedView*>(m_view.get()))
            received->Reload();
        if (auto* conversations = qobject_cast<CConversationsView*>(m_view.get()))
            conversations->Reload();
    });
    connect(m_inbox, &CInboxWatch::deliveryReportsArrived, this, [this] {
        if (auto* sent = qobject_cast<CSentMessagesView*>(m_view.get()))
            sent->ReloadStates();
    });
    frame_access::Prepare(*this);
}

CBrivantelFrame::~CBrivantelFrame()
{
    m_mailTimer.stop();
    m_bannerTimer.stop();
    // The view goes before the frame's bars, so it can still hand its state to the document.
    m_view.reset();
    m_online.reset();
}

// --- views ------------------------------------------------------------------------------------

void CBrivantelFrame::SwitchView(CommandId command)
{
    const CViewInfo* info = ViewForCommand(command);
    if (!info)
        return;
    std::unique_ptr<CBrivantelView> view = CreateView(m_document, info->kind, m_viewHolder);
    m_kind = info->kind;
    view->SetHost(this);
    connect(view.get(), &CBrivantelView::commandStateChanged, this, &CBrivantelFrame::UpdateCommandUi);
    connect(view.get(), &CBrivantelView::mailCheckStarting, this, &CBrivantelFrame::ShowMailCheckStarting);
    // Later: the switch destroys the asking view.
    connect(view.get(), &CBrivantelView::viewRequested, this,
            [this](CommandId next) { QTimer::singleShot(0, this, [this, next] { SwitchView(next); }); });
    if (auto* received = qobject_cast<CReceivedView*>(view.get())) {
        received->UseDatabase(m_inbox ? m_inbox->Database() : nullptr);
        connect(received, &CReceivedView::unreadChanged, this, [this] { m_inbox->UpdateCount(); });
        connect(received, &CReceivedView::receiveRequested, this, [this] { m_inbox->Poll(true); });
        connect(received, &CReceivedView::statusMessage, this,
                [this](const QString& text) { statusBar()->showMessage(text, 15000); });
    }
    if (auto* sent = qobject_cast<CSentMessagesView*>(view.get()))
        sent->UseDatabase(m_inbox ? m_inbox->Database() : nullptr);
    if (auto* conversations = qobject_cast<CConversationsView*>(view.get())) {
        conversations->UseDatabase(m_inbox ? m_inbox->Database() : nullptr);
        connect(conversations, &CConversationsView::unreadChanged, this, [this] { m_inbox->UpdateCount(); });
        connect(conversations, &CConversationsView::statusMessage, this,
                [this](const QString& text) { statusBar()->showMessage(text, 15000); });
    }
    view->OnInitialUpdate();

    for (const auto& [id, bar] : m_viewToolBars)
        bar->setVisible(id == info->toolbar && m_showToolBars);
    InstallViewMenu(info->kind);

    // The new view takes the place, then the old one goes.
    std::unique_ptr<CBrivantelView> old = std::move(m_view);
    if (old) {
        old->disconnect(this);
        m_viewLayout->removeWidget(old.get());
    }
    m_viewLayout->addWidget(view.get());
    view->show();
    view->setFocus();
    m_view = std::move(view);
    old.reset();

    m_folderBar->SetView(m_kind);
    m_folderList->SelectCommand(command);
    SetTitle();
    UpdateCommandUi();
}

void CBrivantelFrame::InstallViewMenu(int kind)
{
    m_viewMenu->clear();
    m_viewMenu->setTitle(QStringLiteral("&") + KindName(kind));
    // A view without commands has no menu: an empty one would open as nothing and leave the menu
    // bar waiting for a popup that never comes, so that no later menu dropped down.
    const std::vector<CommandId> commands = ViewMenu(kind);
    m_viewMenu->menuAction()->setVisible(!commands.empty());
    for (CommandId command : commands) {
        if (command == CommandId::None)
            m_viewMenu->addSeparator();
        else
            m_viewMenu->addAction(Action(command));
    }
}

void CBrivantelFrame::SetTitle()
{
    setWindowTitle(QStringLiteral("%1 - Brivantel ").arg(KindName(m_kind)));
}

// --- commands ---------------------------------------------------------------------------------

namespace {

// The commands the frame runs itself: always there, whatever the view.
bool IsFrameCommand(CommandId command)
{
    using enum CommandId;
    return ViewForCommand(command) || command == Layout || command == FolderButtons || command == StatusBar ||
           command == Exit || command == HomePage || command == About;
}

} // namespace

void CBrivantelFrame::OnCommand(CommandId command)
{
    if (ViewForCommand(command)) {
        SwitchView(command);
        return;
    }
    switch (command) {
    case CommandId::Layout:
        OnLayout();
        break;
    case CommandId::FolderButtons:
        ToggleFolderButtons();
        break;
    case CommandId::StatusBar:
        ToggleStatusBar();
        break;
    case CommandId::Exit:
        close();
        break;
    case CommandId::HomePage:
        OnHomePage();
        break;
    case CommandId::About:
        OnAbout();
        break;
    default:
        if (m_view) {
            const auto state = m_view->QueryCommand(command);
            if (state && state->enabled)
                m_view->OnCommand(command);
        }
        break;
    }
    UpdateCommandUi();
}

void CBrivantelFrame::OnTrayCommand(CommandId command)
{
    // A menu opened before a dialog came up may still be chosen from: the command waits for
    // nothing and is dropped (it could destroy the dialog's view inside its exec()).
    if (IsBusy())
        return;
    switch (command) {
    case CommandId::Layout: // "Otwórz"
        break;
    case CommandId::TraySettings:
        SwitchView(CommandId::ViewSettings);
        break;
    case CommandId::TrayHomePage:
        OnHomePage();
        return;
    case CommandId::Exit:
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        return;
    default:
        SwitchView(command);
        break;
    }
    Restore();
}

void CBrivantelFrame::UpdateCommandUi()
{
    for (const auto& [command, action] : m_actions) {
        if (IsFrameCommand(command))
            continue;
        const auto state = m_view ? m_view->QueryCommand(command) : std::nullopt;
        action->setEnabled(state && state->enabled);
        action->setCheckable(state && state->checked);
        action->setChecked(state && state->checked);
    }
    Action(CommandId::FolderButtons)->setChecked(m_folderButtons->isVisibleTo(this));
    Action(CommandId::StatusBar)->setChecked(statusBar()->isVisibleTo(this));
    // Only the web page can be asked for before the window is ready; while a modal dialog or a
    // long operation runs, every command of the menu waits.
    const bool busy = IsBusy();
    for (QAction* action : m_trayMenu ? m_trayMenu->actions() : QList<QAction*>()) {
        const bool any = CommandId(action->data().toInt()) == CommandId::TrayHomePage;
        action->setEnabled(!busy && (any || m_ready));
    }
    const QString mail = m_document.IsChecking() ? QStringLiteral("Checking mail") : QStringLiteral(" ");
    if (m_mailIndicator->text() != mail)
        m_mailIndicator->setText(mail);
}

void CBrivantelFrame::ApplyLayoutFlags()
{
    m_folderList->setVisible(m_showFolderList);
    m_folderBar->setVisible(m_showFolderBar);
    const CViewInfo* info = ViewForKind(m_kind);
    for (const auto& [id, bar] : m_viewToolBars)
        bar->setVisible(info && id == info->toolbar && m_showToolBars);
}

void CBrivantelFrame::OnLayout()
{
    CBrivantelLayoutDialog dialog(Settings(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const CBrivantelLayoutPage& page = dialog.GetPage();
    m_showFolderList = page.GetFolderList();
    m_showFolderBar = page.GetFolderBar();
    m_showToolBars = page.GetToolBar();
    Settings().Set(settings_keys::kShowFolderList, m_showFolderList);
    Settings().Set(settings_keys::kShowFolderBar, m_showFolderBar);
    Settings().Set(settings_keys::kShowToolBar, m_showToolBars);
    ApplyLayoutFlags();
}

void CBrivantelFrame::ToggleFolderButtons()
{
    m_showFolderButtons = !m_folderButtons->isVisibleTo(this);
    m_folderButtons->setVisible(m_showFolderButtons);
    Settings().Set(settings_keys::kShowFolderButtons, m_showFolderButtons);
}

void CBrivantelFrame::ToggleStatusBar()
{
    m_showStatusBar = !statusBar()->isVisibleTo(this);
    statusBar()->setVisible(m_showStatusBar);
    Settings().Set(settings_keys::kShowStatusBar, m_showStatusBar);
}

void CBrivantelFrame::OnAbout()
{
    CAboutDialog dialog(web_address::HomePage(Settings()), this);
    dialog.exec();
}

void CBrivantelFrame::OnHomePage()
{
    if (m_app)
        m_app->OnHomePage();
    else
        web_address::OpenQuietly(web_address::HomePage(Settings()));
}

// --- start, timers, notification area -----------------------------------------------------------

void CBrivantelFrame::StartOnlineWork()
{
    if (m_onlineWork)
        m_onlineWork();
}

void CBrivantelFrame::OnMailTimer()
{
    if (m_mailStep) {
        m_mailStep();
        return;
    }
    // Until the application has shown the window there is no document to check with.
    CBrivantelDoc* document = m_app ? m_app->GetDocument() : &m_document;
    const std::int64_t now = m_clock ? m_clock() : static_cast<std::int64_t>(std::time(nullptr));
    if (document && now >= m_mailSchedule.NextCheck() && !document->IsChecking() &&
        document->GetMailCheckerData().enabled)
        ShowMailCheckStarting();
    if (m_mailSchedule.Tick(now, document))
        UpdateCommandUi();
}

void CBrivantelFrame::ShowMailCheckStarting()
{
    m_mailIndicator->setText(QStringLiteral("Checking mail"));
    m_mailIndicator->repaint();
}

void CBrivantelFrame::OnBannerTimer()
{
    if (m_bannerTick)
        m_bannerTick();
}

void CBrivantelFrame::Restore()
{
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    update();
    m_hiddenToTray = false;
}

void CBrivantelFrame::showEvent(QShowEvent* event)
{
    CFrameWndEx::showEvent(event);
    m_ready = true;
    UpdateCommandUi();
}

void CBrivantelFrame::changeEvent(QEvent* event)
{
    CFrameWndEx::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        m_ready = true;
        SetTitle();
    }
    // Minimising hides the window to the notification area, but only when there is one: a hidden
    // window without an icon could never be brought back.
    if (event->type() == QEvent::WindowStateChange && isMinimized() && m_tray) {
        m_hiddenToTray = true;
        QMetaObject::invokeMethod(this, &QWidget::hide, Qt::QueuedConnection);
    }
}

// --- closing ----------------------------------------------------------------------------------

void CBrivantelFrame::HandBackState()
{
    m_mailTimer.stop();
    m_bannerTimer.stop();
    m_closeRetry.stop();
    if (m_inbox)
        m_inbox->GetTimer().stop();
    // The close sequence has kept the placement of the window as the user saw it.
    if (!m_closeAccepted)
        SavePlacement();
    // The view stays: a dialog opened over it may still wait on the stack, and deleting the
    // view would delete that dialog under it. The view hands its state to the document instead.
    if (m_view)
        m_view->HandBackQuietly();
}

bool CBrivantelFrame::IsBusy() const
{
    if (m_inCloseSequence || m_document.IsChecking() || QApplication::activeModalWidget())
        return true;
    // A send, a mail check or the online update shows its progress dialog while it runs.
    const auto windows = QApplication::topLevelWidgets();
    return std::any_of(windows.begin(), windows.end(), [](const QWidget* window) {
        return qobject_cast<const CProgressDlg*>(window) && window->isVisible();
    });
}

void CBrivantelFrame::OnCloseRetry()
{
    if (IsBusy())
        return;
    m_closeRetry.stop();
    close();
}

bool CBrivantelFrame::RunCloseSequence()
{
    m_document.OfferToSendOutbox();
    m_mailTimer.stop();
    SavePlacement();
    if (!m_document.CanClose()) {
        // The user stays: the mailbox is watched again.
        m_mailTimer.start();
        return false;
    }
    return true;
}

void CBrivantelFrame::closeEvent(QCloseEvent* event)
{
    if (m_closeAccepted) {
        event->accept();
        return;
    }
    // A close request in the middle of a dialog or an operation waits for it to end; one that
    // comes while the close sequence itself runs is that sequence's, and goes.
    if (IsBusy()) {
        event->ignore();
        if (!m_inCloseSequence)
            m_closeRetry.start();
        return;
    }
    m_closeRetry.stop();
    m_inCloseSequence = true;
    const bool agreed = RunCloseSequence();
    m_inCloseSequence = false;
    if (!agreed) {
        event->ignore();
        return;
    }
    m_closeAccepted = true;
    m_bannerTimer.stop();
    if (m_tray)
        m_tray->hide();
    event->accept();
    emit closeAccepted();
}
