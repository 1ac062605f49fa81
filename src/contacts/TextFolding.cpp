#include "contacts/TextFolding.h"

#include <array>
#include <string_view>

#include "store/Windows1250.h"

namespace contacts {
namespace {

// Base letters of U+00C0 to U+017F, "?" where a character has none.
constexpr std::string_view kBaseLetters = "AAAAAA?CEEEEIIII"
                                          "DNOOOOO?OUUUUY??"
                                          "aaaaaa?ceeeeiiii"
                                          "dnooooo?ouuuuy?y"
                                          "AaAaAaCcCcCcCcDd"
                                          "DdEeEeEeEeEeGgGg"
                                          "GgGgHhHhIiIiIiIi"
                                          "Ii??JjKk?LlLlLlL"
                                          "lLlNnNnNnn??OoOo"
                                          "Oo??RrRrRrSsSsSs"
                                          "SsTtTtTtUuUuUuUu"
                                          "UuUuWwYyYZzZzZzs";

struct Composition
{
    char32_t base;
    char32_t mark;
    char32_t composed;
};

// Text written decomposed (a letter followed by a combining accent, as some Apple programs write
// it) joined back for the letters of Polish and its neighbours.
constexpr std::array<Composition, 40> kCompositions = {{
    {U'a', 0x0328, 0x0105}, {U'A', 0x0328, 0x0104}, {U'e', 0x0328, 0x0119}, {U'E', 0x0328, 0x0118},
    {U'c', 0x0301, 0x0107}, {U'C', 0x0301, 0x0106}, {U'n', 0x0301, 0x0144}, {U'N', 0x0301, 0x0143},
    {U'o', 0x0301, 0x00F3}, {U'O', 0x0301, 0x00D3}, {U's', 0x0301, 0x015B}, {U'S', 0x0301, 0x015A},
    {U'z', 0x0301, 0x017A}, {U'Z', 0x0301, 0x0179}, {U'z', 0x0307, 0x017C}, {U'Z', 0x0307, 0x017B},
    {U'a', 0x0301, 0x00E1}, {U'A', 0x0301, 0x00C1}, {U'e', 0x0301, 0x00E9}, {U'E', 0x0301, 0x00C9},
    {U'i', 0x0301, 0x00ED}, {U'I', 0x0301, 0x00CD}, {U'u', 0x0301, 0x00FA}, {U'U', 0x0301, 0x00DA},
    {U'y', 0x0301, 0x00FD}, {U'Y', 0x0301, 0x00DD}, {U'c', 0x030C, 0x010D}, {U'C', 0x030C, 0x010C},
    {U's', 0x030C, 0x0161}, {U'S', 0x030C, 0x0160}, {U'z', 0x030C, 0x017E}, {U'Z', 0x030C, 0x017D},
    {U'e', 0x030C, 0x011B}, {U'E', 0x030C, 0x011A}, {U'r', 0x030C, 0x0159}, {U'R', 0x030C, 0x0158},
    {U'o', 0x0308, 0x00F6}, {U'O', 0x0308, 0x00D6}, {U'u', 0x0308, 0x00FC}, {U'U', 0x0308, 0x00DC},
}};

bool IsCombiningMark(char32_t cp)
{
    return cp >= 0x0300 && cp <= 0x036F;
}

std::u32string Compose(const std::u32string& text)
{
    std::u32string out;
    for (char32_t cp : text) {
        if (IsCombiningMark(cp) && !out.empty()) {
            bool joined = false;
            for (const auto& c : kCompositions) {
                if (c.base == out.back() && c.mark == cp) {
                    out.back() = c.composed;
                    joined = true;
                    break;
                }
            }
            if (joined)
                continue;
        }
        out += cp;
    }
    return out;
}

} // namespace

std::string ToWindows1250(const std::u32string& text, bool& changed)
{
    changed = false;
    std::string out;
    for (char32_t cp : Compose(text)) {
        if (cp == U'\n' || cp == U'\r' || cp == U'\t') {
            out += ' ';
            continue;
        }
        if (cp < 0x20 || cp == 0x7F)
            continue;
        if (const auto byte = windows1250::FromCodePoint(cp)) {
            out += static_cast<char>(*byte);
            continue;
        }
        changed = true;
        if (IsCombiningMark(cp))
            continue; // the accent of a letter the code page lacks: the letter stays
        if (cp >= 0xC0 && cp < 0xC0 + kBaseLetters.size())
            out += kBaseLetters[cp - 0xC0];
        else
            out += '?';
    }
    const auto first = out.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

} // namespace contacts
