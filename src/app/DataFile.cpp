#include "app/DataFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <libgen.h>
#include <sys/stat.h>
#include <unistd.h>

#include "store/Windows1250.h"

namespace data_file {
namespace {

constexpr mode_t kUserOnly = S_IRUSR | S_IWUSR;

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

void SyncDirectory(const std::string& path)
{
    const int dirFd = ::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
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

} // namespace

std::string Error::Describe() const
{
    switch (code) {
    case ENOSPC:
    case EDQUOT:
        return windows1250::FromUtf8Lossy("Brak miejsca na dysku.");
    case EACCES:
    case EPERM:
        return windows1250::FromUtf8Lossy("Brak uprawnień.");
    case EROFS:
        return windows1250::FromUtf8Lossy("System plików jest tylko do odczytu.");
    case ENOENT:
        return windows1250::FromUtf8Lossy("Plik lub katalog nie istnieje.");
    case EIO:
        return windows1250::FromUtf8Lossy("Błąd wejścia/wyjścia.");
    case EISDIR:
        return windows1250::FromUtf8Lossy("To jest katalog, a nie plik.");
    default:
        return windows1250::FromUtf8Lossy("Błąd systemu: ") + std::strerror(code);
    }
}

std::optional<std::vector<std::uint8_t>> ReadAll(const std::string& path, Error& error)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error.code = errno;
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        error.code = S_ISDIR(st.st_mode) ? EISDIR : errno;
        ::close(fd);
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    bytes.reserve(static_cast<std::size_t>(st.st_size));
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
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    ::close(fd);
    return bytes;
}

bool WriteAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes, Error& error)
{
    std::string temp = path + ".tmp-XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        error.code = errno;
        return false;
    }
    ::fchmod(fd, kUserOnly);
    const bool written = WriteFully(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
    const int writeErrno = errno;
    if (::close(fd) != 0 || !written) {
        error.code = written ? errno : writeErrno;
        ::unlink(temp.c_str());
        return false;
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        error.code = errno;
        ::unlink(temp.c_str());
        return false;
    }
    SyncDirectory(path);
    return true;
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

State Inspect(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return errno == ENOENT ? State::Missing : State::Unknown;
    // The owner's write bit plays the part of the read-only attribute: root could write anyway.
    return (st.st_mode & S_IWUSR) ? State::Writable : State::ReadOnly;
}

bool Prepare(const std::string& path, Error& error)
{
    switch (Inspect(path)) {
    case State::Writable:
        return true;
    case State::ReadOnly:
        if (::chmod(path.c_str(), kUserOnly) != 0) {
            error.code = errno;
            return false;
        }
        return true;
    case State::Missing:
        return WriteNewFile(path, {}, error) || error.code == EEXIST;
    case State::Unknown:
        break;
    }
    error.code = errno ? errno : EIO;
    return false;
}

} // namespace data_file
