#include "phone/PortProblem.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <grp.h>
#include <pwd.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

#include "store/Windows1250.h"

namespace {

std::string Polish(std::string_view utf8)
{
    return windows1250::FromUtf8Lossy(utf8);
}

std::string RealPath(const std::string& path)
{
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

bool IsDigits(const char* s)
{
    if (*s == '\0')
        return false;
    for (; *s; ++s) {
        if (*s < '0' || *s > '9')
            return false;
    }
    return true;
}

bool HoldsOpen(const std::string& pid, const std::string& device)
{
    const std::string fdDir = "/proc/" + pid + "/fd";
    DIR* dir = ::opendir(fdDir.c_str());
    if (!dir)
        return false; // another user's process: we may not look
    bool found = false;
    while (const dirent* entry = ::readdir(dir)) {
        char target[PATH_MAX];
        const std::string link = fdDir + "/" + entry->d_name;
        const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
        if (n > 0 && device == std::string_view(target, static_cast<std::size_t>(n))) {
            found = true;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

std::string UserName()
{
    if (const passwd* pw = ::getpwuid(::getuid()))
        return pw->pw_name;
    return "$USER";
}

} // namespace

namespace port_problem {

std::string Holder(const std::string& device)
{
    const std::string target = RealPath(device);
    const std::string self = std::to_string(::getpid());
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return {};
    std::string holder;
    while (const dirent* entry = ::readdir(proc)) {
        if (!IsDigits(entry->d_name) || self == entry->d_name || !HoldsOpen(entry->d_name, target))
            continue;
        std::ifstream comm(std::string("/proc/") + entry->d_name + "/comm");
        std::getline(comm, holder);
        if (!holder.empty())
            break;
    }
    ::closedir(proc);
    return holder;
}

std::string Describe(const std::string& device, int error, bool heldByService)
{
    switch (error) {
    case EBUSY:
        if (heldByService || Holder(device) == "ModemManager")
            return Polish("Port ") + device +
                   Polish(" jest zajęty przez usługę ModemManager; wybierz modem z listy (\"Znajdź "
                          "telefon...\") albo wyłącz obsługę tego portu w ModemManager (reguła udev "
                          "ENV{ID_MM_DEVICE_IGNORE}=\"1\").");
        return Polish("Port ") + device + Polish(" jest zajęty przez inny program.");
    case EACCES:
    case EPERM: {
        struct stat st
        {
        };
        const group* owner = ::stat(device.c_str(), &st) == 0 ? ::getgrgid(st.st_gid) : nullptr;
        if (!owner || std::strcmp(owner->gr_name, "root") == 0)
            return Polish("Brak uprawnień do portu ") + device + ".";
        const std::string name = owner->gr_name;
        return Polish("Brak uprawnień do portu ") + device + Polish(": mają je członkowie grupy ") + name +
               Polish(". Dołącz do niej poleceniem \"sudo usermod -aG ") + name + " " + UserName() +
               Polish("\" i zaloguj się ponownie.");
    }
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return Polish("Port ") + device + Polish(" nie istnieje; sprawdź, czy telefon jest podłączony.");
    case ENOTTY:
        return device + Polish(" nie jest portem szeregowym.");
    case EINVAL:
        return Polish("Port ") + device + Polish(" nie przyjął ustawień (9600 b/s, 8 bitów danych).");
    default:
        return Polish("Nie można otworzyć portu telefonu \"") + device + "\" (" + std::strerror(error) + ").";
    }
}

} // namespace port_problem
