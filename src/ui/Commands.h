#pragma once

#include <QIcon>
#include <QKeyCombination>
#include <QString>
#include <vector>

class QAction;
class QObject;

// The commands of the main window's menus, bars, popups and keys, by the numbers they have always
// had (the numbers are the commands' identity: the notification-area menu reuses some of them).
enum class CommandId : int
{
    None = 0, // a separator in the lists below

    // Views (the folder buttons, the folder list, "Widok"/"Foldery").
    ViewSend = 32773,
    ViewOutbox = 32774,
    ViewDeleted = 32775,
    ViewSent = 32776,
    ViewDrafts = 32777,
    ViewAddressBook = 32778,
    ViewMailChecker = 32779,
    ViewSettings = 32780,

    // The frame's own commands.
    Layout = 32771, // "&Wygląd..." (and "Otwórz" in the notification-area menu)
    FolderButtons = 59392,
    StatusBar = 59393,
    Exit = 57665,
    HomePage = 32826,
    About = 57664,
    TraySettings = 32828,
    TrayHomePage = 32830,

    // Commands the views handle.
    Properties = 32781,
    Delete = 32782,
    NewAddress = 32783,
    Send = 32784,
    CheckRecipients = 32785,
    Compose = 32786,
    SaveDraft = 32788,
    SendLater = 32790,
    InsertMessage = 32798,
    Clear = 32800,
    Edit = 32801,
    DeleteAll = 32802,
    DeleteMessage = 32803,
    SettingsBehaviour = 32809,
    SettingsSending = 32810,
    SettingsConnection = 32812,
    Find = 57636,
    SmallIcons = 59408,
    LargeIcons = 59409,
    List = 59410,
    Details = 59411,
    ImportContacts = 32842, // vCard files, beside the address book's own commands
    ExportContacts = 32843,

    // The received messages ("Odebrane").
    ViewReceived = 32850,
    Reply = 32851,
    ReceiveNow = 32852,
    CopyText = 32853,
    // The sent folder: a message whose delivery report says it failed goes again.
    Resend = 32854,

    // The conversations ("Rozmowy").
    ViewConversations = 32860,
    Conversation = 32861, // the address book's way into a person's thread
};

// One row of the command table.
struct CCommandInfo
{
    CommandId id;
    const char* text;   // in the menus (UTF-8); a key after a tab is shown only, never bound
    const char* icon;   // the picture's name under src/ui/icons; null: none (views: their own)
    const char* tip;    // toolbar tooltip, "%1" standing for the shortcut; null: the view's name
    const char* prompt; // status-bar prompt
    QKeyCombination key = Qt::Key_unknown; // answered anywhere in the main window
};

const std::vector<CCommandInfo>& CommandTable();
const CCommandInfo* FindCommand(CommandId id);
// The action of a command as its row describes it (text, icon, tooltip, prompt, shortcut).
QAction* MakeCommandAction(CommandId id, QObject* parent);
QIcon CommandIcon(CommandId id);

// One row of the view table: the command that shows the view, its kind (which doubles as the
// number of its name) and its toolbar (0: none).
struct CViewInfo
{
    CommandId command;
    int kind;
    const char* name; // UTF-8
    int toolbar;
};

inline constexpr int kFirstViewKind = 1000;
inline constexpr int kViewCount = 10;

const std::vector<CViewInfo>& ViewTable();
const CViewInfo* ViewForCommand(CommandId command);
const CViewInfo* ViewForKind(int kind);
// The view's name for a kind; an empty text for an unknown kind.
QString KindName(int kind);

// The entries of a view's menu and popup (CommandId::None: a separator); empty for a view without.
std::vector<CommandId> ViewMenu(int kind);
// The buttons of a per-view toolbar, CommandId::None for a gap.
std::vector<CommandId> ToolbarButtons(int toolbar);
// The toolbars the frame creates, in creation order.
const std::vector<int>& ToolbarIds();
