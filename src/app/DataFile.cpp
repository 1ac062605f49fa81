#include "app/DataFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <new>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "store/Windows1250.h"

namespace data_file {
namespace {

constexpr mode_t kUserOnly = S_IRUSR | S_IWUSR;
constexpr const char* kTemporaryInfix = ".tmp-";
constexpr std::size_t kTemporarySuffixLength = 6; // the XXXXXX of mkstemp

bool WriteFully(int fd, const std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

std::string DirectoryOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void SyncDirectory(const std::string& path)
{
    const int dirFd = ::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

// A write beyond the file size limit (ulimit -f) would otherwise end the program with SIGXFSZ;
// ignored, the write fails with EFBIG and the user is told.
void IgnoreFileSizeSignal()
{
    std::signal(SIGXFSZ, SIG_IGN);
}

// Writes the bytes to a new file that must not exist yet, flushed to disk.
bool WriteNewFile(const std::string& path, const std::vector<std::uint8_t>& bytes, Error& error)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kUserOnly);
    if (fd < 0) {
        error.code = errno;
        return false;
    }
    if (!WriteFully(fd, bytes.data(), bytes.size()) || ::fsync(fd) != 0) {
        error.code = errno;
        ::close(fd);
        ::unlink(path.c_str());
        return false;
    }
    if (::close(fd) != 0) {
        error.code = errno;
        ::unlink(path.c_str());
        return false;
    }
    return true;
}

bool WriteFullyAt(int fd, const std::uint8_t* data, std::size_t size)
{
    off_t offset = 0;
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, size, offset);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        offset += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// The whole content of an open file, read from its start.
std::optional<std::vector<std::uint8_t>> ReadOpenFile(int fd)
{
    std::vector<std::uint8_t> bytes;
    std::uint8_t buffer[1 << 16];
    off_t offset = 0;
    for (;;) {
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, offset);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (n == 0)
            return bytes;
        if (bytes.size() + static_cast<std::size_t>(n) > kMaxFileSize) {
            errno = EFBIG;
            return std::nullopt;
        }
        bytes.insert(bytes.end(), buffer, buffer + n);
        offset += n;
    }
}

std::uint64_t Fingerprint(const std::vector<std::uint8_t>& bytes)
{
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const std::uint8_t b : bytes) {
        hash ^= b;
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

// The recovery copy of the file with this identity. The inode stays the same through in-place
// writes, and every name of the file finds the same copy.
std::string RecoveryCopyPath(const struct stat& st)
{
    const std::string dir = RecoveryDirectory();
    if (dir.empty())
        return {};
    return dir + "/data-" + std::to_string(static_cast<unsigned long long>(st.st_dev)) + "-" +
           std::to_string(static_cast<unsigned long long>(st.st_ino)) + ".recovery";
}

// Beside the copy: the size and fingerprint of what the cut save was writing, so that a save
// killed after its last byte is not mistaken for a damaged one.
std::string IntentPath(const std::string& copy)
{
    return copy + ".new";
}

bool KeepRecoveryCopy(const std::string& copy, const std::vector<std::uint8_t>& old,
                      const std::vector<std::uint8_t>& bytes, Error& error)
{
    if (copy.empty()) {
        error.code = errno ? errno : ENOENT;
        return false;
    }
    const std::string intent = IntentPath(copy);
    const std::string partial = copy + ".part";
    ::unlink(intent.c_str());
    ::unlink(partial.c_str());
    // A copy no one has restored yet (the user said no at the start) is not overwritten.
    if (::access(copy.c_str(), F_OK) == 0)
        ::rename(copy.c_str(), (copy + ".earlier").c_str());
    const std::string line = std::to_string(bytes.size()) + " " + std::to_string(Fingerprint(bytes)) + "\n";
    // The copy appears under its name only whole: a kill while it is written leaves only ".part".
    if (!WriteNewFile(intent, std::vector<std::uint8_t>(line.begin(), line.end()), error) ||
        !WriteNewFile(partial, old, error)) {
        ::unlink(intent.c_str());
        return false;
    }
    if (::rename(partial.c_str(), copy.c_str()) != 0) {
        error.code = errno;
        ::unlink(partial.c_str());
        ::unlink(intent.c_str());
        return false;
    }
    SyncDirectory(copy);
    return true;
}

void RemoveRecoveryCopy(const std::string& copy)
{
    ::unlink(copy.c_str());
    ::unlink(IntentPath(copy).c_str());
    SyncDirectory(copy);
}

// Puts the old bytes back after a failed overwrite and reads them back: true only when the file
// holds exactly them again.
bool PutBack(int fd, const std::vector<std::uint8_t>& old)
{
    if (!WriteFullyAt(fd, old.data(), old.size()) || ::ftruncate(fd, static_cast<off_t>(old.size())) != 0 ||
        ::fsync(fd) != 0)
        return false;
    const auto now = ReadOpenFile(fd);
    return now && *now == old;
}

std::uint64_t FileSizeLimit()
{
    struct rlimit limit
    {
    };
    if (::getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return UINT64_MAX;
    return static_cast<std::uint64_t>(limit.rlim_cur);
}

// Overwrites an existing file in place: the file keeps its owner, permissions and all its names.
// The old bytes go to a recovery copy first and the room for the new ones is reserved, so that a
// full disk or the file-size limit stops the save before it touches the file; a failure later on
// puts the old bytes back, and a kill leaves the copy for the next start to offer.
bool WriteInPlace(const std::string& path, const std::vector<std::uint8_t>& bytes, Error& error,
                  bool copyExists = false)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        error.code = errno;
        return false;
    }
    const auto fail = [&](int code) {
        error.code = code;
        ::close(fd);
        return false;
    };
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0)
        return fail(errno);
    if (!S_ISREG(st.st_mode))
        return fail(Error::kNotRegularFile);
    if (bytes.size() > FileSizeLimit())
        return fail(EFBIG);
    const auto old = ReadOpenFile(fd);
    if (!old)
        return fail(errno);
    errno = 0;
    const std::string copy = RecoveryCopyPath(st);
    // Restoring from the copy: it stays as it is until its bytes are back in the file.
    if (!copyExists && !KeepRecoveryCopy(copy, *old, bytes, error))
        return fail(error.code);
    // After a failure: the old bytes back in the file, and the copy kept only when they are not.
    const auto undo = [&] {
        const bool back = PutBack(fd, *old);
        if (back && !copyExists) {
            RemoveRecoveryCopy(copy);
            return;
        }
        error.oldIntact = back;
        error.recoveryCopy = copy;
    };
    if (bytes.size() > old->size()) {
        const int reserved = ::posix_fallocate(fd, 0, static_cast<off_t>(bytes.size()));
        if (reserved != 0 && reserved != EOPNOTSUPP && reserved != EINVAL) {
            // A reservation cut short may have made the file longer: it goes back to its size.
            undo();
            return fail(reserved);
        }
    }
    const bool written = WriteFullyAt(fd, bytes.data(), bytes.size()) &&
                         ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0 && ::fsync(fd) == 0;
    if (!written) {
        const int writeErrno = errno;
        undo();
        return fail(writeErrno);
    }
    if (::close(fd) != 0) {
        error.code = errno;
        error.oldIntact = false;
        error.recoveryCopy = copy;
        return false;
    }
    RemoveRecoveryCopy(copy);
    return true;
}

} // namespace

