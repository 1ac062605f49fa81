#pragma once

#include "net/StopRequest.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

struct SocketTimeouts
{
    std::chrono::milliseconds connect{20000};
    std::chrono::milliseconds read{30000};
    std::chrono::milliseconds write{30000};
};

struct addrinfo;

// A blocking TCP stream with deadlines. Every wait is cut into slices of about 50 ms; after each
// slice the wait hook runs (the desktop program repaints there and does nothing else). No wait is
// unbounded: connecting (name look-up included), each read and each write have their time-outs, an
// optional deadline bounds a whole exchange, and an optional stop flag ends any wait at once.
class CTcpSocket
{
public:
    using Clock = std::chrono::steady_clock;
    using WaitHook = std::function<void()>;

    using Timeouts = SocketTimeouts;

    // Socket: the system would not create a socket at all (LastErrno says why). Stopped: the stop
    // flag was raised.
    enum class Failure
    {
        None,
        Resolve,
        Socket,
        Connect,
        Timeout,
        Closed,
        Io,
        NotConnected,
        Stopped
    };

    // The system's getaddrinfo by default; tests put a slow or silent resolver in its place. It
    // runs on a thread of its own, which is abandoned when the connect limit passes first.
    using Resolver =
        std::function<int(const char* host, const char* service, const addrinfo* hints, addrinfo** result)>;

    explicit CTcpSocket(WaitHook hook = {}, Timeouts timeouts = {});
    ~CTcpSocket();
    CTcpSocket(const CTcpSocket&) = delete;
    CTcpSocket& operator=(const CTcpSocket&) = delete;

    void SetTimeouts(const Timeouts& timeouts) { m_timeouts = timeouts; }
    const Timeouts& GetTimeouts() const { return m_timeouts; }
    void SetWaitHook(WaitHook hook) { m_hook = std::move(hook); }
    // Bounds everything that follows, whatever the single time-outs say; Clock::time_point::max()
    // removes the bound.
    void SetDeadline(Clock::time_point deadline);
    // While the flag is raised every wait, send and read ends at once with Failure::Stopped; the
    // flag may be raised from another thread or a signal handler. Null: no stop.
    void SetStopFlag(const std::atomic<bool>* stop) { m_stop = stop; }
    void SetResolver(Resolver resolver) { m_resolver = std::move(resolver); }

    // Connects by host name or dotted address; looking the name up counts towards the connect
    // time-out.
    bool Connect(const std::string& host, std::uint16_t port);
    bool SendAll(std::string_view data);
    // Waits for data and returns what has arrived, at most capacity bytes: the count read, 0 when
    // the peer closed the connection, -1 on a failure or time-out (see LastFailure).
    long Receive(char* buffer, std::size_t capacity);
    void Close();

    bool IsConnected() const { return m_fd >= 0; }
    int NativeHandle() const { return m_fd; }
    Failure LastFailure() const { return m_failure; }
    int LastErrno() const { return m_errno; }
    // A short English description of the last failure, for logs and error texts.
    std::string LastErrorText() const;
    // The last failure in Polish for the user, naming the peer ("serwer host:80 nie odpowiedział w
    // wyznaczonym czasie"). Windows-1250.
    std::string FailureReason(const std::string& peer) const;

    // Splits "host" or "host:port"; false when the port is not a number from 1 to 65535.
    static bool SplitHostPort(const std::string& text, std::uint16_t defaultPort, std::string& host,
                              std::uint16_t& port);

    // Waits until the descriptor is ready for events (POLLIN/POLLOUT), slice by slice, calling the
    // hook; false on time-out (Failure::Timeout) or poll failure. Public for the TLS layer, which
    // waits on the same descriptor.
    bool WaitFor(short events, std::chrono::milliseconds timeout);
    // False (and the failure set) once the stop flag is raised or the deadline has passed. A layer
    // that may find data waiting on every pass (TLS) asks on every pass, so a peer that never
    // stops sending cannot outlive either.
    bool MayGoOn();
    // Whether the last time-out was the deadline of the whole exchange rather than one wait.
    bool DeadlinePassed() const { return m_deadlinePassed; }
    // The whole exchange's time as SetDeadline gave it, in seconds (rounded up).
    long long DeadlineSeconds() const { return m_deadlineSeconds; }

private:
    bool Fail(Failure failure, int error, bool deadline = false);
    // The caller's flag, or the whole program ending (a signal, the end of the session).
    bool Stopped() const { return (m_stop && m_stop->load()) || net_stop::Requested(); }
    // The addresses of host, within the connect limit; null (and the failure set) otherwise.
    addrinfo* Resolve(const std::string& host, std::uint16_t port, Clock::time_point end);
    bool ConnectTo(const addrinfo& address, Clock::time_point end);

    int m_fd = -1;
    WaitHook m_hook;
    Timeouts m_timeouts;
    Clock::time_point m_deadline = Clock::time_point::max();
    long long m_deadlineSeconds = 0;
    bool m_deadlinePassed = false;
    const std::atomic<bool>* m_stop = nullptr;
    Resolver m_resolver;
    Failure m_failure = Failure::None;
    int m_errno = 0;
};
