#include "contacts/ContactsImport.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <set>
#include <sys/stat.h>
#include <utility>
#include <vector>

#include "contacts/PhoneNumber.h"
#include "contacts/TextFolding.h"
#include "contacts/VCardReader.h"
#include "store/AddressBook.h"
#include "store/Windows1250.h"

namespace contacts {
namespace {

std::string Text(std::string_view utf8)
{
    return windows1250::FromUtf8Lossy(utf8);
}

std::string ErrorText(const VCardReadResult& read)
{
    std::string reason;
    switch (read.error) {
    case VCardError::NotVCard:
        reason = read.line ? "to nie jest plik vCard (wiersz " + std::to_string(read.line) +
                                 " nie należy do żadnej karty BEGIN:VCARD ... END:VCARD)."
                           : "to nie jest plik vCard: nie ma w nim żadnej karty.";
        break;
    case VCardError::CutOff:
        reason =
            "plik jest ucięty: karta nr " + std::to_string(read.card) + " nie kończy się wierszem END:VCARD.";
        break;
    case VCardError::Binary:
        reason = "plik zawiera dane binarne, a nie tekst kart vCard.";
        break;
    case VCardError::NotUtf8:
        reason = "wiersz " + std::to_string(read.line) +
                 " nie jest zapisany w UTF-8, a karta nie podaje kodowania.";
        break;
    case VCardError::None:
        break;
    }
    return Text("Nie zaimportowano kontaktów: " + reason);
}

bool HasType(const VCardProperty& p, std::string_view type)
{
    for (const auto& t : p.types)
        if (t == type)
            return true;
    return false;
}

// Whether a number of this kind and these types is one to send messages to. Polish numbers tell
// it by their first digits whatever the card says; other countries' only by the card's types.
bool Wanted(const ParsedNumber& number, const VCardProperty& p)
{
    const bool cell = HasType(p, "cell") || HasType(p, "mobile") || HasType(p, "iphone");
    if (!cell && (HasType(p, "fax") || HasType(p, "pager")))
        return false;
    switch (number.kind) {
    case NumberKind::Mobile:
        return true;
    case NumberKind::Foreign: {
        bool typed = false;
        for (const auto& t : p.types)
            if (t != "pref" && t != "voice" && t != "x-voice")
                typed = true;
        return cell || !typed;
    }
    case NumberKind::NotMobile:
    case NumberKind::Unreadable:
        break;
    }
    return false;
}

struct Names
{
    std::string first, surname, display;
    bool changed = false;
};

// First name and surname from N, the display name from FN; without FN the name the entry editor
// proposes from the two, and without either the organisation.
Names NamesOf(const VCard& card)
{
    Names names;
    std::u32string fn, org;
    bool haveN = false;
    for (const auto& p : card.properties) {
        bool changed = false;
        if (p.name == "N" && !haveN) {
            const auto parts = SplitStructured(p.value);
            names.surname = ToWindows1250(parts[0], changed);
            names.changed |= changed;
            if (parts.size() > 1) {
                names.first = ToWindows1250(parts[1], changed);
                names.changed |= changed;
            }
            haveN = true;
        } else if (p.name == "FN" && fn.empty()) {
            fn = Unescape(p.value);
        } else if (p.name == "ORG" && org.empty()) {
            org = SplitStructured(p.value)[0];
        }
    }
    // A list of given names ("Jan,Maria") reads as the names one after another.
    for (auto& c : names.first)
        if (c == ',')
            c = ' ';
    bool changed = false;
    names.display = ToWindows1250(fn, changed);
    if (names.display.empty()) {
        names.display = address_rules::DisplayNameFrom(names.first, names.surname);
        changed = false;
    }
    if (names.display.empty())
        names.display = ToWindows1250(org, changed);
    names.changed |= changed;
    return names;
}

using Key = std::pair<std::string, std::string>; // full number, display name

} // namespace

bool ImportVCards(std::string_view bytes, CAddressBook& book, ImportSummary& summary, std::string& error,
                  const std::function<void(int)>& progress)
{
    summary = {};
    if (bytes.size() > kMaxFileSize) {
        error = Text("Nie zaimportowano kontaktów: plik ma więcej niż 20 MB.");
        return false;
    }
    // Only what becomes an entry is kept of each card.
    const VCardReadResult read = ReadVCards(bytes, progress, {"N", "FN", "ORG", "TEL"});
    if (read.error != VCardError::None) {
        error = ErrorText(read);
        return false;
    }

    std::set<Key> known;
    for (const auto& entry : book.GetEntries())
        known.emplace(entry->GetFullNumber(), entry->GetDisplayName());

    std::vector<std::pair<std::unique_ptr<CAddress>, bool>> fresh; // entry, names changed
    for (const VCard& card : read.cards) {
        const Names names = NamesOf(card);
        int numberOfCard = 0;
        for (const auto& p : card.properties) {
            if (p.name != "TEL")
                continue;
            bool unused = false;
            const ParsedNumber number = ParsePhoneNumber(ToWindows1250(Unescape(p.value), unused));
            if (!Wanted(number, p)) {
                ++summary.skippedNumbers;
                continue;
            }
            auto entry = std::make_unique<CAddress>();
            entry->SetFirstName(names.first);
            entry->SetSurname(names.surname);
            // A second mobile number of the same person gets a name of its own: recipients are
            // chosen by display name, and the first entry of a name is the one that is used.
            const std::string display = ++numberOfCard == 1
                                            ? names.display
                                            : names.display + " (" + std::to_string(numberOfCard) + ")";
            entry->SetDisplayName(display);
            entry->SetCountryPrefix(number.parts.countryPrefix);
            entry->SetOperatorCode(number.parts.operatorCode);
            entry->SetSubscriberNumber(number.parts.subscriberNumber);
            if (address_rules::Check(*entry) != address_rules::Problem::None || names.display.empty()) {
                ++summary.skippedNumbers;
                --numberOfCard;
                continue;
            }
            if (!known.emplace(entry->GetFullNumber(), entry->GetDisplayName()).second) {
                ++summary.alreadyInBook;
                continue;
            }
            fresh.emplace_back(std::move(entry), names.changed);
        }
    }

    for (auto& [entry, changed] : fresh) {
        if (!book.AddAddress(entry))
            break;
        ++summary.added;
        if (changed)
            ++summary.namesChanged;
    }
    return true;
}

bool ReadContactsFile(const std::string& path, std::string& bytes, std::string& error)
{
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0) {
        error = Text("Nie można otworzyć pliku ") + path + ": " + Text(std::strerror(errno));
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = Text("Nie zaimportowano kontaktów: ") + path + Text(" nie jest zwykłym plikiem.");
        return false;
    }
    if (static_cast<unsigned long long>(st.st_size) > kMaxFileSize) {
        error = Text("Nie zaimportowano kontaktów: plik ma więcej niż 20 MB.");
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = Text("Nie można otworzyć pliku ") + path + ": " + Text(std::strerror(errno));
        return false;
    }
    // Read one byte past the limit: the file may have grown since it was measured.
    bytes.assign(kMaxFileSize + 1, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (in.bad()) {
        error = Text("Nie można odczytać pliku ") + path + ".";
        return false;
    }
    if (bytes.size() > kMaxFileSize) {
        error = Text("Nie zaimportowano kontaktów: plik ma więcej niż 20 MB.");
        return false;
    }
    return true;
}

namespace {

// Polish plural: the form for 1, for 2-4 (but not 12-14), and for the rest.
const char* Plural(int n, const char* one, const char* few, const char* many)
{
    if (n == 1)
        return one;
    const int tens = n % 100, units = n % 10;
    if (units >= 2 && units <= 4 && (tens < 12 || tens > 14))
        return few;
    return many;
}

} // namespace

std::string SummaryText(const ImportSummary& s)
{
    std::string text =
        "Dodano " + std::to_string(s.added) + " " + Plural(s.added, "kontakt", "kontakty", "kontaktów") +
        ", pominięto " + std::to_string(s.skippedNumbers) + " " +
        Plural(s.skippedNumbers, "numer", "numery", "numerów") + ", " + std::to_string(s.alreadyInBook) +
        " " + Plural(s.alreadyInBook, "kontakt był", "kontakty były", "kontaktów było") + " już w książce.";
    if (s.namesChanged > 0)
        text += " W " + std::to_string(s.namesChanged) + " " + (s.namesChanged == 1 ? "nazwie" : "nazwach") +
                " znaki spoza polskiego alfabetu zastąpiono literami bez akcentów lub znakiem „?”.";
    return Text(text);
}

namespace {

std::string Escape(const std::string& windows1250Text)
{
    std::string out;
    for (char c : windows1250::ToUtf8(windows1250Text)) {
        if (c == '\\' || c == ',' || c == ';')
            out += '\\';
        if (c == '\r')
            continue;
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out;
}

// Lines longer than 75 octets are folded, never inside a UTF-8 sequence.
void AppendLine(std::string& out, const std::string& line)
{
    std::size_t width = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        std::size_t length = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : 4;
        length = std::min(length, line.size() - i);
        if (width + length > 75) {
            out += "\r\n ";
            width = 1;
        }
        out.append(line, i, length);
        width += length;
        i += length - 1;
    }
    out += "\r\n";
}

} // namespace

std::string ExportVCards(const CAddressBook& book)
{
    std::string out;
    for (const auto& entry : book.GetEntries()) {
        std::string display = entry->GetDisplayName();
        if (display.empty())
            display = address_rules::DisplayNameFrom(entry->GetFirstName(), entry->GetSurname());
        if (display.empty())
            display = entry->GetFullNumber();
        AppendLine(out, "BEGIN:VCARD");
        AppendLine(out, "VERSION:4.0");
        AppendLine(out, "N:" + Escape(entry->GetSurname()) + ";" + Escape(entry->GetFirstName()) + ";;;");
        AppendLine(out, "FN:" + Escape(display));
        AppendLine(out, "TEL;TYPE=cell:" + Escape(entry->GetFullNumber()));
        AppendLine(out, "END:VCARD");
    }
    return out;
}

} // namespace contacts
