#include "app/DataFileLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

CDataFileLock::~CDataFileLock()
{
    Release();
}

CDataFileLock::Result CDataFileLock::Acquire(const std::string& dataFilePath)
{
    Release();
    const std::string lockPath = LockPathFor(dataFilePath);
    const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0)
        return Result::Failed;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        return error == EWOULDBLOCK ? Result::HeldByAnother : Result::Failed;
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
