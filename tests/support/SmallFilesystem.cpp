#include "support/SmallFilesystem.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

SmallFilesystem::SmallFilesystem(unsigned kilobytes)
{
    const std::string options = "size=" + std::to_string(kilobytes) + "k,mode=0755";
    if (::mount("tmpfs", m_dir.path().c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0)
        m_mounted = true;
    else
        m_why = std::string("no tmpfs could be mounted here (") + std::strerror(errno) +
                "): run the tests as root to try a full disk";
}

SmallFilesystem::~SmallFilesystem()
{
    if (m_mounted)
        ::umount2(m_dir.path().c_str(), MNT_DETACH);
}

void SmallFilesystem::Fill()
{
    const int fd = ::open(file("filler").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    const std::string block(4096, 'f');
    while (::write(fd, block.data(), block.size()) > 0) {
    }
    while (::write(fd, block.data(), 1) > 0) {
    }
    ::close(fd);
}
