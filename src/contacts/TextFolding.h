#pragma once

#include <string>

namespace contacts {

// Unicode text to the Windows-1250 bytes the address book keeps. A character the code page cannot
// hold becomes its base letter where it has one ("ñ" -> "n", "ø" -> "o") and "?" otherwise;
// changed tells whether that happened. Line breaks and tabs become blanks; blanks around the text
// are dropped.
std::string ToWindows1250(const std::u32string& text, bool& changed);

} // namespace contacts
