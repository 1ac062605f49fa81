#include "online/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace online_files {
namespace {

bool WriteAll(int fd, std::string_view content)
{
    while (!content.empty()) {
        const ssize_t n = ::write(fd, content.data(), content.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        content.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

} // namespace

bool WriteAtomically(const std::string& path, std::string_view content)
{
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data()); // created with mode 0600
    if (fd < 0)
        return false;
    const bool written = WriteAll(fd, content) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

bool Exists(const std::string& path)
{
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) == 0;
}

} // namespace online_files
