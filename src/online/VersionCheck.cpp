#include "online/VersionCheck.h"

#include <algorithm>

namespace version_check {

std::optional<std::vector<unsigned long>> ParseVersion(std::string_view text)
{
    std::vector<unsigned long> numbers;
    for (;;) {
        const auto dot = text.find('.');
        const std::string_view part = text.substr(0, dot);
        if (part.empty() || part.size() > 9 ||
            !std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return std::nullopt;
        unsigned long value = 0;
        for (const char c : part)
            value = value * 10 + static_cast<unsigned long>(c - '0');
        numbers.push_back(value);
        if (dot == std::string_view::npos)
            return numbers;
        text.remove_prefix(dot + 1);
    }
}

bool AnnouncesNewer(std::string_view versionFile, std::string_view current)
{
    const auto at = versionFile.find(kMarker);
    if (at == std::string_view::npos)
        return false;
    std::string_view rest = versionFile.substr(at + kMarker.size());
    rest = rest.substr(0, rest.find_first_of(" \t\r\n"));
    const auto announced = ParseVersion(rest);
    const auto ours = ParseVersion(current);
    if (!announced || !ours)
        return false;
    const std::size_t n = std::max(announced->size(), ours->size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned long a = i < announced->size() ? (*announced)[i] : 0;
        const unsigned long b = i < ours->size() ? (*ours)[i] : 0;
        if (a != b)
            return a > b;
    }
    return false;
}

} // namespace version_check
