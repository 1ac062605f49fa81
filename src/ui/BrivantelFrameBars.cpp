#include "ui/BrivantelFrame.h"

#include <QAction>
#include <QDockWidget>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QToolBar>
#include <QVBoxLayout>

#include "ui/Commands.h"
#include "ui/FolderListBar.h"
#include "ui/Icons.h"
#include "ui/controls/FolderCaptionBar.h"
#include "ui/controls/FolderListCtrl.h"

// The frame's bars, menus and notification-area icon, built once when the window is made.

namespace {

constexpr int kBannerHeight = 50;

} // namespace

// --- building ---------------------------------------------------------------------------------

void CBrivantelFrame::CreateActions()
{
    for (const CCommandInfo& row : CommandTable()) {
        QAction* action = MakeCommandAction(row.id, this);
        connect(action, &QAction::triggered, this, [this, id = row.id] { OnCommand(id); });
        // A command with a key answers it anywhere in the window, whichever bar shows it.
        if (!action->shortcut().isEmpty())
            addAction(action);
        m_actions.emplace(row.id, action);
    }
    Action(CommandId::FolderButtons)->setCheckable(true);
    Action(CommandId::StatusBar)->setCheckable(true);
}

QAction* CBrivantelFrame::Action(CommandId command) const
{
    const auto it = m_actions.find(command);
    return it == m_actions.end() ? nullptr : it->second;
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
    using enum CommandId;
    for (CommandId command : {ViewSend, ViewOutbox, ViewSent, ViewDeleted, ViewDrafts, ViewReceived, None,
                              ViewAddressBook, None, ViewMailChecker, None, ViewSettings}) {
        if (command == None)
            m_folderButtons->addSeparator();
        else
            m_folderButtons->addAction(Action(command));
    }
    // "Rozmowy" beside "Odebrane".
    const QList<QAction*> buttons = m_folderButtons->actions();
    const qsizetype received = buttons.indexOf(Action(ViewReceived));
    m_folderButtons->insertAction(received + 1 < buttons.size() ? buttons[received + 1] : nullptr,
                                  Action(ViewConversations));
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
        for (CommandId command : ToolbarButtons(id)) {
            if (command == CommandId::None)
                bar->addSeparator();
            else
                bar->addAction(Action(command));
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
    resizeDocks({m_folderList}, {m_folderList->PreferredWidth()}, Qt::Horizontal);
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
    file->addAction(Action(CommandId::Exit));

    QMenu* view = bar->addMenu(QStringLiteral("&Widok"));
    QMenu* folders = view->addMenu(QStringLiteral("&Foldery"));
    using enum CommandId;
    for (CommandId command : {ViewSend, ViewOutbox, ViewSent, ViewDrafts, ViewDeleted, ViewReceived, None,
                              ViewAddressBook, None, ViewMailChecker, None, ViewSettings}) {
        if (command == None)
            folders->addSeparator();
        else
            folders->addAction(Action(command));
    }
    {
        const QList<QAction*> items = folders->actions();
        const qsizetype received = items.indexOf(Action(ViewReceived));
        folders->insertAction(received + 1 < items.size() ? items[received + 1] : nullptr,
                              Action(ViewConversations));
    }
    view->addSeparator();
    view->addActions({Action(Layout), Action(FolderButtons), Action(StatusBar)});

    m_viewMenu = bar->addMenu(QStringLiteral("Place Holder"));

    QMenu* help = bar->addMenu(QStringLiteral("&Pomoc"));
    help->addAction(Action(HomePage));
    help->addSeparator();
    help->addAction(Action(About));

    for (QMenu* menu : {file, view, folders, m_viewMenu, help})
        connect(menu, &QMenu::aboutToShow, this, &CBrivantelFrame::UpdateCommandUi);
}

void CBrivantelFrame::CreateTray()
{
    m_trayMenu = new QMenu(this);
    const std::pair<CommandId, const char*> items[] = {
        {CommandId::Layout, "Otwórz"},
        {CommandId::TraySettings, "Ustawienia"},
        {CommandId::ViewSend, "Wyślij wiadomość"},
        {CommandId::TrayHomePage, "Strona internetowa programu"},
        {CommandId::Exit, "Zamknij"},
    };
    for (const auto& [command, text] : items) {
        QAction* action = m_trayMenu->addAction(QString::fromUtf8(text));
        action->setData(static_cast<int>(command));
        connect(action, &QAction::triggered, this, [this, command] { OnTrayCommand(command); });
    }
    m_trayMenu->setDefaultAction(m_trayMenu->actions()[2]);
    connect(m_trayMenu, &QMenu::aboutToShow, this, &CBrivantelFrame::UpdateCommandUi);

    // Without a notification area there is nowhere for the icon: the window then minimises the
    // ordinary way (see changeEvent).
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    m_tray = new QSystemTrayIcon(icons::AppIcon(), this);
    m_tray->setToolTip(QStringLiteral("Brivantel"));
    m_tray->setContextMenu(m_trayMenu);
    connect(m_tray, &QSystemTrayIcon::activated, this, &CBrivantelFrame::OnTrayActivated);
    m_tray->show();
}

void CBrivantelFrame::OnTrayActivated(QSystemTrayIcon::ActivationReason reason)
{
    // The same command as the menu's default item, with the same wait for a dialog or an
    // operation to end: a switch under a modal dialog would destroy the dialog's view.
    if (reason == QSystemTrayIcon::DoubleClick)
        OnTrayCommand(CommandId::ViewSend);
}
