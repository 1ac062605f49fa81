#include "ui/Commands.h"

#include <map>

namespace {

struct CHelp
{
    const char* prompt;
    const char* tip;
};

const std::map<int, CHelp>& HelpTable()
{
    static const std::map<int, CHelp> table = {
        {cmd::kEdit, {"Umożliwia edycje wybranej wiadomości", "Edytuj"}},
        {cmd::kSend, {"Wyślij wiadomość", "Wyślij (Alt+S)"}},
        {cmd::kDelete, {"Usuwa zaznaczony element", "Usuń (Delete)"}},
        {cmd::kDeleteMessage, {"Usuwa wybraną wiadomość", "Usuń (Delete)"}},
        {cmd::kDeleteAll, {"Usuwa wszystkie wiadomość", "Usuń wszystko"}},
        {cmd::kNewAddress, {"Dodaje nową pozycje w Książce Adresowej.", "Nowy (Insert)"}},
        {cmd::kProperties, {"Wyświetla informacje o wybranym kontakcie.", "Właściwości (Alt+Enter)"}},
        {cmd::kFind, {"Wyszukuje Adresata", "Znajdź (Ctrl+F)"}},
        {cmd::kCompose, {"Wyślij wiadomość do wybranej osoby", "Zredaguj"}},
        {cmd::kLargeIcons, {"", "Duże ikony"}},
        {cmd::kSmallIcons, {"", "Małe ikony"}},
        {cmd::kList, {"", "Lista"}},
        {cmd::kDetails, {"", "Szczegóły"}},
        {cmd::kImportContacts, {"Dodaje do książki kontakty z pliku vCard (z telefonu lub programu pocztowego).", ""}},
        {cmd::kExportContacts, {"Zapisuje całą książkę adresową w pliku vCard.", ""}},
        {cmd::kSettingsBehaviour, {"Zachowanie", "Zachowanie"}},
        {cmd::kSettingsSending, {"Wysyłanie wiadomości", "Wysyłanie wiadomości"}},
        {cmd::kSettingsConnection, {"Połącznie Internetowe", "Połącznie Internetowe"}},
        {cmd::kSendLater, {"", "Wyślij później"}},
        {cmd::kSaveDraft, {"", "Zachowaj (Ctrl+S)"}},
        {cmd::kClear, {"", "Wyczyść"}},
        {cmd::kInsertMessage, {"", "Wstaw wiadomość"}},
        {cmd::kCheckRecipients, {"", "Sprawdź listę odbiorców"}},
    };
    return table;
}

} // namespace

const std::vector<CViewInfo>& ViewTable()
{
    static const std::vector<CViewInfo> table = {
        {cmd::kViewSend, 1000, "Wyślij wiadomość", 135, 135},
        {cmd::kViewOutbox, 1001, "Wiadomości wysyłane", 160, 160},
        {cmd::kViewSent, 1002, "Wiadomości wysłane", 163, 172},
        {cmd::kViewDeleted, 1003, "Wiadomości usunięte", 153, 153},
        {cmd::kViewDrafts, 1004, "Wiadomości robocze", 141, 141},
        {cmd::kViewAddressBook, 1005, "Książka adresowa", 155, 146},
        {cmd::kViewMailChecker, 1006, "Sprawdzanie poczty e-mail", 162, 0},
        {cmd::kViewSettings, 1007, "Ustawienia", 164, 0},
    };
    return table;
}

const CViewInfo* ViewForCommand(int command)
{
    for (const auto& v : ViewTable()) {
        if (v.command == command)
            return &v;
    }
    return nullptr;
}

const CViewInfo* ViewForKind(int kind)
{
    for (const auto& v : ViewTable()) {
        if (v.kind == kind)
            return &v;
    }
    return nullptr;
}

QString KindName(int kind)
{
    const CViewInfo* v = ViewForKind(kind);
    return v ? QString::fromUtf8(v->name) : QString();
}

std::vector<CMenuEntry> ViewMenu(int menu)
{
    using namespace cmd;
    switch (menu) {
    case 135:
        return {{kSend, "Wyślij\tAlt+S"},
                {kSendLater, "Wyślij później"},
                {kSaveDraft, "Zachowaj\tCtrl+S"},
                {kClear, "Wyczyść"},
                {kInsertMessage, "Wstaw wiadomość"},
                {kCheckRecipients, "Sprawdź listę odbiorców"}};
    case 160:
        return {{kEdit, "&Edytuj\tCtrl+E"}, {kSend, "Wyślij\tAlt+S"}, {kDelete, "Usuń\tDel"}};
    case 163:
        return {{kDelete, "Usuń"}};
    case 141:
        return {{kEdit, "&Edytuj"}, {kSend, "&Wyślij"}, {kSeparator, ""}, {kDelete, "&Usuń"}};
    case 153:
        return {{kDeleteMessage, "&Usuń\tDel"}, {kDeleteAll, "&Usuń wszystko\tCtrl+Del"}};
    case 155:
        return {{kNewAddress, "Dodaj &Nowy\tInsert"},
                {kProperties, "&Właściwości\tAlt+Enter"},
                {kDelete, "&Usuń\tDelete"},
                {kFind, "Znajdź\tCtrl+F"},
                {kSeparator, ""},
                {kLargeIcons, "Duż&e ikony"},
                {kSmallIcons, "M&ałe ikony"},
                {kList, "&Lista"},
                {kDetails, "&Szczególy"},
                {kSeparator, ""},
                {kCompose, "&Zredaguj wiadomość"},
                {kSeparator, ""},
                {kImportContacts, "Importuj kontakty z pliku vCard..."},
                {kExportContacts, "Eksportuj kontakty do pliku vCard..."}};
    case 164:
        return {{kSettingsBehaviour, "&Zachowanie"},
                {kSettingsSending, "&Wysyłanie wiadomości"},
                {kSettingsConnection, "&Połącznie Internetowe"}};
    default:
        return {};
    }
}

std::vector<int> ToolbarButtons(int toolbar)
{
    using namespace cmd;
    switch (toolbar) {
    case 135:
        return {kSend, kSendLater, kSaveDraft, kSeparator, kClear, kInsertMessage, kCheckRecipients};
    case 160:
    case 141:
        return {kEdit, kSend, kSeparator, kDelete};
    case 172:
        return {kDelete};
    case 153:
        return {kDeleteMessage, kDeleteAll};
    case 146:
        return {kNewAddress, kProperties, kDelete,  kFind,      kSeparator, kLargeIcons,
                kSmallIcons, kList,       kDetails, kSeparator, kCompose};
    default:
        return {};
    }
}

const std::vector<int>& ToolbarIds()
{
    static const std::vector<int> ids = {146, 141, 153, 172, 160, 135};
    return ids;
}

QString CommandToolTip(int command)
{
    const auto& table = HelpTable();
    const auto it = table.find(command);
    if (it != table.end())
        return QString::fromUtf8(it->second.tip);
    if (const CViewInfo* v = ViewForCommand(command))
        return QString::fromUtf8(v->name);
    return {};
}

QString CommandPrompt(int command)
{
    const auto& table = HelpTable();
    const auto it = table.find(command);
    return it != table.end() ? QString::fromUtf8(it->second.prompt) : QString();
}
