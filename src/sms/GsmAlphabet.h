#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The GSM 7-bit default alphabet and its extension table (3GPP TS 23.038), read into UTF-8, and
// the other pieces of text a received message can carry.
namespace sms {

// Appends one Unicode code point as UTF-8; anything outside Unicode becomes U+FFFD.
void AppendUtf8(std::string& out, char32_t c);

// `count` septets packed into bytes, the first starting `fillBits` bits into bytes[0]. Returns
// fewer septets when the bytes end first.
std::vector<std::uint8_t> UnpackSeptets(const std::uint8_t* bytes, std::size_t size, std::size_t count,
                                        unsigned fillBits = 0);

// Septets of the default alphabet as UTF-8. An escape followed by a code the extension table
// lacks shows that code from the default table; two escapes in a row show a space, as a phone
// that does not know a further table does.
std::string SeptetsToUtf8(const std::vector<std::uint8_t>& septets);

// Big-endian UTF-16 (UCS-2 with surrogate pairs) as UTF-8; a lone surrogate becomes U+FFFD. The
// size must be even.
std::string Utf16BeToUtf8(const std::uint8_t* bytes, std::size_t size);

// Upper-case hexadecimal, two digits per byte.
std::string ToHex(const std::uint8_t* bytes, std::size_t size);
// The bytes of a hexadecimal text (either case); false for an odd length or a non-hex digit.
bool FromHex(const std::string& hex, std::vector<std::uint8_t>& bytes);

} // namespace sms
