#include "net/TcpSocket.h"

#include "net/StopRequest.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <utility>

namespace {

constexpr std::chrono::milliseconds kSlice{50};

// One name look-up on a thread of its own. Whoever finishes last frees it: the waiting socket, or
// the thread when the socket stopped waiting for it.
struct Lookup
{
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    int rc = 0;
    int error = 0;
    addrinfo* list = nullptr;

    ~Lookup()
    {
        if (list)
            ::freeaddrinfo(list);
    }
};

} // namespace

CTcpSocket::CTcpSocket(WaitHook hook, Timeouts timeouts) : m_hook(std::move(hook)), m_timeouts(timeouts) {}

CTcpSocket::~CTcpSocket()
{
    Close();
}

void CTcpSocket::Close()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

bool CTcpSocket::Fail(Failure failure, int error, bool deadline)
{
    m_failure = failure;
    m_errno = error;
    m_deadlinePassed = deadline;
    return false;
}

void CTcpSocket::SetDeadline(Clock::time_point deadline)
{
    m_deadline = deadline;
    m_deadlineSeconds = 0;
    if (deadline != Clock::time_point::max()) {
        const auto span = deadline - Clock::now();
        m_deadlineSeconds = std::max<long long>(1, std::chrono::ceil<std::chrono::seconds>(span).count());
    }
}

bool CTcpSocket::MayGoOn()
{
    if (Stopped())
        return Fail(Failure::Stopped, EINTR);
    if (Clock::now() >= m_deadline)
        return Fail(Failure::Timeout, ETIMEDOUT, true);
    return true;
}

bool CTcpSocket::WaitFor(short events, std::chrono::milliseconds timeout)
{
    const auto start = Clock::now();
    const auto end = std::min(m_deadline, start + timeout);
    for (;;) {
        if (Stopped())
            return Fail(Failure::Stopped, EINTR);
        const auto now = Clock::now();
        if (now >= end)
            return Fail(Failure::Timeout, ETIMEDOUT, now >= m_deadline);
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now);
        const auto slice = std::max(std::chrono::milliseconds(1), std::min(kSlice, left));
        pollfd p{m_fd, events, 0};
        const int n = ::poll(&p, 1, static_cast<int>(slice.count()));
        if (n > 0)
            return true; // readable, writable, or an error/hang-up the next call will report
        if (n < 0 && errno != EINTR)
            return Fail(Failure::Io, errno);
        if (m_hook)
            m_hook();
    }
}

addrinfo* CTcpSocket::Resolve(const std::string& host, std::uint16_t port, Clock::time_point end)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    const std::string service = std::to_string(port);
    addrinfo* list = nullptr;
    // A dotted or colon address needs no look-up and cannot hang.
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    if (::getaddrinfo(host.c_str(), service.c_str(), &hints, &list) == 0 && list)
        return list;
    hints.ai_flags = AI_NUMERICSERV;
    if (host.empty()) {
        Fail(Failure::Resolve, 0);
        return nullptr;
    }

    // getaddrinfo cannot be cut into slices: it runs on a thread that is left behind when the
    // connect limit passes or the stop flag is raised.
    const Resolver resolver = m_resolver ? m_resolver : Resolver(&::getaddrinfo);
    auto lookup = std::make_shared<Lookup>();
    try {
        std::thread([lookup, resolver, host, service, hints] {
            addrinfo* result = nullptr;
            const int rc = resolver(host.c_str(), service.c_str(), &hints, &result);
            const int error = errno;
            std::lock_guard lock(lookup->mutex);
            lookup->rc = rc;
            lookup->error = error;
            lookup->list = result;
            lookup->finished = true;
            lookup->done.notify_all();
        }).detach();
    } catch (const std::system_error& e) {
        Fail(Failure::Resolve, e.code().value());
        return nullptr;
    }
    for (;;) {
        {
            std::unique_lock lock(lookup->mutex);
            const auto now = Clock::now();
            const auto slice =
                std::max(std::chrono::milliseconds(1),
                         std::min(kSlice, std::chrono::duration_cast<std::chrono::milliseconds>(
                                              end > now ? end - now : Clock::duration::zero())));
            if (lookup->done.wait_for(lock, slice, [&] { return lookup->finished; })) {
                if (lookup->rc != 0 || !lookup->list) {
                    Fail(Failure::Resolve, lookup->rc == EAI_SYSTEM ? lookup->error : 0);
                    return nullptr;
                }
                return std::exchange(lookup->list, nullptr);
            }
        }
        if (Stopped()) {
            Fail(Failure::Stopped, EINTR);
            return nullptr;
        }
        if (Clock::now() >= end) {
            Fail(Failure::Timeout, ETIMEDOUT);
            return nullptr;
        }
        if (m_hook)
            m_hook();
    }
}

bool CTcpSocket::ConnectTo(const addrinfo& address, Clock::time_point end)
{
    m_fd =
        ::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address.ai_protocol);
    if (m_fd < 0)
        return Fail(Failure::Socket, errno);
    if (::connect(m_fd, address.ai_addr, address.ai_addrlen) == 0)
        return true;
    if (errno != EINPROGRESS) {
        const int e = errno;
        Close();
        return Fail(Failure::Connect, e);
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
    if (!WaitFor(POLLOUT, std::max(left, std::chrono::milliseconds(0)))) {
        Close();
        return false;
    }
    int error = 0;
    socklen_t len = sizeof error;
    ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &len);
    if (error != 0) {
        Close();
        return Fail(Failure::Connect, error);
    }
    return true;
}

