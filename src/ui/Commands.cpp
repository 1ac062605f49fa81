#include "ui/Commands.h"

#include <QAction>

#include "ui/Icons.h"

const std::vector<CCommandInfo>& CommandTable()
{
    using enum CommandId;
    static const std::vector<CCommandInfo> table = {
        {ViewSend, "&Wyślij wiadomość", nullptr, nullptr, ""},
        {ViewOutbox, "Wiadomości wysyłane", nullptr, nullptr, ""},
        {ViewSent, "Wiadomości wysłane", nullptr, nullptr, ""},
        {ViewDrafts, "Wiadomości robocze", nullptr, nullptr, ""},
        {ViewDeleted, "Wiadomości usunięte", nullptr, nullptr, ""},
        {ViewAddressBook, "Książka adresowa", nullptr, nullptr, ""},
        {ViewMailChecker, "Powiadamianie o poczcie e-mail", nullptr, nullptr, ""},
        {ViewSettings, "Ustawienia", nullptr, nullptr, ""},
        {ViewReceived, "Odebrane", nullptr, nullptr, ""},
        {Layout, "&Wygląd...", nullptr, "", ""},
        {FolderButtons, "Pasek &Folderów", nullptr, "", ""},
        {StatusBar, "Pasek &stanu", nullptr, "", ""},
        {Exit, "&Zakończ", nullptr, "", ""},
        {HomePage, "Internetowa strona programu Brivantel", nullptr, "", ""},
        {About, "&O programie Brivantel...", nullptr, "", ""},
        {Send, "&Wyślij", "view-compose", "Wyślij (%1)", "Wyślij wiadomość", Qt::ALT | Qt::Key_S},
        {SendLater, "Wyślij później", "view-outbox", "Wyślij później", ""},
        {SaveDraft, "Zachowaj", "save-draft", "Zachowaj (%1)", "", Qt::CTRL | Qt::Key_S},
        {Clear, "Wyczyść", "clear", "Wyczyść", ""},
        {InsertMessage, "Wstaw wiadomość", "insert-message", "Wstaw wiadomość", ""},
        {CheckRecipients, "Sprawdź listę odbiorców", "check-recipients", "Sprawdź listę odbiorców", ""},
        {Edit, "&Edytuj\tCtrl+E", "edit", "Edytuj", "Umożliwia edycje wybranej wiadomości"},
        {Delete, "&Usuń\tDel", "delete", "Usuń (Delete)", "Usuwa zaznaczony element"},
        {DeleteMessage, "&Usuń\tDel", "delete", "Usuń (Delete)", "Usuwa wybraną wiadomość"},
        {DeleteAll, "&Usuń wszystko", "delete-all", "Usuń wszystko", "Usuwa wszystkie wiadomość",
         Qt::CTRL | Qt::Key_Delete},
        {NewAddress, "Dodaj &Nowy\tInsert", "new-address", "Nowy (Insert)",
         "Dodaje nową pozycje w Książce Adresowej."},
        // Enter, not Return, so that the menus show "Alt+Enter"; the action answers both keys.
        {Properties, "&Właściwości", "properties", "Właściwości (%1)",
         "Wyświetla informacje o wybranym kontakcie.", Qt::ALT | Qt::Key_Enter},
        {Find, "Znajdź", "find", "Znajdź (%1)", "Wyszukuje Adresata", Qt::CTRL | Qt::Key_F},
        {LargeIcons, "Duż&e ikony", "large-icons", "Duże ikony", ""},
        {SmallIcons, "M&ałe ikony", "small-icons", "Małe ikony", ""},
        {List, "&Lista", "list", "Lista", ""},
        {Details, "&Szczególy", "details", "Szczegóły", ""},
        {Compose, "&Zredaguj wiadomość", "compose-message", "Zredaguj", "Wyślij wiadomość do wybranej osoby"},
        {ImportContacts, "Importuj kontakty z pliku vCard...", nullptr, "",
         "Dodaje do książki kontakty z pliku vCard (z telefonu lub programu pocztowego)."},
        {ExportContacts, "Eksportuj kontakty do pliku vCard...", nullptr, "",
         "Zapisuje całą książkę adresową w pliku vCard."},
        {SettingsBehaviour, "&Zachowanie", "view-settings", "Zachowanie", "Zachowanie"},
        {SettingsSending, "&Wysyłanie wiadomości", "view-settings", "Wysyłanie wiadomości",
         "Wysyłanie wiadomości"},
        {SettingsConnection, "&Połącznie Internetowe", "view-settings", "Połącznie Internetowe",
         "Połącznie Internetowe"},
        {Reply, "&Odpowiedz", "compose-message", "Odpowiedz",
         "Pisze odpowiedź do nadawcy wybranej wiadomości"},
        {ReceiveNow, "Odbierz wiadomości", nullptr, "", "Odczytuje z telefonu wiadomości, które przyszły"},
        {CopyText, "&Kopiuj tekst", nullptr, "", "Kopiuje tekst wybranej wiadomości do schowka"},
        {Resend, "Wyślij &ponownie", "view-compose", "Wyślij ponownie",
         "Wysyła ponownie wiadomość, której sieć nie doręczyła"},
        {ViewConversations, "Rozmowy", nullptr, nullptr, ""},
        {Conversation, "&Rozmowa", "view-conversations", "Rozmowa",
         "Pokazuje wszystkie wiadomości wymienione z wybraną osobą"},
    };
    return table;
}

