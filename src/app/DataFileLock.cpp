#include "app/DataFileLock.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

std::string PathLockName(const std::string& dir, const std::string& dataFilePath)
{
    char name[64];
    std::snprintf(name, sizeof name, "/brivantel-%016llx.lock",
                  static_cast<unsigned long long>(Fnv1a(RealPath(dataFilePath))));
    return dir + name;
}

std::string FileLockName(const std::string& dir, const struct stat& st)
{
    char name[96];
    std::snprintf(name, sizeof name, "/brivantel-%llx-%llx.lock", static_cast<unsigned long long>(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino));
    return dir + name;
}

// Takes one lock file without waiting: its descriptor, or -1 with errno (EWOULDBLOCK: held).
int TakeLockFile(const std::string& lockPath)
{
    const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0)
        return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

void Drop(int& fd)
{
    if (fd >= 0) {
        ::flock(fd, LOCK_UN);
        ::close(fd);
        fd = -1;
    }
}

// "cli 1234" or "program 1234": a waiting command names whom it waits for.
void WriteHolder(int fd, CDataFileLock::Holder holder)
{
    char line[48];
    const int n = std::snprintf(line, sizeof line, "%s %ld\n",
                                holder == CDataFileLock::Holder::CommandLine ? "cli" : "program",
                                static_cast<long>(::getpid()));
    if (::ftruncate(fd, 0) == 0 && ::pwrite(fd, line, static_cast<std::size_t>(n), 0) < 0) {
        // Only a note for whoever waits: the lock holds without it.
    }
}

bool StatTarget(const std::string& dataFilePath, struct stat& st)
{
    return ::stat(data_file::ResolveLinks(dataFilePath).c_str(), &st) == 0;
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
    struct stat st
    {
    };
    return StatTarget(dataFilePath, st) ? FileLockName(dir, st) : PathLockName(dir, dataFilePath);
}

// StaleInodeLock: a file with one name is already covered by the lock on its real path. A holder
// that replaced its own file by a save keeps the lock of the old, freed inode until it follows the
// new one, and the system hands that inode number to the next file made anywhere on the device:
// such a lock speaks of another file and must not refuse this one. Only a file with more names
// needs its inode's lock to keep two writers apart.
CDataFileLock::Result CDataFileLock::Acquire(const std::string& dataFilePath, Holder holder)
{
    Release();
    m_error = 0;
    m_holder = holder;
    const std::string dir = RuntimeDirectory();
    if (dir.empty()) {
        m_error = errno ? errno : EACCES;
        return Result::Failed;
    }
    const auto refused = [this] {
        const int error = errno;
        Release();
        if (error == EWOULDBLOCK)
            return Result::HeldByAnother;
        m_error = error;
        return Result::Failed;
    };
    m_pathFd = TakeLockFile(PathLockName(dir, dataFilePath));
    if (m_pathFd < 0)
        return refused();
    WriteHolder(m_pathFd, holder);
    // The file may be replaced between the look at it and the lock (the previous holder's last
    // save): once locked, the path must still name it.
    for (int attempt = 0; attempt < 8; ++attempt) {
        struct stat st
        {
        };
        if (!StatTarget(dataFilePath, st))
            return Result::Acquired; // not made yet: Follow takes its lock once it exists
        int fd = TakeLockFile(FileLockName(dir, st));
        if (fd < 0 && errno == EWOULDBLOCK && st.st_nlink == 1)
            return Result::Acquired; // see StaleInodeLock
        if (fd < 0)
            return refused();
        struct stat now
        {
        };
        if (StatTarget(dataFilePath, now) && now.st_dev == st.st_dev && now.st_ino == st.st_ino) {
            m_fileFd = fd;
            m_device = static_cast<unsigned long long>(st.st_dev);
            m_inode = static_cast<unsigned long long>(st.st_ino);
            WriteHolder(m_fileFd, holder);
            return Result::Acquired;
        }
        Drop(fd);
    }
    errno = EAGAIN;
    return refused();
}

bool CDataFileLock::Follow(const std::string& dataFilePath)
{
    if (m_pathFd < 0)
        return false;
    struct stat st
    {
    };
    if (!StatTarget(dataFilePath, st))
        return true;
    if (m_fileFd >= 0 && m_device == static_cast<unsigned long long>(st.st_dev) &&
        m_inode == static_cast<unsigned long long>(st.st_ino))
        return true;
    const std::string dir = RuntimeDirectory();
    const int fd = dir.empty() ? -1 : TakeLockFile(FileLockName(dir, st));
    if (fd < 0 && errno == EWOULDBLOCK && st.st_nlink == 1) {
        Drop(m_fileFd); // see StaleInodeLock
        return true;
    }
    if (fd < 0)
        return false;
    Drop(m_fileFd);
    m_fileFd = fd;
    m_device = static_cast<unsigned long long>(st.st_dev);
    m_inode = static_cast<unsigned long long>(st.st_ino);
    WriteHolder(m_fileFd, m_holder);
    return true;
}

std::optional<CDataFileLock::HolderInfo> CDataFileLock::HolderOf(const std::string& dataFilePath)
{
    const std::string dir = RuntimeDirectory();
    if (dir.empty())
        return std::nullopt;
    struct stat st
    {
    };
    for (const std::string& lockPath : {StatTarget(dataFilePath, st) ? FileLockName(dir, st) : std::string(),
                                        PathLockName(dir, dataFilePath)}) {
        if (lockPath.empty())
            continue;
        FILE* file = std::fopen(lockPath.c_str(), "r");
        if (!file)
            continue;
        char kind[16] = {};
        long pid = 0;
        const bool read = std::fscanf(file, "%15s %ld", kind, &pid) == 2;
        std::fclose(file);
        if (read)
            return HolderInfo{std::strcmp(kind, "cli") == 0 ? Holder::CommandLine : Holder::Program, pid};
    }
    return std::nullopt;
}

void CDataFileLock::Release()
{
    Drop(m_fileFd);
    Drop(m_pathFd);
}
