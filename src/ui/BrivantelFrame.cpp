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
#include "ui/FolderListBar.h"
#include "ui/FrameOnline.h"
#include "ui/Icons.h"
#include "ui/LayoutDialog.h"
#include "ui/ProgressDlg.h"
#include "ui/controls/FolderCaptionBar.h"
#include "ui/controls/FolderListCtrl.h"

namespace {

constexpr int kUiUpdateMs = 200;
constexpr int kBannerHeight = 50;
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
    CreateStatusBar();
    CreateFolderButtons();
    CreateCentralArea();
    CreateViewToolBars();
    CreateFolderList();
    CreateBannerBar();
    CreateMenus();
    CreateAccelerators();

    m_mailTimer.setInterval(kMailTimerMs);
    connect(&m_mailTimer, &QTimer::timeout, this, &CBrivantelFrame::OnMailTimer);
    m_mailTimer.start();
    m_bannerTimer.setInterval(kBannerTimerMs);
    connect(&m_bannerTimer, &QTimer::timeout, this, &CBrivantelFrame::OnBannerTimer);
    m_bannerTimer.start();
    m_closeRetry.setInterval(kCloseRetryMs);
    connect(&m_closeRetry, &QTimer::timeout, this, &CBrivantelFrame::OnCloseRetry);
    m_uiTimer.setInterval(kUiUpdateMs);
    connect(&m_uiTimer, &QTimer::timeout, this, &CBrivantelFrame::UpdateCommandUi);
    m_uiTimer.start();

    m_folderList->setVisible(m_showFolderList);
    m_folderBar->setVisible(m_showFolderBar);
    statusBar()->setVisible(m_showStatusBar);
    m_folderButtons->setVisible(m_showFolderButtons);
    SwitchView(cmd::kViewSend);
    RestorePlacement();
    m_bannerBar->hide();
    CreateTray();
    m_online = std::make_unique<CFrameOnline>(*this, document, settings);
}

CBrivantelFrame::~CBrivantelFrame()
{
    m_mailTimer.stop();
    m_bannerTimer.stop();
    // The view goes before the frame's bars, so it can still hand its state to the document.
    m_view.reset();
    m_online.reset();
}

// --- building ---------------------------------------------------------------------------------

QAction* CBrivantelFrame::MakeAction(int command, const QString& text, QObject* parent)
{
    auto* action = new QAction(text, parent);
    action->setData(command);
    const QString prompt = CommandPrompt(command);
    if (!prompt.isEmpty())
        action->setStatusTip(prompt);
    connect(action, &QAction::triggered, this, [this, command] { OnCommand(command); });
    m_actions.emplace(command, action);
    return action;
}

std::vector<QAction*> CBrivantelFrame::ActionsFor(int command) const
{
    std::vector<QAction*> found;
    const auto range = m_actions.equal_range(command);
    for (auto it = range.first; it != range.second; ++it)
        found.push_back(it->second);
    return found;
}

void CBrivantelFrame::CreateStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    const QFontMetrics fm(bar->font());
    m_mailIndicator = new QLabel(QStringLiteral(" "));
    m_mailIndicator->setMinimumWidth(fm.horizontalAdvance(QStringLiteral("Checking mails")) + 8);
    m_mailIndicator->setAlignment(Qt::AlignCenter);
    m_onlineIndicator = new QLabel(QString());
    m_onlineIndicator->setMinimumWidth(fm.horizontalAdvance(QStringLiteral("Working Online")) + 8);
    for (QLabel* pane : {m_mailIndicator, m_onlineIndicator})
        pane->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    bar->addPermanentWidget(m_mailIndicator);
    bar->addPermanentWidget(m_onlineIndicator);
}

void CBrivantelFrame::CreateFolderButtons()
{
    m_folderButtons = new QToolBar(QStringLiteral("Pasek Folderów"), this);
    m_folderButtons->setObjectName(QStringLiteral("FolderButtons"));
    m_folderButtons->setIconSize(QSize(32, 32));
    m_folderButtons->setAllowedAreas(Qt::AllToolBarAreas);
    m_folderButtons->setMovable(true);
    const int order[] = {cmd::kViewSend,        cmd::kViewOutbox, cmd::kViewSent,        cmd::kViewDeleted,
                         cmd::kViewDrafts,      cmd::kSeparator,  cmd::kViewAddressBook, cmd::kSeparator,
                         cmd::kViewMailChecker, cmd::kSeparator,  cmd::kViewSettings};
    for (int command : order) {
        if (command == cmd::kSeparator) {
            m_folderButtons->addSeparator();
            continue;
        }
        const CViewInfo* view = ViewForCommand(command);
        QAction* action = MakeAction(command, QString::fromUtf8(view->name), m_folderButtons);
        action->setIcon(icons::ViewIcon(view->kind - kFirstViewKind));
        action->setToolTip(QString::fromUtf8(view->name));
        m_folderButtons->addAction(action);
    }
    addToolBar(Qt::TopToolBarArea, m_folderButtons);
}