bool CTcpSocket::Connect(const std::string& host, std::uint16_t port)
{
    Close();
    m_failure = Failure::None;
    m_errno = 0;
    if (Stopped())
        return Fail(Failure::Stopped, EINTR);
    // One limit for the look-up and the connection together.
    const auto end = std::min(m_deadline, Clock::now() + m_timeouts.connect);
    addrinfo* list = Resolve(host, port, end);
    if (!list)
        return false;
    bool connected = false;
    for (const addrinfo* a = list; a && !connected; a = a->ai_next) {
        connected = ConnectTo(*a, end);
        if (!connected && (m_failure == Failure::Timeout || m_failure == Failure::Stopped))
            break; // the time-out covers the whole connect
    }
    ::freeaddrinfo(list);
    if (connected) {
        const int one = 1;
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        m_failure = Failure::None;
    }
    return connected;
}

bool CTcpSocket::SendAll(std::string_view data)
{
    if (m_fd < 0)
        return Fail(Failure::NotConnected, ENOTCONN);
    while (!data.empty()) {
        if (!MayGoOn())
            return false;
        const ssize_t n = ::send(m_fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (n > 0) {
            data.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!WaitFor(POLLOUT, m_timeouts.write))
                return false;
            continue;
        }
        return Fail(Failure::Io, errno);
    }
    return true;
}

long CTcpSocket::Receive(char* buffer, std::size_t capacity)
{
    if (m_fd < 0) {
        Fail(Failure::NotConnected, ENOTCONN);
        return -1;
    }
    if (capacity == 0) {
        Fail(Failure::Io, EINVAL); // a zero-byte read would look like the peer closing
        return -1;
    }
    for (;;) {
        // A peer that keeps sending never makes us wait, so the exchange's deadline is checked here
        // too; otherwise a flood would outlive it.
        if (!MayGoOn())
            return -1;
        const ssize_t n = ::recv(m_fd, buffer, capacity, 0);
        if (n > 0)
            return static_cast<long>(n);
        if (n == 0) {
            m_failure = Failure::Closed;
            return 0;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            Fail(Failure::Io, errno);
            return -1;
        }
        if (!WaitFor(POLLIN, m_timeouts.read))
            return -1;
    }
}

std::string CTcpSocket::LastErrorText() const
{
    switch (m_failure) {
    case Failure::None:
        return "no error";
    case Failure::Resolve:
        return "host name not found";
    case Failure::Timeout:
        return "timed out";
    case Failure::Closed:
        return "connection closed by the peer";
    case Failure::NotConnected:
        return "not connected";
    case Failure::Stopped:
        return "interrupted";
    case Failure::Socket:
    case Failure::Connect:
    case Failure::Io:
        break;
    }
    return std::strerror(m_errno);
}

bool CTcpSocket::SplitHostPort(const std::string& text, std::uint16_t defaultPort, std::string& host,
                               std::uint16_t& port)
{
    port = defaultPort;
    if (text.empty())
        return false;
    std::string rest; // what follows the host: empty, or ":" and the port
    if (text.front() == '[') {
        const auto close = text.find(']');
        if (close == std::string::npos)
            return false;
        host = text.substr(1, close - 1);
        rest = text.substr(close + 1);
        if (!rest.empty() && rest.front() != ':')
            return false;
    } else {
        const auto colon = text.rfind(':');
        // A bare IPv6 address has several colons and no port.
        if (colon == std::string::npos || text.find(':') != colon) {
            host = text;
        } else {
            host = text.substr(0, colon);
            rest = text.substr(colon);
        }
    }
    if (host.empty())
        return false;
    if (rest.empty())
        return true;
    const std::string digits = rest.substr(1);
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    if (digits.empty() || digits.size() > 5 || !std::all_of(digits.begin(), digits.end(), isDigit))
        return false;
    const long value = std::stol(digits);
    if (value < 1 || value > 65535)
        return false;
    port = static_cast<std::uint16_t>(value);
    return true;
}

std::string CTcpSocket::FailureReason(const std::string& peer) const
{
    switch (m_failure) {
    case Failure::Resolve:
        return "nie znaleziono serwera " + peer;
    case Failure::Connect:
        return "nie mo\xBFna po\xB3\xB9"
               "czy\xE6 si\xEA z serwerem " +
               peer;
    case Failure::Timeout:
        if (m_deadlinePassed && m_deadlineSeconds > 0)
            return "wymiana z serwerem " + peer +
                   " trwa\xB3"
                   "a d\xB3u\xBF"
                   "ej ni\xBF " +
                   std::to_string(m_deadlineSeconds) + " s";
        return "serwer " + peer + " nie odpowiedzia\xB3 w wyznaczonym czasie";
    case Failure::Closed:
        return "serwer " + peer +
               " zamkn\xB9\xB3 po\xB3\xB9"
               "czenie";
    case Failure::Stopped:
        return "przerwano po\xB3\xB9"
               "czenie z serwerem " +
               peer +
               ", bo program ko\xF1"
               "czy prac\xEA";
    default:
        if (m_errno == ECONNRESET || m_errno == EPIPE)
            return "serwer " + peer +
                   " zerwa\xB3 po\xB3\xB9"
                   "czenie";
        if (m_errno == ENETUNREACH || m_errno == EHOSTUNREACH)
            return "sie\xE6 nie prowadzi do serwera " + peer;
        return "b\xB3\xB9"
               "d po\xB3\xB9"
               "czenia z serwerem " +
               peer +
               " (kod b\xB3\xEA"
               "du systemu " +
               std::to_string(m_errno) + ")";
    }
}
