#include "sms/GsmAlphabet.h"

namespace sms {
namespace {

constexpr std::uint8_t kEscape = 0x1B;
constexpr char32_t kReplacement = 0xFFFD;

// The default alphabet, by septet value, eight to a row.
// clang-format off
constexpr char16_t kDefault[128] = {
    u'@',    u'\u00A3', u'$',     u'\u00A5', u'\u00E8', u'\u00E9', u'\u00F9', u'\u00EC', // 0x00
    u'\u00F2', u'\u00C7', u'\n',  u'\u00D8', u'\u00F8', u'\r',     u'\u00C5', u'\u00E5', // 0x08
    u'\u0394', u'_',    u'\u03A6', u'\u0393', u'\u039B', u'\u03A9', u'\u03A0', u'\u03A8', // 0x10
    u'\u03A3', u'\u0398', u'\u039E', u' ',   u'\u00C6', u'\u00E6', u'\u00DF', u'\u00C9', // 0x18
    u' ',    u'!',      u'"',     u'#',      u'\u00A4', u'%',      u'&',      u'\'',     // 0x20
    u'(',    u')',      u'*',     u'+',      u',',      u'-',      u'.',      u'/',      // 0x28
    u'0',    u'1',      u'2',     u'3',      u'4',      u'5',      u'6',      u'7',      // 0x30
    u'8',    u'9',      u':',     u';',      u'<',      u'=',      u'>',      u'?',      // 0x38
    u'\u00A1', u'A',    u'B',     u'C',      u'D',      u'E',      u'F',      u'G',      // 0x40
    u'H',    u'I',      u'J',     u'K',      u'L',      u'M',      u'N',      u'O',      // 0x48
    u'P',    u'Q',      u'R',     u'S',      u'T',      u'U',      u'V',      u'W',      // 0x50
    u'X',    u'Y',      u'Z',     u'\u00C4', u'\u00D6', u'\u00D1', u'\u00DC', u'\u00A7', // 0x58
    u'\u00BF', u'a',    u'b',     u'c',      u'd',      u'e',      u'f',      u'g',      // 0x60
    u'h',    u'i',      u'j',     u'k',      u'l',      u'm',      u'n',      u'o',      // 0x68
    u'p',    u'q',      u'r',     u's',      u't',      u'u',      u'v',      u'w',      // 0x70
    u'x',    u'y',      u'z',     u'\u00E4', u'\u00F6', u'\u00F1', u'\u00FC', u'\u00E0', // 0x78
};
// clang-format on

// The extension table: what follows an escape. 0 where the table has nothing.
char16_t Extension(std::uint8_t code)
{
    switch (code) {
    case 0x0A:
        return u'\f';
    case 0x14:
        return u'^';
    case 0x28:
        return u'{';
    case 0x29:
        return u'}';
    case 0x2F:
        return u'\\';
    case 0x3C:
        return u'[';
    case 0x3D:
        return u'~';
    case 0x3E:
        return u']';
    case 0x40:
        return u'|';
    case 0x65:
        return u'\u20AC';
    default:
        return 0;
    }
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

void AppendUtf8(std::string& out, char32_t c)
{
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        c = kReplacement;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::vector<std::uint8_t> UnpackSeptets(const std::uint8_t* bytes, std::size_t size, std::size_t count,
                                        unsigned fillBits)
{
    std::vector<std::uint8_t> septets;
    septets.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        // Septets are packed from the least significant bit of each octet upwards.
        const std::size_t bit = fillBits + i * 7;
        const std::size_t octet = bit / 8;
        const unsigned shift = static_cast<unsigned>(bit % 8);
        if (octet >= size)
            break;
        unsigned value = bytes[octet] >> shift;
        if (shift > 1) {
            if (octet + 1 >= size)
                break;
            value |= static_cast<unsigned>(bytes[octet + 1]) << (8 - shift);
        }
        septets.push_back(static_cast<std::uint8_t>(value & 0x7F));
    }
    return septets;
}

std::string SeptetsToUtf8(const std::vector<std::uint8_t>& septets)
{
    std::string out;
    out.reserve(septets.size());
    for (std::size_t i = 0; i < septets.size(); ++i) {
        const std::uint8_t s = septets[i] & 0x7F;
        if (s != kEscape) {
            AppendUtf8(out, kDefault[s]);
            continue;
        }
        if (i + 1 >= septets.size()) {
            // A lone escape at the end (a sender's padding) shows as nothing.
            break;
        }
        const std::uint8_t next = septets[++i] & 0x7F;
        if (next == kEscape) {
            AppendUtf8(out, u' ');
        } else if (const char16_t c = Extension(next)) {
            AppendUtf8(out, c);
        } else {
            AppendUtf8(out, kDefault[next]);
        }
    }
    return out;
}

std::string Utf16BeToUtf8(const std::uint8_t* bytes, std::size_t size)
{
    std::string out;
    out.reserve(size);
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const char32_t unit = static_cast<char32_t>(bytes[i] << 8 | bytes[i + 1]);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < size) {
            const char32_t low = static_cast<char32_t>(bytes[i + 2] << 8 | bytes[i + 3]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        AppendUtf8(out, unit);
    }
    return out;
}

std::string ToHex(const std::uint8_t* bytes, std::size_t size)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) {
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 0x0F];
    }
    return out;
}

bool FromHex(const std::string& hex, std::vector<std::uint8_t>& bytes)
{
    bytes.clear();
    if (hex.size() % 2 != 0)
        return false;
    bytes.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = HexDigit(hex[i]);
        const int low = HexDigit(hex[i + 1]);
        if (high < 0 || low < 0)
            return false;
        bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
    }
    return true;
}

} // namespace sms