std::string Error::Describe() const
{
    switch (code) {
    case kNotRegularFile:
        return windows1250::FromUtf8Lossy(
            "To nie jest zwykły plik (lecz na przykład katalog, potok lub urządzenie).");
    case kTooLarge:
        return windows1250::FromUtf8Lossy(
            "Plik jest większy niż 1 GB, więc nie może być plikiem danych programu.");
    case ENOSPC:
        return windows1250::FromUtf8Lossy("Brak miejsca na dysku.");
    case EDQUOT:
        return windows1250::FromUtf8Lossy("Przekroczono przydział miejsca na dysku.");
    case EACCES:
    case EPERM:
        return windows1250::FromUtf8Lossy("Brak uprawnień.");
    case EROFS:
        return windows1250::FromUtf8Lossy("System plików jest tylko do odczytu.");
    case EFBIG:
        return windows1250::FromUtf8Lossy(
            "Plik przekroczyłby największy rozmiar pliku dozwolony dla programu.");
    case ENOENT:
        return windows1250::FromUtf8Lossy("Plik lub katalog nie istnieje.");
    case ENOTDIR:
        return windows1250::FromUtf8Lossy("Część ścieżki nie jest katalogiem.");
    case ELOOP:
        return windows1250::FromUtf8Lossy("Zbyt wiele dowiązań symbolicznych w ścieżce.");
    case ENAMETOOLONG:
        return windows1250::FromUtf8Lossy("Zbyt długa nazwa pliku.");
    case EMFILE:
    case ENFILE:
        return windows1250::FromUtf8Lossy("Otwarto zbyt wiele plików.");
    case ENOLCK:
        return windows1250::FromUtf8Lossy("System nie ma wolnych blokad plików.");
    case EIO:
        return windows1250::FromUtf8Lossy("Błąd wejścia/wyjścia.");
    case EISDIR:
        return windows1250::FromUtf8Lossy("To jest katalog, a nie plik.");
    default:
        return windows1250::FromUtf8Lossy("Błąd systemu: ") + std::strerror(code);
    }
}

