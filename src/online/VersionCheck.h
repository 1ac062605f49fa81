#pragma once

#include <string_view>

// The maker's version file: plain text holding, anywhere, "Brivantel version:" directly followed
// by the newest version.
namespace version_check {

inline constexpr std::string_view kMarker = "Brivantel version:";
inline constexpr std::string_view kThisVersion = "1.0";

// The four characters after the marker (fewer where the file ends), a trailing line break and
// blanks dropped, compared byte by byte with this version; a longer text with an equal beginning
// counts as greater, and greater announces a newer program. So "1.1", "1.0a", "1.00" and "1.0.1"
// are newer; "1.0", "1.0" with a line break, "0.9" and " 1.1" (a blank sorts below the digits)
// are not. No marker announces nothing.
bool AnnouncesNewer(std::string_view versionFile, std::string_view current = kThisVersion);

} // namespace version_check
