#pragma once

#include <QString>
#include <vector>

// Command identifiers of the main window's menus, bars and accelerators, and the tables that say
// which view, menu and toolbar belongs to which command.
namespace cmd {

// Views (the folder buttons, the folder list, "Widok"/"Foldery").
inline constexpr int kViewSend = 32773;
inline constexpr int kViewOutbox = 32774;
inline constexpr int kViewDeleted = 32775;
inline constexpr int kViewSent = 32776;
inline constexpr int kViewDrafts = 32777;
inline constexpr int kViewAddressBook = 32778;
inline constexpr int kViewMailChecker = 32779;
inline constexpr int kViewSettings = 32780;

// The frame's own commands.
inline constexpr int kLayout = 32771;        // "&Wygląd..." (and "Otwórz" in the tray menu)
inline constexpr int kFolderButtons = 59392; // "Pasek &Folderów"
inline constexpr int kStatusBar = 59393;     // "Pasek &stanu"
inline constexpr int kExit = 57665;
inline constexpr int kHomePage = 32826;
inline constexpr int kAbout = 57664;
inline constexpr int kTraySettings = 32828;
inline constexpr int kTrayHomePage = 32830;

// Commands the views handle.
inline constexpr int kProperties = 32781;
inline constexpr int kDelete = 32782;
inline constexpr int kNewAddress = 32783;
inline constexpr int kSend = 32784;
inline constexpr int kCheckRecipients = 32785;
inline constexpr int kCompose = 32786;
inline constexpr int kSaveDraft = 32788;
inline constexpr int kSendLater = 32790;
inline constexpr int kInsertMessage = 32798;
inline constexpr int kClear = 32800;
inline constexpr int kEdit = 32801;
inline constexpr int kDeleteAll = 32802;
inline constexpr int kDeleteMessage = 32803;
inline constexpr int kSettingsBehaviour = 32809;
inline constexpr int kSettingsSending = 32810;
inline constexpr int kSettingsConnection = 32812;
inline constexpr int kFind = 57636;
inline constexpr int kSmallIcons = 59408;
inline constexpr int kLargeIcons = 59409;
inline constexpr int kList = 59410;
inline constexpr int kDetails = 59411;
inline constexpr int kImportContacts = 32842; // vCard files, beside the address book's own commands
inline constexpr int kExportContacts = 32843;

inline constexpr int kSeparator = 0;

} // namespace cmd

// One row of the view table: the command that shows the view, its kind (which doubles as the
// number of its name), its menu and its toolbar (0: none).
struct CViewInfo
{
    int command;
    int kind;
    const char* name; // UTF-8
    int menu;
    int toolbar;
};

inline constexpr int kFirstViewKind = 1000;
inline constexpr int kViewCount = 8;

const std::vector<CViewInfo>& ViewTable();
const CViewInfo* ViewForCommand(int command);
const CViewInfo* ViewForKind(int kind);
// The view's name for a kind; an empty text for an unknown kind.
QString KindName(int kind);

struct CMenuEntry
{
    int command; // cmd::kSeparator for a separator
    const char* text;
};
// The entries of a view's menu; empty for a view without one.
std::vector<CMenuEntry> ViewMenu(int menu);
// The buttons of a per-view toolbar, cmd::kSeparator for a gap.
std::vector<int> ToolbarButtons(int toolbar);
// The toolbars the frame creates, in creation order.
const std::vector<int>& ToolbarIds();

// Tooltip and status-bar prompt of a command (empty when it has none).
QString CommandToolTip(int command);
QString CommandPrompt(int command);
