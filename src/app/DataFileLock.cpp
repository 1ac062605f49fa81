#include "app/DataFileLock.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/DataFile.h"

namespace {

// The same folder for every process of the user, whatever its environment (a program started
// from cron or over ssh must see the desktop program's lock): /run/user/UID where the system
// keeps one, otherwise a private folder of the user's under /tmp.
std::string RuntimeDirectory()
{
    const uid_t uid = ::geteuid();
    const auto usable = [uid](const std::string& dir) {
        struct stat st
        {
        };
        return ::lstat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == uid &&
               (st.st_mode & 0077) == 0 && ::access(dir.c_str(), W_OK | X_OK) == 0;
    };
    const std::string system = "/run/user/" + std::to_string(uid);
    if (usable(system))
        return system;
    const std::string own = "/tmp/brivantel-" + std::to_string(uid);
    if (::mkdir(own.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    if (!usable(own)) {
        errno = EACCES; // someone else's folder under that name: never trust it
        return {};
    }
    return own;
}

// The data file's real path, also for a file not made yet (its folder's real path and its name).
std::string RealPath(const std::string& path)
{
    const std::string target = data_file::ResolveLinks(path);
    char buffer[PATH_MAX];
    if (::realpath(target.c_str(), buffer))
        return buffer;
    const auto slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    if (::realpath(dir.c_str(), buffer))
        return std::string(buffer) + "/" + name;
    return target;
}

std::uint64_t Fnv1a(const std::string& text)
{
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

} // namespace

CDataFileLock::~CDataFileLock()
{
    Release();
}

std::string CDataFileLock::LockPathFor(const std::string& dataFilePath)
{
    const std::string dir = RuntimeDirectory();
    if (dir.empty())
        return {};
    char name[64];
    std::snprintf(name, sizeof name, "/brivantel-%016llx.lock",
                  static_cast<unsigned long long>(Fnv1a(RealPath(dataFilePath))));
    return dir + name;
}

CDataFileLock::Result CDataFileLock::Acquire(const std::string& dataFilePath)
{
    Release();
    m_error = 0;
    const std::string lockPath = LockPathFor(dataFilePath);
    if (lockPath.empty()) {
        m_error = errno ? errno : EACCES;
        return Result::Failed;
    }
    const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0) {
        m_error = errno;
        return Result::Failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK)
            return Result::HeldByAnother;
        m_error = error;
        return Result::Failed;
    }
    m_fd = fd;
    return Result::Acquired;
}

void CDataFileLock::Release()
{
    if (m_fd >= 0) {
        ::flock(m_fd, LOCK_UN);
        ::close(m_fd);
        m_fd = -1;
    }
}