void CBrivantelFrame::CreateCentralArea()
{
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_folderBar = new CFolderCaptionBar(central);
    m_folderBar->setObjectName(QStringLiteral("FolderBar"));
    m_folderBar->SetNames(KindName);
    m_folderBar->SetLargeImages(icons::ViewPixmaps(32));
    layout->addWidget(m_folderBar);
    m_viewHolder = new QWidget(central);
    m_viewLayout = new QVBoxLayout(m_viewHolder);
    m_viewLayout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_viewHolder, 1);
    setCentralWidget(central);
}

void CBrivantelFrame::CreateViewToolBars()
{
    for (int id : ToolbarIds()) {
        auto* bar = new QToolBar(this);
        bar->setObjectName(QStringLiteral("ViewToolBar%1").arg(id));
        bar->setIconSize(QSize(20, 20));
        bar->setMovable(false);
        bar->setFloatable(false);
        for (int command : ToolbarButtons(id)) {
            if (command == cmd::kSeparator) {
                bar->addSeparator();
                continue;
            }
            QAction* action = MakeAction(command, CommandToolTip(command), bar);
            action->setIcon(icons::CommandIcon(command));
            action->setToolTip(CommandToolTip(command));
            bar->addAction(action);
        }
        addToolBar(Qt::TopToolBarArea, bar);
        bar->hide();
        m_viewToolBars[id] = bar;
    }
}

QToolBar* CBrivantelFrame::GetViewToolBar(int toolbar) const
{
    const auto it = m_viewToolBars.find(toolbar);
    return it == m_viewToolBars.end() ? nullptr : it->second;
}

void CBrivantelFrame::CreateFolderList()
{
    m_folderList = new CFolderListBar(this);
    addDockWidget(Qt::LeftDockWidgetArea, m_folderList);
    resizeDocks({m_folderList}, {CFolderListBar::kWidth}, Qt::Horizontal);
    connect(&m_folderList->GetList(), &CFolderListCtrl::notify, this, [this](int code, int index) {
        // Only a clicked item matters here; a new open group changes nothing in the window.
        if (code == CFolderListCtrl::kItemClicked)
            SwitchView(m_folderList->GetItemCommand(index));
    });
}

void CBrivantelFrame::CreateBannerBar()
{
    m_bannerBar = new QDockWidget(this);
    m_bannerBar->setObjectName(QStringLiteral("BannerBar"));
    m_bannerBar->setFeatures(QDockWidget::NoDockWidgetFeatures);
    m_bannerBar->setTitleBarWidget(new QWidget(m_bannerBar));
    m_bannerHolder = new QWidget(m_bannerBar);
    m_bannerHolder->setFixedHeight(kBannerHeight);
    auto* layout = new QVBoxLayout(m_bannerHolder);
    layout->setContentsMargins(0, 0, 0, 0);
    m_bannerBar->setWidget(m_bannerHolder);
    addDockWidget(Qt::BottomDockWidgetArea, m_bannerBar);
    setCorner(Qt::BottomLeftCorner, Qt::BottomDockWidgetArea);
    setCorner(Qt::BottomRightCorner, Qt::BottomDockWidgetArea);
}

