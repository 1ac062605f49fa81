// send, later, send-outbox: what the composing window's "Wyślij" and "Wyślij później" and the
// outbox question at closing do, from a terminal.

#include <chrono>
#include <iostream>

#include "cli/Command.h"
#include "store/Recipients.h"
#include "store/Windows1250.h"

namespace {

constexpr std::size_t kMaxText = 160;

// The recipients check: names with an entry stay, names without one stay too (as when the user
// keeps them in the check dialog) but are reported, empty pieces go.
std::string CheckRecipients(const CAddressBook& book, const std::string& recipients)
{
    std::string checked;
    for (const auto& name : ::recipients::Split(recipients)) {
        if (name.empty())
            continue;
        if (!book.ExistsDisplayName(name))
            PrintError(
                windows1250::FromUtf8Lossy("Brak wpisu „") + name +
                windows1250::FromUtf8Lossy("” w książce adresowej: ta osoba nie dostanie wiadomości."));
        checked += (checked.empty() ? "" : ";") + name;
    }
    return checked;
}

// The full numbers of the names that have an entry, in order.
std::string NumbersFor(const CAddressBook& book, const std::string& recipients)
{
    std::string numbers;
    for (const auto& name : ::recipients::Split(recipients)) {
        const CAddress* entry = book.FindByDisplayName(name);
        if (entry)
            numbers += (numbers.empty() ? "" : ";") + entry->GetFullNumber();
    }
    return numbers;
}

bool ReadText(CCommandContext& ctx, std::string& text)
{
    if (!ctx.OptionText("text", text))
        return false;
    if (text.empty()) {
        PrintErrorUtf8("Podaj treść wiadomości (--text).");
        return false;
    }
    if (text.size() > kMaxText) {
        PrintErrorUtf8("Wiadomość może mieć najwyżej 160 znaków.");
        return false;
    }
    return true;
}

bool ReadRecipients(CCommandContext& ctx, std::string& recipients)
{
    if (!ctx.OptionText("to", recipients))
        return false;
    if (recipients.empty()) {
        PrintErrorUtf8("Podaj odbiorców (--to \"NAZWA;NAZWA\").");
        return false;
    }
    return true;
}

// A --timeout that is not a whole number of seconds from 1 up is bad usage; false (and the message)
// then.
bool TimeoutIsValid(CCommandContext& ctx)
{
    bool valid = true;
    const int seconds = ctx.Parser().value("timeout").toInt(&valid);
    if (ctx.Parser().isSet("timeout") && (!valid || seconds < 1)) {
        PrintErrorUtf8("Podaj czas oczekiwania w sekundach (--timeout).");
        return false;
    }
    return true;
}

// The document for sending; the context fills in the signature and the phone's port. --timeout
// bounds each wait for a gateway, and three such waits the whole exchange.
std::unique_ptr<CBrivantelDoc> OpenForSending(CCommandContext& ctx)
{
    bool valid = true;
    const auto seconds = std::chrono::seconds(ctx.Parser().value("timeout").toInt(&valid));
    if (ctx.Parser().isSet("timeout") && (!valid || seconds.count() < 1)) {
        PrintErrorUtf8("Podaj czas oczekiwania w sekundach (--timeout).");
        return nullptr;
    }
    auto doc = ctx.OpenDocument(CBrivantelDoc::Access::ReadWrite);
    if (doc && ctx.Parser().isSet("timeout"))
        doc->GetSender().SetTimeouts({{seconds, seconds, seconds}, 3 * seconds});
    return doc;
}

int Finish(CBrivantelDoc& doc, const CBrivantelDoc::SendCount& count)
{
    std::cerr << "Wysłano: " << count.sent << ", niewysłane: " << count.failed << '.' << std::endl;
    const bool saved = doc.SaveDataFile();
    if (const int interrupted = InterruptedStatus(saved))
        return interrupted;
    return saved && count.failed == 0 ? kExitOk : kExitFailed;
}

int Send(CCommandContext& ctx)
{
    const bool byName = ctx.Parser().isSet("to");
    if (byName == ctx.Parser().isSet("number")) {
        PrintErrorUtf8("Podaj odbiorców: --to (nazwy z książki adresowej) albo --number (numery), nie oba.");
        return kExitUsage;
    }
    std::string text, recipients;
    if (!ReadText(ctx, text))
        return kExitUsage;
    if (byName ? !ReadRecipients(ctx, recipients) : !ctx.OptionText("number", recipients))
        return kExitUsage;
    if (!TimeoutIsValid(ctx))
        return kExitUsage;
    EndOnSignals();
    auto doc = OpenForSending(ctx);
    if (!doc)
        return kExitFailed;
    std::string numbers = recipients;
    if (byName) {
        recipients = CheckRecipients(doc->GetAddressBook(), recipients);
        numbers = NumbersFor(doc->GetAddressBook(), recipients);
    }
    if (numbers.find_first_not_of(';') == std::string::npos) {
        // Queued, such a message could never leave: nothing is filed.
        PrintErrorUtf8("Nie wysłano wiadomości: żaden z odbiorców nie ma numeru.");
        return kExitFailed;
    }
    CBrivantelDoc::SendCount count;
    if (!doc->SendToRecipients(recipients, numbers, text, ROUTE_CONFIGURED, &count))
        return kExitFailed;
    return Finish(*doc, count);
}

int Later(CCommandContext& ctx)
{
    std::string text, recipients;
    if (!ReadText(ctx, text) || !ReadRecipients(ctx, recipients))
        return kExitUsage;
    EndOnSignals();
    auto doc = ctx.OpenDocument(CBrivantelDoc::Access::ReadWrite);
    if (!doc)
        return kExitFailed;
    // One message for the whole recipients text, as the composing window queues it.
    auto message = std::make_unique<CMessage>(recipients, text);
    if (!doc->GetOutbox().AddMessage(message)) {
        PrintErrorUtf8("Brak pamięci na nową wiadomość.");
        return kExitFailed;
    }
    const bool saved = doc->SaveDataFile();
    if (const int interrupted = InterruptedStatus(saved))
        return interrupted;
    return saved ? kExitOk : kExitFailed;
}

int SendOutbox(CCommandContext& ctx)
{
    if (!TimeoutIsValid(ctx))
        return kExitUsage;
    EndOnSignals();
    auto doc = OpenForSending(ctx);
    if (!doc)
        return kExitFailed;
    if (doc->GetOutbox().GetCount() == 0) {
        PrintErrorUtf8("Folder „Wiadomości wysyłane” jest pusty.");
        return kExitOk;
    }
    CBrivantelDoc::SendCount count;
    doc->SendOutbox(&count);
    return Finish(*doc, count);
}

} // namespace

