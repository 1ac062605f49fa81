#include "online/VersionCheck.h"

namespace version_check {

bool AnnouncesNewer(std::string_view versionFile, std::string_view current)
{
    const auto at = versionFile.find(kMarker);
    if (at == std::string_view::npos)
        return false;
    std::string_view announced = versionFile.substr(at + kMarker.size(), 4);
    // The file's own line end is no part of the version: "1.0\r\n" is this version.
    while (!announced.empty() && (announced.back() == '\r' || announced.back() == '\n' ||
                                  announced.back() == ' ' || announced.back() == '\t'))
        announced.remove_suffix(1);
    // Bytes compared as unsigned, as strcmp does.
    for (std::size_t i = 0; i < announced.size() && i < current.size(); ++i) {
        const auto a = static_cast<unsigned char>(announced[i]);
        const auto b = static_cast<unsigned char>(current[i]);
        if (a != b)
            return a > b;
    }
    return announced.size() > current.size();
}

} // namespace version_check
