#include "contacts/VCardReader.h"

#include <algorithm>
#include <array>
#include <optional>

#include "store/Windows1250.h"

namespace contacts {
namespace {

// ISO 8859-2 above 0xA0; below, it is ISO 8859-1.
constexpr std::array<char16_t, 96> kLatin2High = {
    0x00A0, 0x0104, 0x02D8, 0x0141, 0x00A4, 0x013D, 0x015A, 0x00A7, 0x00A8, 0x0160, 0x015E, 0x0164,
    0x0179, 0x00AD, 0x017D, 0x017B, 0x00B0, 0x0105, 0x02DB, 0x0142, 0x00B4, 0x013E, 0x015B, 0x02C7,
    0x00B8, 0x0161, 0x015F, 0x0165, 0x017A, 0x02DD, 0x017E, 0x017C, 0x0154, 0x00C1, 0x00C2, 0x0102,
    0x00C4, 0x0139, 0x0106, 0x00C7, 0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E,
    0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7, 0x0158, 0x016E, 0x00DA, 0x0170,
    0x00DC, 0x00DD, 0x0162, 0x00DF, 0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F, 0x0111, 0x0144, 0x0148, 0x00F3,
    0x00F4, 0x0151, 0x00F6, 0x00F7, 0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
};

std::string Upper(std::string_view s)
{
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
    return out;
}

std::string Lower(std::string_view s)
{
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return out;
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

std::optional<std::u32string> DecodeUtf8(std::string_view s)
{
    std::u32string out;
    for (std::size_t i = 0; i < s.size();) {
        const auto lead = static_cast<unsigned char>(s[i]);
        int extra = 0;
        char32_t cp = 0;
        char32_t min = 0;
        if (lead < 0x80) {
            out += lead;
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1, cp = lead & 0x1F, min = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2, cp = lead & 0x0F, min = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3, cp = lead & 0x07, min = 0x10000;
        } else {
            return std::nullopt;
        }
        if (i + extra >= s.size())
            return std::nullopt;
        for (int k = 1; k <= extra; ++k) {
            const auto b = static_cast<unsigned char>(s[i + k]);
            if ((b & 0xC0) != 0x80)
                return std::nullopt;
            cp = (cp << 6) | (b & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return std::nullopt;
        out += cp;
        i += extra + 1;
    }
    return out;
}

// Windows' own exports may be UTF-16 with a byte-order mark; everything else is read as bytes.
std::string FromUtf16(std::string_view bytes, bool bigEndian)
{
    std::string out;
    auto unit = [&](std::size_t i) {
        const auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<char32_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
    };
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        char32_t cp = unit(i);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 3 < bytes.size()) {
            const char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        windows1250::AppendUtf8(out, cp);
    }
    return out;
}

bool IsControlByte(unsigned char b)
{
    return (b < 0x20 && b != '\t' && b != '\r' && b != '\n') || b == 0x7F;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string DecodeQuotedPrintable(std::string_view s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '=' && i + 2 < s.size()) {
            const int hi = HexValue(s[i + 1]), lo = HexValue(s[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

// The parameters of one content line, split at unquoted ";".
struct Params
{
    std::vector<std::string> types;
    std::string encoding; // upper case
    std::string charset;  // upper case
};

void AddTypes(Params& p, std::string_view list)
{
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t comma = std::min(list.find(',', start), list.size());
        std::string_view one = Trim(list.substr(start, comma - start));
        if (one.size() >= 2 && one.front() == '"' && one.back() == '"')
            one = one.substr(1, one.size() - 2);
        if (!one.empty())
            p.types.push_back(Lower(one));
        start = comma + 1;
    }
}

Params ParseParams(std::string_view text)
{
    Params p;
    std::vector<std::string_view> pieces;
    bool quoted = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] == '"')
            quoted = !quoted;
        if (i == text.size() || (text[i] == ';' && !quoted)) {
            pieces.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    for (std::string_view piece : pieces) {
        piece = Trim(piece);
        if (piece.empty())
            continue;
        const std::size_t eq = piece.find('=');
        if (eq == std::string_view::npos) {
            // vCard 2.1 writes types and encodings bare: TEL;CELL;PREF, N;QUOTED-PRINTABLE.
            const std::string upper = Upper(piece);
            if (upper == "QUOTED-PRINTABLE" || upper == "BASE64" || upper == "8BIT" || upper == "7BIT")
                p.encoding = upper;
            else
                AddTypes(p, piece);
            continue;
        }
        const std::string name = Upper(Trim(piece.substr(0, eq)));
        std::string_view value = Trim(piece.substr(eq + 1));
        if (name == "TYPE") {
            AddTypes(p, value);
        } else {
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
                value = value.substr(1, value.size() - 2);
            if (name == "ENCODING")
                p.encoding = Upper(value);
            else if (name == "CHARSET")
                p.charset = Upper(value);
        }
    }
    return p;
}

std::u32string Latin(std::string_view bytes, bool latin2)
{
    std::u32string out;
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out += latin2 && b >= 0xA0 ? static_cast<char32_t>(kLatin2High[b - 0xA0]) : static_cast<char32_t>(b);
    }
    return out;
}

std::u32string Cp1250(std::string_view bytes)
{
    std::u32string out;
    for (char c : bytes)
        out += windows1250::ToCodePoint(static_cast<unsigned char>(c));
    return out;
}

// Bytes of a value to Unicode by the declared character set; without one, UTF-8, and for the old
// 2.1 phones that wrote their own code page without saying so, Windows-1250.
std::optional<std::u32string> DecodeText(std::string_view bytes, const std::string& charset, bool v21)
{
    if (charset == "ISO-8859-2" || charset == "LATIN2" || charset == "ISO8859-2")
        return Latin(bytes, true);
    if (charset == "ISO-8859-1" || charset == "LATIN1" || charset == "ISO8859-1" || charset == "US-ASCII")
        return Latin(bytes, false);
    if (charset == "WINDOWS-1250" || charset == "CP1250" || charset == "CP-1250")
        return Cp1250(bytes);
    if (auto utf8 = DecodeUtf8(bytes))
        return utf8;
    if (v21 || !charset.empty())
        return Cp1250(bytes);
    return std::nullopt;
}

struct LogicalLine
{
    std::string text;
    std::size_t number = 0; // of its first physical line
    std::size_t offset = 0; // in the input, for the progress
};

// Finds the colon that ends the name and parameters of a logical line while the line grows by its
// continuations, looking at each byte once: a long folded line without a colon (or with an
// unclosed quote) would otherwise be searched again for every continuation.
class ColonScan
{
public:
    // The colon's position, or npos while the line has none.
    std::size_t Colon(std::string_view text)
    {
        for (; m_colon == std::string_view::npos && m_scanned < text.size(); ++m_scanned) {
            if (text[m_scanned] == '"') {
                m_quoted = !m_quoted;
            } else if (text[m_scanned] == ':' && !m_quoted) {
                m_colon = m_scanned;
                m_quotedPrintable =
                    Upper(text.substr(0, m_colon)).find("QUOTED-PRINTABLE") != std::string::npos;
            }
        }
        return m_colon;
    }
    // Whether the parameters name QUOTED-PRINTABLE; known once the colon is found.
    bool QuotedPrintable(std::string_view text)
    {
        return Colon(text) != std::string_view::npos && m_quotedPrintable;
    }

private:
    std::size_t m_scanned = 0;
    bool m_quoted = false;
    std::size_t m_colon = std::string_view::npos;
    bool m_quotedPrintable = false;
};

// Joins folded lines (a line starting with a blank goes on the previous one) and quoted-printable
// soft line breaks (a value ending in "=" goes on with the next line, blank or not), and hands each
// logical line to handle as soon as it is whole; false from handle stops the reading. Nothing is
// kept of the lines already handed over, so a file of empty lines costs no memory.
template <typename Handle> bool ForEachLogicalLine(std::string_view text, Handle&& handle)
{
    LogicalLine current;
    ColonScan scan;
    bool have = false;
    bool inV21 = false;
    std::size_t number = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find_first_of("\r\n", start), text.size());
        const std::string_view line = text.substr(start, end - start);
        const std::size_t offset = start;
        start = end + (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n' ? 2 : 1);
        ++number;
        if (have) {
            if (!current.text.empty() && current.text.back() == '=' && scan.QuotedPrintable(current.text)) {
                current.text.pop_back();
                current.text.append(line);
                continue;
            }
            if (!line.empty() && (line[0] == ' ' || line[0] == '\t') && !current.text.empty()) {
                // 2.1 folds at a blank and keeps it; 3.0 and 4.0 insert one to be taken out.
                current.text.append(inV21 ? line : line.substr(1));
                continue;
            }
            if (!handle(current, scan))
                return false;
        }
        const std::string_view trimmed = Trim(line);
        if (trimmed.size() <= 11) {
            const std::string upper = Upper(trimmed);
            if (upper == "VERSION:2.1")
                inV21 = true;
            else if (upper == "END:VCARD" || upper == "BEGIN:VCARD")
                inV21 = false;
        }
        current.text.assign(line);
        current.number = number;
        current.offset = offset;
        scan = ColonScan();
        have = true;
    }
    return !have || handle(current, scan);
}

bool IsBlank(std::string_view s)
{
    return Trim(s).empty();
}

} // namespace

std::vector<std::u32string> SplitStructured(const std::u32string& value)
{
    std::vector<std::u32string> parts(1);
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == U'\\' && i + 1 < value.size()) {
            parts.back() += value[i];
            parts.back() += value[++i];
        } else if (value[i] == U';') {
            parts.emplace_back();
        } else {
            parts.back() += value[i];
        }
    }
    for (auto& part : parts)
        part = Unescape(part);
    return parts;
}

std::u32string Unescape(const std::u32string& value)
{
    std::u32string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == U'\\' && i + 1 < value.size()) {
            const char32_t next = value[++i];
            out += next == U'n' || next == U'N' ? U'\n' : next;
        } else {
            out += value[i];
        }
    }
    return out;
}

