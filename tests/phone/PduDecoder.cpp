#include "phone/PduDecoder.h"

#include <cstdint>
#include <vector>

namespace {

// TS 23.038 6.2.1, default alphabet, by septet value; "\x1b" marks the escape.
const char* const kDefault[128] = {
    "@", "£", "$", "¥", "è", "é", "ù", "ì", "ò",    "Ç", "\n", "Ø", "ø", "\r", "Å", "å",  "Δ", "_", "Φ",
    "Γ", "Λ", "Ω", "Π", "Ψ", "Σ", "Θ", "Ξ", "\x1b", "Æ", "æ",  "ß", "É", " ",  "!", "\"", "#", "¤", "%",
    "&", "'", "(", ")", "*", "+", ",", "-", ".",    "/", "0",  "1", "2", "3",  "4", "5",  "6", "7", "8",
    "9", ":", ";", "<", "=", ">", "?", "¡", "A",    "B", "C",  "D", "E", "F",  "G", "H",  "I", "J", "K",
    "L", "M", "N", "O", "P", "Q", "R", "S", "T",    "U", "V",  "W", "X", "Y",  "Z", "Ä",  "Ö", "Ñ", "Ü",
    "§", "¿", "a", "b", "c", "d", "e", "f", "g",    "h", "i",  "j", "k", "l",  "m", "n",  "o", "p", "q",
    "r", "s", "t", "u", "v", "w", "x", "y", "z",    "ä", "ö",  "ñ", "ü", "à",
};

// TS 23.038 6.2.1.1, the extension table.
std::string Extension(unsigned code)
{
    switch (code) {
    case 0x0A:
        return "\f";
    case 0x14:
        return "^";
    case 0x28:
        return "{";
    case 0x29:
        return "}";
    case 0x2F:
        return "\\";
    case 0x3C:
        return "[";
    case 0x3D:
        return "~";
    case 0x3E:
        return "]";
    case 0x40:
        return "|";
    case 0x65:
        return "€";
    default:
        return "?";
    }
}

void PutUtf8(std::string& out, unsigned cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool FromHex(const std::string& hex, std::vector<std::uint8_t>& out)
{
    auto value = [](char c) {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        return -1;
    };
    if (hex.size() % 2 != 0)
        return false;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int hi = value(hex[i]);
        const int lo = value(hex[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
    }
    return true;
}

} // namespace

DecodedSubmit DecodeSubmit(const std::string& hex)
{
    DecodedSubmit d;
    std::vector<std::uint8_t> o;
    if (!FromHex(hex, o) || o.empty()) {
        d.error = "not hexadecimal";
        return d;
    }
    std::size_t at = 1 + o[0]; // service centre address: its length octet, then the address
    if (at >= o.size()) {
        d.error = "short";
        return d;
    }
    d.tpduLength = static_cast<int>(o.size() - at);
    auto need = [&](std::size_t n) { return at + n <= o.size(); };
    if (!need(3)) {
        d.error = "short";
        return d;
    }
    d.firstOctet = o[at++];
    if ((d.firstOctet & 0x03) != 0x01) {
        d.error = "not an SMS-SUBMIT";
        return d;
    }
    const bool udhi = (d.firstOctet & 0x40) != 0;
    const int vpf = (d.firstOctet >> 3) & 0x03;
    ++at; // message reference
    const int digits = o[at++];
    if (!need(1 + static_cast<std::size_t>((digits + 1) / 2))) {
        d.error = "short address";
        return d;
    }
    d.addressType = o[at++];
    if (d.addressType == 0x91)
        d.number = "+";
    for (int i = 0; i < digits; ++i) {
        const std::uint8_t octet = o[at + static_cast<std::size_t>(i / 2)];
        d.number += static_cast<char>('0' + ((i % 2 == 0) ? (octet & 0x0F) : (octet >> 4)));
    }
    at += static_cast<std::size_t>((digits + 1) / 2);
    if (!need(3)) {
        d.error = "short";
        return d;
    }
    ++at; // protocol identifier
    d.dcs = o[at++];
    at += vpf == 0 ? 0 : vpf == 2 ? 1 : 7;
    if (!need(1)) {
        d.error = "short";
        return d;
    }
    const int udl = o[at++];
    const std::size_t udStart = at;
    std::size_t headerOctets = 0;
    if (udhi) {
        const std::size_t udhl = o[at];
        headerOctets = 1 + udhl;
        if (!need(headerOctets)) {
            d.error = "short header";
            return d;
        }
        for (std::size_t i = at + 1; i + 1 < at + headerOctets;) {
            const int iei = o[i];
            const std::size_t len = o[i + 1];
            if (iei == 0x00 && len == 3) {
                d.concatenated = true;
                d.reference = o[i + 2];
                d.parts = o[i + 3];
                d.part = o[i + 4];
            }
            i += 2 + len;
        }
    }
    if (d.dcs == 0x08) {
        const std::size_t end = udStart + static_cast<std::size_t>(udl);
        if (end != o.size()) {
            d.error = "length does not match the data";
            return d;
        }
        for (std::size_t i = udStart + headerOctets; i + 1 < end; i += 2)
            PutUtf8(d.text, static_cast<unsigned>(o[i] << 8 | o[i + 1]));
    } else if (d.dcs == 0x00) {
        if (udStart + (static_cast<std::size_t>(udl) * 7 + 7) / 8 != o.size()) {
            d.error = "length does not match the data";
            return d;
        }
        const std::size_t skip = (headerOctets * 8 + 6) / 7; // header and fill bits, in septets
        bool escape = false;
        for (std::size_t s = skip; s < static_cast<std::size_t>(udl); ++s) {
            const std::size_t bit = s * 7;
            unsigned v = o[udStart + bit / 8] >> (bit % 8);
            if (bit % 8 > 1)
                v |= static_cast<unsigned>(o[udStart + bit / 8 + 1]) << (8 - bit % 8);
            v &= 0x7F;
            if (escape) {
                d.text += Extension(v);
                escape = false;
            } else if (v == 0x1B) {
                escape = true;
            } else {
                d.text += kDefault[v];
            }
        }
    } else {
        d.error = "unexpected coding";
        return d;
    }
    d.ok = true;
    return d;
}