void CBrivantelFrame::CreateMenus()
{
    QMenuBar* bar = menuBar();
    QMenu* file = bar->addMenu(QStringLiteral("&Plik"));
    file->addAction(MakeAction(cmd::kExit, QStringLiteral("&Zakończ"), file));

    QMenu* view = bar->addMenu(QStringLiteral("&Widok"));
    QMenu* folders = view->addMenu(QStringLiteral("&Foldery"));
    const std::pair<int, const char*> folderItems[] = {
        {cmd::kViewSend, "&Wyślij wiadomość"},
        {cmd::kViewOutbox, "Wiadomości wysyłane"},
        {cmd::kViewSent, "Wiadomości wysłane"},
        {cmd::kViewDrafts, "Wiadomości robocze"},
        {cmd::kViewDeleted, "Wiadomości usunięte"},
        {cmd::kSeparator, ""},
        {cmd::kViewAddressBook, "Książka adresowa"},
        {cmd::kSeparator, ""},
        {cmd::kViewMailChecker, "Powiadamianie o poczcie e-mail"},
        {cmd::kSeparator, ""},
        {cmd::kViewSettings, "Ustawienia"},
    };
    for (const auto& [command, text] : folderItems) {
        if (command == cmd::kSeparator) {
            folders->addSeparator();
            continue;
        }
        QAction* action = MakeAction(command, QString::fromUtf8(text), folders);
        action->setIcon(icons::ViewIcon(ViewForCommand(command)->kind - kFirstViewKind));
        folders->addAction(action);
    }
    view->addSeparator();
    view->addAction(MakeAction(cmd::kLayout, QStringLiteral("&Wygląd..."), view));
    QAction* buttons = MakeAction(cmd::kFolderButtons, QStringLiteral("Pasek &Folderów"), view);
    buttons->setCheckable(true);
    view->addAction(buttons);
    QAction* status = MakeAction(cmd::kStatusBar, QStringLiteral("Pasek &stanu"), view);
    status->setCheckable(true);
    view->addAction(status);

    m_viewMenu = bar->addMenu(QStringLiteral("Place Holder"));

    QMenu* help = bar->addMenu(QStringLiteral("&Pomoc"));
    help->addAction(
        MakeAction(cmd::kHomePage, QStringLiteral("Internetowa strona programu Brivantel"), help));
    help->addSeparator();
    help->addAction(MakeAction(cmd::kAbout, QStringLiteral("&O programie Brivantel..."), help));

    for (QMenu* menu : {file, view, folders, m_viewMenu, help})
        connect(menu, &QMenu::aboutToShow, this, &CBrivantelFrame::UpdateCommandUi);
}

void CBrivantelFrame::CreateAccelerators()
{
    const std::pair<QKeySequence, int> keys[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_F), cmd::kFind},
        {QKeySequence(Qt::CTRL | Qt::Key_S), cmd::kSaveDraft},
        {QKeySequence(Qt::ALT | Qt::Key_S), cmd::kSend},
        {QKeySequence(Qt::CTRL | Qt::Key_Delete), cmd::kDeleteAll},
        {QKeySequence(Qt::ALT | Qt::Key_Return), cmd::kProperties},
    };
    for (const auto& [key, command] : keys) {
        QAction* action = MakeAction(command, QString(), this);
        QList<QKeySequence> shortcuts{key};
        // The keypad's Enter is a key of its own: Alt+Enter works with either.
        if (command == cmd::kProperties)
            shortcuts << QKeySequence(Qt::ALT | Qt::Key_Enter)
                      << QKeySequence(QKeyCombination(Qt::AltModifier | Qt::KeypadModifier, Qt::Key_Enter));
        action->setShortcuts(shortcuts);
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
    }
}

void CBrivantelFrame::CreateTray()
{
    m_trayMenu = new QMenu(this);
    auto add = [this](const QString& text, auto handler) {
        QAction* action = m_trayMenu->addAction(text);
        // A menu opened before a dialog came up may still be chosen from: the command waits for
        // nothing and is dropped (it could destroy the dialog's view inside its exec()).
        connect(action, &QAction::triggered, this, [this, handler] {
            if (!IsBusy())
                handler();
        });
        return action;
    };
    add(QStringLiteral("Otwórz"), [this] { Restore(); });
    add(QStringLiteral("Ustawienia"), [this] {
        SwitchView(cmd::kViewSettings);
        Restore();
    });
    QAction* compose = add(QStringLiteral("Wyślij wiadomość"), [this] {
        SwitchView(cmd::kViewSend);
        Restore();
    });
    add(QStringLiteral("Strona internetowa programu"), [this] { OnHomePage(); });
    add(QStringLiteral("Zamknij"),
        [this] { QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection); });
    m_trayMenu->setDefaultAction(compose);
    connect(m_trayMenu, &QMenu::aboutToShow, this, &CBrivantelFrame::UpdateCommandUi);

    // Without a notification area there is nowhere for the icon: the window then minimises the
    // ordinary way (see changeEvent).
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    m_tray = new QSystemTrayIcon(icons::AppIcon(), this);
    m_tray->setToolTip(QStringLiteral("Brivantel"));
    m_tray->setContextMenu(m_trayMenu);
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick) {
            SwitchView(cmd::kViewSend);
            Restore();
        }
    });
    m_tray->show();
}

