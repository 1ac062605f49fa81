#include "phone/PhoneBackend.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <string_view>

#include "store/Windows1250.h"

namespace {

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string Polish(std::string_view utf8)
{
    return windows1250::FromUtf8Lossy(utf8);
}

} // namespace

std::string ModemInfo::Name() const
{
    std::string name = maker;
    if (!name.empty()) {
        // Services pass the maker on as the modem says it ("huawei", "QUALCOMM INCORPORATED").
        name = Lower(name);
        name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    }
    if (!model.empty())
        name += (name.empty() ? "" : " ") + model;
    return name.empty() ? id : name;
}

std::string ModemInfo::SimText() const
{
    switch (lock) {
    case SimLock::None:
        return Polish("gotowa");
    case SimLock::Pin:
        return Polish("czeka na kod PIN");
    case SimLock::Puk:
        return Polish("czeka na kod PUK");
    case SimLock::Other:
        return Polish("zablokowana");
    case SimLock::Unknown:
        break;
    }
    return Polish("stan nieznany");
}

namespace phone_backend {

PhoneBackend FromSetting(const std::string& setting)
{
    const std::string name = Lower(setting);
    if (name == "modemmanager")
        return PhoneBackend::ModemManager;
    if (name == "serial")
        return PhoneBackend::Serial;
    return PhoneBackend::Auto;
}

bool IsName(const std::string& name)
{
    return name == "auto" || name == "modemmanager" || name == "serial";
}

std::string DeviceName(const std::string& device)
{
    if (device.empty())
        return {};
    char resolved[PATH_MAX];
    const std::string path = ::realpath(device.c_str(), resolved) ? std::string(resolved) : device;
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool ServiceHolds(const std::vector<ModemInfo>& modems, const std::string& device)
{
    const std::string name = DeviceName(device);
    return !name.empty() && std::any_of(modems.begin(), modems.end(), [&](const ModemInfo& m) {
        return std::find(m.ports.begin(), m.ports.end(), name) != m.ports.end();
    });
}

const ModemInfo* ModemFor(const std::vector<ModemInfo>& modems, const std::string& device)
{
    if (device.empty())
        return modems.size() == 1 ? &modems.front() : nullptr;
    const std::string name = DeviceName(device);
    for (const ModemInfo& m : modems) {
        if (std::find(m.ports.begin(), m.ports.end(), name) != m.ports.end())
            return &m;
    }
    return nullptr;
}

} // namespace phone_backend