VCardReadResult ReadVCards(std::string_view bytes, const std::function<void(int)>& progress,
                           const std::vector<std::string>& keep)
{
    VCardReadResult result;
    std::string converted;
    if (bytes.size() >= 2 &&
        ((bytes[0] == '\xFF' && bytes[1] == '\xFE') || (bytes[0] == '\xFE' && bytes[1] == '\xFF'))) {
        converted = FromUtf16(bytes, bytes[0] == '\xFE');
        bytes = converted;
    } else if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
    }
    // A DOS end-of-file mark may close a file written on an old machine.
    while (!bytes.empty() && bytes.back() == '\x1A')
        bytes.remove_suffix(1);
    if (std::any_of(bytes.begin(), bytes.end(),
                    [](char c) { return IsControlByte(static_cast<unsigned char>(c)); })) {
        result.error = VCardError::Binary;
        return result;
    }

    VCard* card = nullptr;
    std::size_t lastReport = 0;
    std::size_t firstNumber = 0;
    std::size_t lastNumber = 0;
    auto fail = [&](VCardError error, std::size_t line) {
        result.error = error;
        result.line = line;
        result.cards.clear();
        return false;
    };
    const bool whole = ForEachLogicalLine(bytes, [&](const LogicalLine& line, ColonScan& scan) {
        if (firstNumber == 0)
            firstNumber = line.number;
        lastNumber = line.number;
        if (progress && bytes.size() > 0 && line.offset - lastReport > 256 * 1024) {
            lastReport = line.offset;
            progress(static_cast<int>(line.offset * 100 / bytes.size()));
        }
        if (IsBlank(line.text))
            return true;
        const std::size_t colon = scan.Colon(line.text);
        if (colon == std::string::npos) {
            // Inside a card: the undented rest of a 2.1 picture. Outside: not a vCard file.
            if (!card)
                return fail(VCardError::NotVCard, line.number);
            return true;
        }
        std::string_view head = std::string_view(line.text).substr(0, colon);
        const std::string_view rawValue = std::string_view(line.text).substr(colon + 1);
        const std::size_t semicolon = std::min(head.find(';'), head.size());
        std::string name = Upper(Trim(head.substr(0, semicolon)));
        if (const std::size_t dot = name.rfind('.'); dot != std::string::npos)
            name.erase(0, dot + 1);
        const bool beginOrEnd = (name == "BEGIN" || name == "END") && Trim(rawValue).size() == 5;
        const bool vcard = beginOrEnd && Upper(Trim(rawValue)) == "VCARD";

        if (name == "BEGIN" && vcard) {
            if (card)
                return fail(VCardError::CutOff, line.number);
            result.cards.emplace_back();
            result.card = result.cards.size();
            card = &result.cards.back();
            return true;
        }
        if (name == "END" && vcard) {
            if (!card)
                return fail(VCardError::NotVCard, line.number);
            card = nullptr;
            return true;
        }
        if (!card)
            return fail(VCardError::NotVCard, line.number);
        if (name == "VERSION") {
            card->version = std::string(Trim(rawValue));
            return true;
        }
        const Params params = ParseParams(head.substr(semicolon));
        VCardProperty property;
        property.name = std::move(name);
        property.types = params.types;
        if (params.encoding == "BASE64" || params.encoding == "B")
            return true; // pictures and sounds: nothing the address book keeps
        const bool v21 = card->version == "2.1";
        const bool qp = params.encoding == "QUOTED-PRINTABLE";
        const std::string unquoted = qp ? DecodeQuotedPrintable(rawValue) : std::string();
        auto text = DecodeText(qp ? std::string_view(unquoted) : rawValue, params.charset, v21);
        if (!text)
            return fail(VCardError::NotUtf8, line.number);
        if (!keep.empty() && std::find(keep.begin(), keep.end(), property.name) == keep.end())
            return true;
        property.value = std::move(*text);
        card->properties.push_back(std::move(property));
        return true;
    });
    if (!whole)
        return result;
    if (card) {
        result.line = lastNumber;
        result.error = VCardError::CutOff;
        result.cards.clear();
        return result;
    }
    if (result.cards.empty()) {
        fail(VCardError::NotVCard, firstNumber);
        return result;
    }
    result.card = 0;
    if (progress)
        progress(100);
    return result;
}

} // namespace contacts