const CCommandInfo* FindCommand(CommandId id)
{
    for (const CCommandInfo& row : CommandTable()) {
        if (row.id == id)
            return &row;
    }
    return nullptr;
}

QIcon CommandIcon(CommandId id)
{
    if (const CViewInfo* view = ViewForCommand(id))
        return icons::ViewIcon(view->kind - kFirstViewKind);
    const CCommandInfo* row = FindCommand(id);
    return row && row->icon ? icons::Named(row->icon) : QIcon();
}

QAction* MakeCommandAction(CommandId id, QObject* parent)
{
    const CCommandInfo& row = *FindCommand(id);
    auto* action = new QAction(QString::fromUtf8(row.text), parent);
    action->setData(static_cast<int>(id));
    action->setIcon(CommandIcon(id));
    action->setStatusTip(QString::fromUtf8(row.prompt));
    QString tip = row.tip ? QString::fromUtf8(row.tip) : QString::fromUtf8(ViewForCommand(id)->name);
    if (row.key.key() != Qt::Key_unknown) {
        const QKeySequence key(row.key);
        if (tip.contains(QLatin1String("%1")))
            tip = tip.arg(key.toString(QKeySequence::NativeText));
        QList<QKeySequence> keys{key};
        // The keypad's Enter is a key of its own, and so is the main one (Return): both work.
        if (row.key.key() == Qt::Key_Enter)
            keys << QKeySequence(row.key.keyboardModifiers() | Qt::Key_Return)
                 << QKeySequence(row.key.keyboardModifiers() | Qt::KeypadModifier | Qt::Key_Enter);
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
    }
    if (!tip.isEmpty())
        action->setToolTip(tip);
    return action;
}

const std::vector<CViewInfo>& ViewTable()
{
    using enum CommandId;
    static const std::vector<CViewInfo> table = {
        {ViewSend, 1000, "Wyślij wiadomość", 135},
        {ViewOutbox, 1001, "Wiadomości wysyłane", 160},
        {ViewSent, 1002, "Wiadomości wysłane", 172},
        {ViewDeleted, 1003, "Wiadomości usunięte", 153},
        {ViewDrafts, 1004, "Wiadomości robocze", 141},
        {ViewAddressBook, 1005, "Książka adresowa", 146},
        {ViewMailChecker, 1006, "Sprawdzanie poczty e-mail", 0},
        {ViewSettings, 1007, "Ustawienia", 0},
        {ViewReceived, 1008, "Odebrane", 0},
        {ViewConversations, 1009, "Rozmowy", 0},
    };
    return table;
}

const CViewInfo* ViewForCommand(CommandId command)
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

std::vector<CommandId> ViewMenu(int kind)
{
    using enum CommandId;
    switch (kind) {
    case 1000:
        return {Send, SendLater, SaveDraft, Clear, InsertMessage, CheckRecipients};
    case 1001:
        return {Edit, Send, Delete};
    case 1002:
        return {Delete, None, Resend};
    case 1004:
        return {Edit, Send, None, Delete};
    case 1003:
        return {DeleteMessage, DeleteAll};
    case 1005:
        return {NewAddress, Properties, Delete,  Find,         None, LargeIcons,     SmallIcons,    List,
                Details,    None,       Compose, Conversation, None, ImportContacts, ExportContacts};
    case 1007:
        return {SettingsBehaviour, SettingsSending, SettingsConnection};
    case 1008:
        return {Reply, CopyText, Find, None, Delete, None, ReceiveNow};
    case 1009:
        return {Send};
    default:
        return {};
    }
}

std::vector<CommandId> ToolbarButtons(int toolbar)
{
    using enum CommandId;
    switch (toolbar) {
    case 135:
        return {Send, SendLater, SaveDraft, None, Clear, InsertMessage, CheckRecipients};
    case 160:
    case 141:
        return {Edit, Send, None, Delete};
    case 172:
        return {Delete};
    case 153:
        return {DeleteMessage, DeleteAll};
    case 146:
        return {NewAddress, Properties, Delete,  Find, None,   LargeIcons,
                SmallIcons, List,       Details, None, Compose};
    default:
        return {};
    }
}

const std::vector<int>& ToolbarIds()
{
    static const std::vector<int> ids = {146, 141, 153, 172, 160, 135};
    return ids;
}