std::optional<int> OpenForReading(const std::string& path, std::uint64_t& size, Error& error)
{
    // The type is checked before opening: opening a FIFO for reading would wait for a writer.
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0) {
        error.code = errno;
        return std::nullopt;
    }
    if (!S_ISREG(st.st_mode)) {
        error.code = S_ISDIR(st.st_mode) ? EISDIR : Error::kNotRegularFile;
        return std::nullopt;
    }
    if (static_cast<std::uint64_t>(st.st_size) > kMaxFileSize) {
        error.code = Error::kTooLarge;
        return std::nullopt;
    }
    // O_NONBLOCK as well, in case the name was given to something else in the meantime.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error.code = errno;
        return std::nullopt;
    }
    if (::fstat(fd, &st) != 0) {
        error.code = errno;
        ::close(fd);
        return std::nullopt;
    }
    if (!S_ISREG(st.st_mode) || static_cast<std::uint64_t>(st.st_size) > kMaxFileSize) {
        error.code = S_ISREG(st.st_mode) ? Error::kTooLarge : Error::kNotRegularFile;
        ::close(fd);
        return std::nullopt;
    }
    size = static_cast<std::uint64_t>(st.st_size);
    return fd;
}

std::optional<std::vector<std::uint8_t>> ReadAll(const std::string& path, Error& error)
{
    std::uint64_t size = 0;
    const std::optional<int> opened = OpenForReading(path, size, error);
    if (!opened)
        return std::nullopt;
    const int fd = *opened;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(static_cast<std::size_t>(size));
    std::uint8_t buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error.code = errno;
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        if (bytes.size() + static_cast<std::size_t>(n) > kMaxFileSize) { // it grew while being read
            error.code = Error::kTooLarge;
            ::close(fd);
            return std::nullopt;
        }
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    ::close(fd);
    return bytes;
}

std::string ResolveLinks(const std::string& path)
{
    std::string current = path;
    for (int depth = 0; depth < 40; ++depth) {
        struct stat st
        {
        };
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current;
        std::string target(PATH_MAX, '\0');
        const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= target.size())
            return current;
        target.resize(static_cast<std::size_t>(n));
        current = target[0] == '/' ? target : DirectoryOf(current) + "/" + target;
    }
    return current;
}

bool WriteAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes, Error& error)
{
    return WriteChunksAtomically(path, {{bytes.data(), bytes.size()}}, error);
}

bool WriteChunksAtomically(const std::string& path, const std::vector<Chunk>& chunks, Error& error)
{
    std::size_t size = 0;
    for (const Chunk& chunk : chunks)
        size += chunk.size;
    return WriteProducedAtomically(
        path, size,
        [&chunks](const Writer& write) {
            return std::all_of(chunks.begin(), chunks.end(),
                               [&](const Chunk& chunk) { return write(chunk.data, chunk.size); });
        },
        error);
}

