#pragma once

#include <cstdint>
#include <optional>

#include <string>

#include <QString>

// Reading a number field the way the program's pages read them.
namespace integer_field {

// A decimal 32-bit integer with an optional sign and blanks around it; nothing otherwise (an
// empty field included).
std::optional<std::int32_t> Parse(const QString& text);

inline constexpr const char* kNotInteger = "Please enter an integer.";
// "Please enter an integer between %1 and %2." with the bounds filled in.
std::string OutOfRange(int low, int high);

} // namespace integer_field
