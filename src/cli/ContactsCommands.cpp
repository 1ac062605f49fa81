#include <fstream>
#include <iostream>

#include "cli/Command.h"
#include "contacts/ContactsImport.h"
#include "store/Windows1250.h"

namespace {

void PrintEntry(const CAddress& entry)
{
    std::cout << windows1250::ToUtf8(entry.GetDisplayName()) << '\t' << windows1250::ToUtf8(entry.GetFullNumber())
              << '\n';
}

int List(CCommandContext& ctx)
{
    auto doc = ctx.OpenDocument(CBrivantelDoc::Access::ReadOnly);
    if (!doc)
        return kExitFailed;
    for (const auto& entry : doc->GetAddressBook().GetEntries())
        PrintEntry(*entry);
    std::cout.flush();
    return kExitOk;
}

const char* ProblemText(address_rules::Problem problem)
{
    switch (problem) {
    case address_rules::Problem::CountryPrefix:
        return "Prefiks kraju musi mieć postać „+” i liczby bez zer na początku (np. +48).";
    case address_rules::Problem::OperatorCode:
        return "Kod operatora musi być liczbą bez zer na początku (np. 602).";
    case address_rules::Problem::NoName:
        return "Podaj imię, nazwisko lub nazwę wyświetlaną.";
    case address_rules::Problem::NoSubscriberNumber:
        return "Podaj numer abonenta.";
    case address_rules::Problem::SubscriberNumber:
        return "Numer abonenta może zawierać tylko cyfry.";
    case address_rules::Problem::None:
        break;
    }
    return "";
}

// The entry as the editor would build it: the display name follows the names unless given.
bool EntryFromOptions(CCommandContext& ctx, CAddress& entry)
{
    std::string first, surname, display, prefix, op, number;
    if (!ctx.OptionText("first", first) || !ctx.OptionText("surname", surname) ||
        !ctx.OptionText("display", display) || !ctx.OptionText("prefix", prefix) ||
        !ctx.OptionText("operator", op) || !ctx.OptionText("number", number))
        return false;
    if (!ctx.Parser().isSet("display"))
        display = address_rules::DisplayNameFrom(first, surname);
    entry.SetFirstName(first);
    entry.SetSurname(surname);
    entry.SetDisplayName(display);
    entry.SetCountryPrefix(ctx.Parser().isSet("prefix") ? prefix : std::string("+48"));
    entry.SetOperatorCode(op);
    entry.SetSubscriberNumber(number);
    const auto problem = address_rules::Check(entry);
    if (problem != address_rules::Problem::None) {
        PrintErrorUtf8(std::string("Nie dodano wpisu: ") + ProblemText(problem));
        return false;
    }
    return true;
}

int Add(CCommandContext& ctx)
{
    auto entry = std::make_unique<CAddress>();
    if (!EntryFromOptions(ctx, *entry))
        return kExitUsage;
    auto doc = ctx.OpenDocument(CBrivantelDoc::Access::ReadWrite);
    if (!doc)
        return kExitFailed;
    if (!doc->GetAddressBook().AddAddress(entry)) {
        PrintErrorUtf8("Brak pamięci na nowy wpis.");
        return kExitFailed;
    }
    return doc->SaveDataFile() ? kExitOk : kExitFailed;
}

int Find(CCommandContext& ctx)
{
    std::string name, number;
    if (!ctx.OptionText("name", name) || !ctx.OptionText("number", number))
        return kExitUsage;
    if (name.empty() && number.empty()) {
        PrintErrorUtf8("Wprowaź dane do wyszukania.");
        return kExitUsage;
    }
    auto doc = ctx.OpenDocument(CBrivantelDoc::Access::ReadOnly);
    if (!doc)
        return kExitFailed;
    CAddressBook& book = doc->GetAddressBook();
    for (CAddress* hit = book.FindFirst(name, number); hit; hit = book.FindNext())
        PrintEntry(*hit);
    std::cout.flush();
    return kExitOk;
}

int Import(CCommandContext& ctx)
{
    std::string bytes, error;
    if (!contacts::ReadContactsFile(ctx.Positional().at(0).toStdString(), bytes, error)) {
        PrintErrorUtf8(windows1250::ToUtf8(error));
        return kExitFailed;
    }
    auto doc = ctx.OpenDocument(CBrivantelDoc::Access::ReadWrite);
    if (!doc)
        return kExitFailed;
    contacts::ImportSummary summary;
    if (!contacts::ImportVCards(bytes, doc->GetAddressBook(), summary, error)) {
        PrintErrorUtf8(windows1250::ToUtf8(error));
        return kExitUsage;
    }
    if (summary.added > 0 && !doc->SaveDataFile())
        return kExitFailed;
    std::cout << windows1250::ToUtf8(contacts::SummaryText(summary)) << std::endl;
    return kExitOk;
}

int Export(CCommandContext& ctx)
{
    auto doc = ctx.OpenDocument(CBrivantelDoc::Access::ReadOnly);
    if (!doc)
        return kExitFailed;
    const std::string vcf = contacts::ExportVCards(doc->GetAddressBook());
    if (ctx.Positional().isEmpty()) {
        std::cout << vcf;
        std::cout.flush();
        return std::cout ? kExitOk : kExitFailed;
    }
    const std::string path = ctx.Positional().at(0).toStdString();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << vcf;
    out.close();
    if (!out) {
        PrintErrorUtf8("Nie można zapisać pliku " + path + ".");
        return kExitFailed;
    }
    return kExitOk;
}

} // namespace

std::vector<CCommand> ContactsCommands()
{
    const QCommandLineOption first("first", "Imię.", "F");
    const QCommandLineOption surname("surname", "Nazwisko.", "S");
    const QCommandLineOption display("display", "Nazwa wyświetlana (domyślnie imię i nazwisko).", "D");
    const QCommandLineOption prefix("prefix", "Prefiks kraju (domyślnie +48).", "P");
    const QCommandLineOption op("operator", "Kod operatora, np. 602.", "O");
    const QCommandLineOption number("number", "Numer abonenta.", "N");
    const QCommandLineOption findName("name", "Fragment nazwy wyświetlanej.", "X");
    const QCommandLineOption findNumber("number", "Fragment numeru telefonu.", "Y");
    return {
        {{"contacts", "list"}, "contacts list", "Wypisuje książkę adresową: nazwa i numer.", {}, 0, List},
        {{"contacts", "add"},
         "contacts add --first F --surname S [--display D] [--prefix +48] --operator 602 --number N",
         "Dodaje wpis do książki adresowej (zasady jak w oknie wpisu).",
         {first, surname, display, prefix, op, number},
         0,
         Add},
        {{"contacts", "find"},
         "contacts find [--name X] [--number Y]",
         "Szuka wpisów (wielkość liter bez znaczenia), w kolejności książki.",
         {findName, findNumber},
         0,
         Find},
        {{"contacts", "import"},
         "contacts import PLIK.vcf",
         "Dodaje do książki numery komórkowe z kart vCard (2.1, 3.0, 4.0); bez powtórzeń.",
         {},
         1,
         Import},
        {{"contacts", "export"},
         "contacts export [PLIK.vcf]",
         "Zapisuje książkę jako karty vCard 4.0 w UTF-8 (domyślnie na standardowe wyjście).",
         {},
         0,
         Export,
         1},
    };
}
