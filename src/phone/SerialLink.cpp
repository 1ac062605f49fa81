#include "phone/SerialLink.h"

#include "net/StopRequest.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kSlice{50};

struct SpeedCode
{
    int baud;
    speed_t code;
};

constexpr SpeedCode kSpeeds[] = {
    {1200, B1200},   {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},
    {38400, B38400}, {57600, B57600}, {115200, B115200}, {230400, B230400},
};

bool SpeedFor(int baud, speed_t& code)
{
    for (const auto& s : kSpeeds) {
        if (s.baud == baud) {
            code = s.code;
            return true;
        }
    }
    return false;
}

} // namespace

CSerialLink::CSerialLink(WaitHook hook) : m_hook(std::move(hook)) {}

CSerialLink::~CSerialLink()
{
    Close();
}

std::string CSerialLink::PortDevice(int port)
{
    if (port < 1)
        return {};
    return "/dev/ttyS" + std::to_string(port - 1);
}

bool CSerialLink::Open(int port, int baud)
{
    if (IsOpen())
        return true;
    const std::string device = PortDevice(port);
    return !device.empty() && OpenDevice(device, baud);
}

bool CSerialLink::OpenDevice(const std::string& path, int baud)
{
    if (IsOpen())
        return true;
    m_hungUp = false;
    m_openError = ENOENT;
    if (path.empty())
        return false;
    // Non-blocking: the open must not hang on a modem line, and Read must never wait.
    m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0) {
        m_openError = errno;
        return false;
    }
    // The flock keeps out other programs that lock the port the same way (and a second link of
    // ours); TIOCEXCL makes the kernel refuse any further open of the terminal.
    int failure = 0;
    int exclusive = 0;
    if (!::isatty(m_fd))
        failure = ENOTTY;
    else if (::ioctl(m_fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0)
        failure = EBUSY; // another program's TIOCEXCL, which the kernel waives for root only
    else if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0)
        failure = errno == EWOULDBLOCK ? EBUSY : errno;
    else if (::ioctl(m_fd, TIOCEXCL) != 0)
        failure = errno;
    else if (!Configure(baud)) {
        failure = EINVAL;
        ::ioctl(m_fd, TIOCNXCL); // ours to give back, or the next open would find it busy
    }
    if (failure != 0) {
        ::close(m_fd);
        m_fd = -1;
        m_openError = failure;
        return false;
    }
    m_openError = 0;
    return true;
}

bool CSerialLink::Configure(int baud)
{
    speed_t speed{};
    termios t{};
    if (!SpeedFor(baud, speed) || ::tcgetattr(m_fd, &t) != 0)
        return false;
    ::cfmakeraw(&t);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (::cfsetispeed(&t, speed) != 0 || ::cfsetospeed(&t, speed) != 0 || ::tcsetattr(m_fd, TCSANOW, &t) != 0)
        return false;
    // Whatever the device received before this dialogue began belongs to no command of ours.
    ::tcflush(m_fd, TCIFLUSH);
    return true;
}

bool CSerialLink::Close()
{
    if (m_fd >= 0) {
        // The exclusive mode belongs to the terminal, not to our descriptor: a pseudo-terminal
        // keeps it after we close unless we give it back.
        ::ioctl(m_fd, TIOCNXCL);
        ::close(m_fd); // also releases the flock
        m_fd = -1;
    }
    return true;
}

bool CSerialLink::WaitFor(short events, std::chrono::milliseconds timeout)
{
    const auto end = Clock::now() + timeout;
    for (;;) {
        // The program is ending: the dialogue stops here, the message stays queued.
        if (net_stop::Requested())
            return false;
        const auto now = Clock::now();
        if (now >= end)
            return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now);
        const auto slice = std::max(std::chrono::milliseconds(1), std::min(kSlice, left));
        pollfd p{m_fd, events, 0};
        const int n = ::poll(&p, 1, static_cast<int>(slice.count()));
        if (n > 0) {
            // A hung-up line also reports POLLIN, yet a read gives nothing: taking that as input
            // would spin until the deadline.
            if ((p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
                m_hungUp = true;
                return false;
            }
            return (p.revents & events) != 0;
        }
        if (n < 0 && errno != EINTR)
            return false;
        if (m_hook)
            m_hook();
    }
}

bool CSerialLink::WaitReadable(std::chrono::milliseconds timeout)
{
    return IsOpen() && !m_hungUp && WaitFor(POLLIN, timeout);
}

int CSerialLink::Write(const char* bytes, int length)
{
    if (!IsOpen() || bytes == nullptr || length <= 0)
        return 0;
    for (int i = 0; i < length && !m_hungUp; ++i) {
        const auto end = Clock::now() + m_byteTimeout;
        for (;;) {
            const ssize_t n = ::write(m_fd, bytes + i, 1);
            if (n == 1)
                break;
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EIO || errno == ENXIO)) {
                m_hungUp = true;
                return length;
            }
            const auto now = Clock::now();
            // A byte the device does not take in time, or refuses, is dropped: the phone's
            // answer (or its absence) tells the caller how the dialogue went.
            if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK) || now >= end ||
                !WaitFor(POLLOUT, std::chrono::duration_cast<std::chrono::milliseconds>(end - now)))
                break;
        }
    }
    return length;
}

int CSerialLink::Read(char* buffer, int capacity)
{
    if (!IsOpen() || buffer == nullptr || capacity <= 0)
        return 0;
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, static_cast<std::size_t>(capacity));
        if (n < 0 && errno == EINTR)
            continue;
        // A raw terminal gives 0 for "nothing yet" as well as for a line that hung up; only
        // poll tells the two apart.
        if (n < 0 && (errno == EIO || errno == ENXIO)) {
            m_hungUp = true;
        } else if (n == 0) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
                m_hungUp = true;
        }
        return n > 0 ? static_cast<int>(n) : 0;
    }
}