// --- views ------------------------------------------------------------------------------------

void CBrivantelFrame::SwitchView(int command)
{
    const CViewInfo* info = ViewForCommand(command);
    if (!info)
        return;
    std::unique_ptr<CBrivantelView> view = CreateView(m_document, info->kind, m_viewHolder);
    m_kind = info->kind;
    view->OnInitialUpdate();

    for (const auto& [id, bar] : m_viewToolBars)
        bar->setVisible(id == info->toolbar && m_showToolBars);
    InstallViewMenu(info->kind);

    // The new view takes the place, then the old one goes.
    std::unique_ptr<CBrivantelView> old = std::move(m_view);
    if (old)
        m_viewLayout->removeWidget(old.get());
    m_viewLayout->addWidget(view.get());
    view->show();
    view->setFocus();
    m_view = std::move(view);
    old.reset();

    m_folderBar->SetView(m_kind);
    SetTitle();
    UpdateCommandUi();
}

void CBrivantelFrame::InstallViewMenu(int kind)
{
    const CViewInfo* info = ViewForKind(kind);
    for (QAction* action : m_viewMenuActions) {
        for (auto it = m_actions.begin(); it != m_actions.end();) {
            if (it->second == action)
                it = m_actions.erase(it);
            else
                ++it;
        }
    }
    m_viewMenuActions.clear();
    m_viewMenu->clear();
    m_viewMenu->setTitle(QStringLiteral("&") + KindName(kind));
    for (const CMenuEntry& entry : ViewMenu(info->menu)) {
        if (entry.command == cmd::kSeparator) {
            m_viewMenu->addSeparator();
            continue;
        }
        QAction* action = MakeAction(entry.command, QString::fromUtf8(entry.text), m_viewMenu);
        action->setIcon(icons::CommandIcon(entry.command));
        m_viewMenu->addAction(action);
        m_viewMenuActions.push_back(action);
    }
}

void CBrivantelFrame::SetTitle()
{
    setWindowTitle(QStringLiteral("%1 - Brivantel ").arg(KindName(m_kind)));
}

// --- commands ---------------------------------------------------------------------------------

void CBrivantelFrame::OnCommand(int command)
{
    if (ViewForCommand(command)) {
        SwitchView(command);
        return;
    }
    switch (command) {
    case cmd::kLayout:
        OnLayout();
        break;
    case cmd::kFolderButtons:
        ToggleFolderButtons();
        break;
    case cmd::kStatusBar:
        ToggleStatusBar();
        break;
    case cmd::kExit:
        close();
        break;
    case cmd::kHomePage:
    case cmd::kTrayHomePage:
        OnHomePage();
        break;
    case cmd::kAbout:
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

void CBrivantelFrame::UpdateCommandUi()
{
    for (const auto& [command, action] : m_actions) {
        if (command == cmd::kFolderButtons) {
            action->setChecked(m_folderButtons->isVisibleTo(this));
            continue;
        }
        if (command == cmd::kStatusBar) {
            action->setChecked(statusBar()->isVisibleTo(this));
            continue;
        }
        if (ViewForCommand(command) || command == cmd::kLayout || command == cmd::kExit ||
            command == cmd::kHomePage || command == cmd::kAbout)
            continue;
        const auto state = m_view ? m_view->QueryCommand(command) : std::nullopt;
        action->setEnabled(state && state->enabled);
        const bool checked = state && state->checked;
        if (action->isCheckable() != checked && checked)
            action->setCheckable(true);
        if (action->isCheckable())
            action->setChecked(checked);
    }
    // "Otwórz", "Ustawienia", "Wyślij wiadomość" and "Zamknij" wait until the window is ready;
    // while a modal dialog or a long operation runs, every command of the menu waits.
    const bool busy = IsBusy();
    const auto trayActions = m_trayMenu ? m_trayMenu->actions() : QList<QAction*>();
    for (int i = 0; i < trayActions.size(); ++i)
        trayActions[i]->setEnabled(!busy && (i == 3 || m_ready));
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
    m_uiTimer.stop();
    m_closeRetry.stop();
    // The close sequence has kept the placement of the window as the user saw it.
    if (!m_closeAccepted)
        SavePlacement();
    if (m_view) {
        m_view->HandBackQuietly();
        m_viewLayout->removeWidget(m_view.get());
        m_view.reset();
    }
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
    m_uiTimer.stop();
    m_bannerTimer.stop();
    if (m_tray)
        m_tray->hide();
    event->accept();
    emit closeAccepted();
}