std::vector<CCommand> SendCommands()
{
    const QCommandLineOption to("to", "Odbiorcy: nazwy z książki adresowej rozdzielone „;”.", "NAZWY");
    const QCommandLineOption number("number", "Pełne numery (+48...) rozdzielone „;”.", "NUMERY");
    const QCommandLineOption text("text", "Treść wiadomości (najwyżej 160 znaków).", "TEKST");
    const QCommandLineOption timeout("timeout", "Ile sekund czekać na bramkę (domyślnie 30).", "SEKUNDY");
    return {
        {{"send"},
         "send (--to \"NAZWA;NAZWA\" | --number \"NUMER;NUMER\") --text TEKST",
         "Wysyła wiadomość jak przycisk „Wyślij”; kod 0, gdy wyszła do każdego numeru.",
         {to, number, text, timeout},
         0,
         Send},
        {{"later"},
         "later --to \"NAZWA;NAZWA\" --text TEKST",
         "Odkłada wiadomość do folderu „Wiadomości wysyłane” jak „Wyślij później”.",
         {to, text},
         0,
         Later},
        {{"send-outbox"},
         "send-outbox",
         "Wysyła wiadomości z folderu „Wiadomości wysyłane”; każda niewysłana jest wypisana.",
         {timeout},
         0,
         SendOutbox},
    };
}
