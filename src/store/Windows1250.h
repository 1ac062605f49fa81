#pragma once

#include <optional>
#include <string>
#include <string_view>

// Texts inside the program are Windows-1250 bytes held in std::string. This module is the one
// place that converts them to and from Unicode.
namespace windows1250 {

// The Unicode code point of one Windows-1250 byte; the five bytes that the code page leaves
// undefined (0x81, 0x83, 0x88, 0x90, 0x98) map to the C1 controls U+0081, U+0083, U+0088, U+0090
// and U+0098, and back.
char32_t ToCodePoint(unsigned char byte);

// The Windows-1250 byte for a code point, or nothing when the code page cannot hold it.
std::optional<unsigned char> FromCodePoint(char32_t codePoint);

std::string ToUtf8(std::string_view text);

// Appends one code point (any plane) to a UTF-8 text.
void AppendUtf8(std::string& out, char32_t codePoint);

// Nothing when the UTF-8 is malformed or holds a character Windows-1250 cannot hold.
std::optional<std::string> FromUtf8(std::string_view utf8);

// Lower-cases ASCII letters and the accented capitals of the code page.
std::string ToLower(std::string_view text);

} // namespace windows1250

namespace windows1250 {
// The program's own texts are written in UTF-8 in the sources; this gives their Windows-1250
// bytes. A character the code page cannot hold becomes "?".
std::string FromUtf8Lossy(std::string_view utf8);
} // namespace windows1250