bool WriteProducedAtomically(const std::string& path, std::size_t size, const Producer& produce, Error& error)
{
    // In place the whole file is needed at once (its fingerprint, the recovery copy's intent).
    const auto inPlace = [&](const std::string& target) {
        std::vector<std::uint8_t> bytes;
        try {
            bytes.reserve(size);
            const bool made = produce([&bytes](const std::uint8_t* data, std::size_t n) {
                bytes.insert(bytes.end(), data, data + n);
                return true;
            });
            if (!made) {
                error.code = EIO;
                return false;
            }
        } catch (const std::bad_alloc&) {
            error.code = ENOMEM;
            return false;
        }
        return WriteInPlace(target, bytes, error);
    };
    IgnoreFileSizeSignal();
    // Through a symbolic link the link's target is saved (its temporary file beside it), and the
    // link stays a link.
    const std::string target = ResolveLinks(path);
    struct stat st
    {
    };
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) {
        error.code = errno;
        return false;
    }
    if (exists && !S_ISREG(st.st_mode)) {
        error.code = Error::kNotRegularFile;
        return false;
    }
    // Someone else's file the user may write: a new file would be the user's, taking it over.
    // A file with several names: a rename would leave the other names with the old content.
    if (exists && (st.st_uid != ::geteuid() || st.st_nlink > 1))
        return inPlace(target);

    std::string temp = target + kTemporaryInfix + "XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        // A writable file in a folder where nothing new can be made is written in place.
        if (exists && (errno == EACCES || errno == EPERM))
            return inPlace(target);
        error.code = errno;
        return false;
    }
    // The new file takes the old one's permissions (and group, where the user may give it); a
    // file made afresh is the user's only.
    ::fchmod(fd, exists ? (st.st_mode & 0777) : kUserOnly);
    if (exists && st.st_gid != ::getegid() && ::fchown(fd, static_cast<uid_t>(-1), st.st_gid) != 0) {
        // Not a member of the group: the file keeps the user's group, as any program would make it.
    }
    int writeErrno = 0;
    bool written = false;
    try {
        written = produce([&](const std::uint8_t* data, std::size_t n) {
            if (WriteFully(fd, data, n))
                return true;
            writeErrno = errno;
            return false;
        });
    } catch (const std::bad_alloc&) {
        writeErrno = ENOMEM;
    }
    if (written && ::fsync(fd) != 0)
        writeErrno = errno;
    if (!written && writeErrno == 0)
        writeErrno = EIO; // the bytes could not be made
    if (::close(fd) != 0 && writeErrno == 0)
        writeErrno = errno;
    if (writeErrno != 0) {
        error.code = writeErrno;
        ::unlink(temp.c_str());
        return false;
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        error.code = errno;
        ::unlink(temp.c_str());
        return false;
    }
    SyncDirectory(target);
    return true;
}

int RemoveLeftoverTemporaries(const std::string& path)
{
    const std::string target = ResolveLinks(path);
    const std::string prefix = NameOf(target) + kTemporaryInfix;
    DIR* dir = ::opendir(DirectoryOf(target).c_str());
    if (!dir)
        return 0;
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() != prefix.size() + kTemporarySuffixLength ||
            name.compare(0, prefix.size(), prefix) != 0)
            continue;
        struct stat st
        {
        };
        if (::fstatat(::dirfd(dir), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
            st.st_uid != ::geteuid())
            continue;
        if (::unlinkat(::dirfd(dir), name.c_str(), 0) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}

std::optional<std::string> KeepDamagedCopy(const std::string& path, const std::vector<std::uint8_t>& bytes,
                                           Error& error)
{
    for (int n = 1; n < 1000; ++n) {
        const std::string copy = path + ".damaged" + (n == 1 ? std::string() : "-" + std::to_string(n));
        Error attempt;
        if (WriteNewFile(copy, bytes, attempt)) {
            SyncDirectory(copy);
            return copy;
        }
        if (attempt.code != EEXIST) {
            error = attempt;
            return std::nullopt;
        }
    }
    error.code = EEXIST;
    return std::nullopt;
}

std::string RecoveryDirectory()
{
    const uid_t uid = ::geteuid();
    // A folder of the user's own that no one else can read: the copy holds the mailbox password.
    const auto usable = [uid](const std::string& dir) {
        if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        struct stat st
        {
        };
        return ::lstat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == uid &&
               (st.st_mode & 0077) == 0 && ::access(dir.c_str(), W_OK | X_OK) == 0;
    };
    std::string base;
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && cache[0] == '/')
        base = cache;
    else if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        base = std::string(home) + "/.cache";
    if (!base.empty()) {
        ::mkdir(base.c_str(), 0700);
        if (usable(base + "/brivantel"))
            return base + "/brivantel";
    }
    // No cache folder of the user's (a system account, a home that cannot be written): a folder
    // that survives a restart, as the copy must.
    const std::string spare = "/var/tmp/brivantel-" + std::to_string(uid);
    if (usable(spare))
        return spare;
    errno = EACCES;
    return {};
}

