#pragma once

#include <optional>
#include <string_view>
#include <vector>

// The maker's version file: plain text holding, anywhere, "Brivantel version:" directly followed
// by the newest version.
namespace version_check {

inline constexpr std::string_view kMarker = "Brivantel version:";
inline constexpr std::string_view kThisVersion = "1.0";

// Dotted decimal numbers ("1", "1.0.1"); nothing when the text is not such a version.
std::optional<std::vector<unsigned long>> ParseVersion(std::string_view text);

// The version after the marker runs to the first blank or line break. It announces a newer
// program only when it is a dotted version above this one, numbers compared one by one and a
// missing number counting as 0 ("1.0.1" and "1.1" are newer, "1.0" and "0.9" are not). A blank
// right after the marker, or no marker, announces nothing.
bool AnnouncesNewer(std::string_view versionFile, std::string_view current = kThisVersion);

} // namespace version_check
