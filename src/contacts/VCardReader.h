#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace contacts {

// One content line of a card, its value decoded to Unicode (transfer encoding and character set
// undone) but still escaped: structured values are split before their parts are unescaped.
struct VCardProperty
{
    std::string name;               // upper case, without its group ("item1.TEL" -> "TEL")
    std::vector<std::string> types; // lower case, from TYPE=a,b, type=a;type=b and 2.1's bare CELL;PREF
    std::u32string value;
};

struct VCard
{
    std::string version; // "2.1", "3.0", "4.0" as written
    std::vector<VCardProperty> properties;
};

enum class VCardError
{
    None,
    NotVCard, // no card, or text outside cards
    CutOff,   // a card without its END:VCARD
    Binary,   // control bytes: not a text file
    NotUtf8,  // a 3.0 or 4.0 value that is not UTF-8 and names no character set
};

struct VCardReadResult
{
    std::vector<VCard> cards;
    VCardError error = VCardError::None;
    std::size_t line = 0; // where the reading stopped (1-based), for the message
    std::size_t card = 0; // the card cut off (1-based)
};

// Reads every card of a file. Understands vCard 2.1 (bare types, QUOTED-PRINTABLE with soft line
// breaks, CHARSET=), 3.0 and 4.0, folded lines, groups, quoted parameter values, a byte-order mark
// and UTF-16. progress gets the share of the input read so far, 0 to 100. keep names the properties
// kept (upper case, without group); empty keeps every one. The others are still checked, so a file
// is refused for the same faults either way, but cost no memory: a card of a million tiny
// properties the caller has no use for must not take gigabytes.
VCardReadResult ReadVCards(std::string_view bytes, const std::function<void(int)>& progress = {},
                           const std::vector<std::string>& keep = {});

// Splits a structured value (N) at unescaped ";" and unescapes each part.
std::vector<std::u32string> SplitStructured(const std::u32string& value);
// Undoes the text escapes \\ \, \; \n.
std::u32string Unescape(const std::u32string& value);

} // namespace contacts