std::optional<std::string> FindRecoveryCopy(const std::string& path)
{
    const std::string target = ResolveLinks(path);
    struct stat st
    {
    };
    if (::stat(target.c_str(), &st) != 0)
        return std::nullopt;
    const std::string copy = RecoveryCopyPath(st);
    if (copy.empty() || ::access(copy.c_str(), F_OK) != 0)
        return std::nullopt;
    Error error;
    const auto now = ReadAll(target, error);
    const auto kept = ReadAll(copy, error);
    if (!now || !kept)
        return copy;
    unsigned long long size = 0, fingerprint = 0;
    bool finished = false;
    if (FILE* intent = std::fopen(IntentPath(copy).c_str(), "r")) {
        finished = std::fscanf(intent, "%llu %llu", &size, &fingerprint) == 2 && size == now->size() &&
                   fingerprint == Fingerprint(*now);
        std::fclose(intent);
    }
    if (finished || *now == *kept) {
        RemoveRecoveryCopy(copy);
        return std::nullopt;
    }
    return copy;
}

bool RestoreRecoveryCopy(const std::string& path, Error& error)
{
    const auto copy = FindRecoveryCopy(path);
    if (!copy)
        return true;
    const auto kept = ReadAll(*copy, error);
    if (!kept)
        return false;
    // Like any in-place save, but the copy already holds what must not be lost: it goes only once
    // its bytes are back in the file.
    return WriteInPlace(ResolveLinks(path), *kept, error, true);
}

void DiscardRecoveryCopy(const std::string& path)
{
    if (const auto copy = FindRecoveryCopy(path))
        RemoveRecoveryCopy(*copy);
}

State Inspect(const std::string& path)
{
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0)
        return errno == ENOENT ? State::Missing : State::Unknown;
    if (!S_ISREG(st.st_mode))
        return State::NotRegular;
    // The owner's write bit of the user's own file plays the part of the read-only attribute
    // (root could write anyway); for anyone else's file what counts is whether the user may write it.
    if (st.st_uid == ::geteuid() && !(st.st_mode & S_IWUSR))
        return State::ReadOnly;
    if (::access(path.c_str(), W_OK) != 0)
        return State::NotWritable;
    return State::Writable;
}

Preparation Prepare(const std::string& path, Error& error)
{
    switch (Inspect(path)) {
    case State::Writable:
        return Preparation::Writable;
    case State::ReadOnly: {
        struct stat st
        {
        };
        if (::stat(path.c_str(), &st) != 0 || ::chmod(path.c_str(), (st.st_mode & 07777) | S_IWUSR) != 0) {
            error.code = errno;
            return Preparation::ReadOnly;
        }
        if (Inspect(path) == State::Writable)
            return Preparation::Writable;
        error.code = ::access(path.c_str(), W_OK) != 0 ? errno : EACCES;
        return Preparation::ReadOnly;
    }
    case State::NotWritable:
        error.code = ::access(path.c_str(), W_OK) != 0 ? errno : EACCES;
        return Preparation::ReadOnly;
    case State::Missing:
        // Through a dangling link the file is made where the link points.
        if (WriteNewFile(ResolveLinks(path), {}, error))
            return Preparation::Writable;
        if (error.code == EEXIST && Inspect(path) == State::Writable)
            return Preparation::Writable;
        return Preparation::CreateFailed;
    case State::NotRegular:
        error.code = Error::kNotRegularFile;
        return Preparation::Failed;
    case State::Unknown:
        error.code = errno ? errno : EIO;
        return Preparation::Failed;
    }
    return Preparation::Failed;
}

} // namespace data_file
