#include "online/BannerNames.h"

#include <array>
#include <cctype>
#include <string>

namespace banner_names {
namespace {

std::string UpperAscii(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

bool IsDeviceName(std::string_view name)
{
    // Windows takes the part before the first dot, trailing blanks ignored, as the device.
    std::string stem = UpperAscii(name.substr(0, name.find('.')));
    while (!stem.empty() && stem.back() == ' ')
        stem.pop_back();
    static const std::array<const char*, 4> plain{"CON", "PRN", "AUX", "NUL"};
    for (const char* d : plain) {
        if (stem == d)
            return true;
    }
    if (stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0))
        return stem[3] >= '1' && stem[3] <= '9';
    return false;
}

} // namespace

bool IsPlainFileName(std::string_view name)
{
    if (name.empty() || name.size() > 255 || name.front() == '.')
        return false;
    for (const char c : name) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F || c == '/' || c == '\\' || c == ':')
            return false;
    }
    // A trailing dot or blank is dropped by Windows and would name another file there.
    if (name.back() == '.' || name.back() == ' ')
        return false;
    return !IsDeviceName(name);
}

bool IsPictureName(std::string_view name)
{
    if (!IsPlainFileName(name))
        return false;
    std::string lower(name);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (!lower.ends_with(".jpg") && !lower.ends_with(".jpeg"))
        return false;
    // The data directory is shared with the program's own files: the data file with its lock, its
    // temporary and kept copies all begin with its name, and so does the banner index. On Windows
    // names that differ in letter case only are the same file.
    return !lower.starts_with("brivantel.vs") && !lower.starts_with("brivantel.adv");
}

bool IsWebAddress(std::string_view address)
{
    const std::string lower = [&] {
        std::string s(address.substr(0, 8));
        for (char& c : s)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    }();
    std::string_view rest;
    if (lower.rfind("http://", 0) == 0)
        rest = address.substr(7);
    else if (lower.rfind("https://", 0) == 0)
        rest = address.substr(8);
    else
        return false;
    if (rest.empty() || rest.front() == '/')
        return false; // no host
    for (const char c : address) {
        const auto b = static_cast<unsigned char>(c);
        if (b <= 0x20 || b == 0x7F)
            return false; // a blank or control character could split a command line
    }
    return true;
}

} // namespace banner_names
