#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "net/TcpSocket.h"
#include "support/Loopback.h"

namespace {

using namespace std::chrono_literals;

// A listening socket on 127.0.0.1 with a port the system picked.
class Listener
{
public:
    Listener() : m_fd(ListenOnLoopback(m_port, 4)) {}
    ~Listener() { ::close(m_fd); }
    std::uint16_t Port() const { return m_port; }
    int Accept() { return ::accept(m_fd, nullptr, nullptr); }

private:
    std::uint16_t m_port = 0;
    int m_fd = -1;
};

std::uint16_t ClosedPort()
{
    Listener l;
    return l.Port(); // nobody listens once the listener is gone
}

TEST(TcpSocketTest, SplitHostPortReadsNamesAddressesAndPorts)
{
    std::string host;
    std::uint16_t port = 0;
    const struct
    {
        const char* value;
        const char* host;
        std::uint16_t port;
    } accepted[] = {
        {"gateway.example", "gateway.example", 80},
        {"127.0.0.1:8081", "127.0.0.1", 8081},
        {"::1", "::1", 80},
        {"[::1]:65535", "::1", 65535},
        {"[::1]", "::1", 80},
    };
    for (const auto& c : accepted) {
        EXPECT_TRUE(CTcpSocket::SplitHostPort(c.value, 80, host, port)) << c.value;
        EXPECT_EQ(host, c.host) << c.value;
        EXPECT_EQ(port, c.port) << c.value;
    }
    for (const char* value :
         {"", ":80", "host:", "host:0", "host:65536", "host:8a", "host:\xB9", "[::1", "[::1]x"})
        EXPECT_FALSE(CTcpSocket::SplitHostPort(value, 80, host, port)) << value;
}

TEST(TcpSocketTest, ExchangesBytesAndSeesThePeerClose)
{
    Listener listener;
    std::string received;
    std::thread peer([&] {
        const int fd = listener.Accept();
        char buf[64];
        const auto n = ::recv(fd, buf, sizeof buf, 0);
        if (n > 0)
            received.assign(buf, static_cast<std::size_t>(n));
        ::send(fd, "reply", 5, MSG_NOSIGNAL);
        ::close(fd);
    });
    CTcpSocket socket;
    ASSERT_TRUE(socket.Connect("127.0.0.1", listener.Port()));
    EXPECT_TRUE(socket.IsConnected());
    ASSERT_TRUE(socket.SendAll("hello"));
    std::string reply;
    char buf[3];
    long n = 0;
    while ((n = socket.Receive(buf, sizeof buf)) > 0)
        reply.append(buf, static_cast<std::size_t>(n));
    EXPECT_EQ(n, 0);
    EXPECT_EQ(socket.LastFailure(), CTcpSocket::Failure::Closed);
    EXPECT_EQ(reply, "reply");
    peer.join();
    EXPECT_EQ(received, "hello");
    socket.Close();
    EXPECT_FALSE(socket.IsConnected());
}

TEST(TcpSocketTest, ConnectsByName)
{
    Listener listener;
    std::thread peer([&] { ::close(listener.Accept()); });
    CTcpSocket socket;
    EXPECT_TRUE(socket.Connect("localhost", listener.Port()));
    peer.join();
}

TEST(TcpSocketTest, NameLookUpThatNeverAnswersEndsAtTheConnectLimit)
{
    // A resolver with nothing to ask (no hosts file, no name server) hangs in the look-up.
    struct Gate
    {
        std::mutex mutex;
        std::condition_variable opened;
        bool open = false;
        bool answered = false;
    };
    auto gate = std::make_shared<Gate>();
    CTcpSocket::Timeouts timeouts;
    timeouts.connect = 300ms;
    int hookCalls = 0;
    CTcpSocket socket([&] { ++hookCalls; }, timeouts);
    socket.SetResolver([gate](const char*, const char* service, const addrinfo* hints, addrinfo** result) {
        std::unique_lock lock(gate->mutex);
        gate->opened.wait_for(lock, 30s, [&] { return gate->open; });
        gate->answered = true;
        return ::getaddrinfo("127.0.0.1", service, hints, result);
    });
    EXPECT_FALSE(socket.Connect("mail.example", 110));
    EXPECT_EQ(socket.LastFailure(), CTcpSocket::Failure::Timeout);
    EXPECT_GE(hookCalls, 1);
    std::lock_guard lock(gate->mutex);
    EXPECT_FALSE(gate->answered); // the look-up was still waiting when the connect gave up
    gate->open = true;
    gate->opened.notify_all();
}

TEST(TcpSocketTest, RaisedStopFlagEndsAWaitAtOnce)
{
    Listener listener;
    std::atomic<bool> stop{false};
    CTcpSocket::Timeouts timeouts;
    timeouts.read = 30s;
    CTcpSocket socket([&] { stop = true; }, timeouts);
    socket.SetStopFlag(&stop);
    ASSERT_TRUE(socket.Connect("127.0.0.1", listener.Port()));
    const int peer = listener.Accept(); // never answers
    char buf[16];
    EXPECT_EQ(socket.Receive(buf, sizeof buf), -1);
    EXPECT_EQ(socket.LastFailure(), CTcpSocket::Failure::Stopped);
    EXPECT_FALSE(socket.SendAll("QUIT \r\n"));
    EXPECT_EQ(socket.LastFailure(), CTcpSocket::Failure::Stopped);
    // The reason the user reads is Polish, as every other one.
    EXPECT_EQ(socket.FailureReason("127.0.0.1")
                  .rfind("przerwano po\xB3\xB9"
                         "czenie z serwerem 127.0.0.1",
                         0),
              0u);
    ::close(peer);
}

TEST(TcpSocketTest, ReportsRefusedAndUnresolvableConnections)
{
    CTcpSocket socket;
    EXPECT_FALSE(socket.Connect("127.0.0.1", ClosedPort()));
    EXPECT_EQ(socket.LastFailure(), CTcpSocket::Failure::Connect);
    EXPECT_FALSE(socket.IsConnected());
    EXPECT_FALSE(socket.Connect("", 80));
    EXPECT_EQ(socket.LastFailure(), CTcpSocket::Failure::Resolve);
}

TEST(TcpSocketTest, UnconnectedSocketRefusesToSendOrReceive)
{
    CTcpSocket socket;
    char buf[4];
    EXPECT_FALSE(socket.SendAll("x"));
    EXPECT_EQ(socket.Receive(buf, sizeof buf), -1);
    EXPECT_EQ(socket.LastFailure(), CTcpSocket::Failure::NotConnected);
}

TEST(TcpSocketTest, SilentPeerEndsTheReadWithATimeoutAndTheHookRunsMeanwhile)
{
    Listener listener;
    int hookCalls = 0;
    CTcpSocket::Timeouts timeouts;
    timeouts.read = 200ms;
    CTcpSocket socket([&] { ++hookCalls; }, timeouts);
    ASSERT_TRUE(socket.Connect("127.0.0.1", listener.Port()));
    const int peer = listener.Accept(); // accepted, never answered
    char buf[16];
    EXPECT_EQ(socket.Receive(buf, sizeof buf), -1);
    EXPECT_EQ(socket.LastFailure(), CTcpSocket::Failure::Timeout);
    EXPECT_GE(hookCalls, 1);
    ::close(peer);
}

TEST(TcpSocketTest, ExpiredDeadlineStopsReadingEvenWhileDataKeepsArriving)
{
    Listener listener;
    CTcpSocket socket;
    ASSERT_TRUE(socket.Connect("127.0.0.1", listener.Port()));
    const int peer = listener.Accept();
    ASSERT_EQ(::send(peer, "data", 4, MSG_NOSIGNAL), 4);
    char buf[16];
    socket.SetDeadline(CTcpSocket::Clock::now());
    EXPECT_EQ(socket.Receive(buf, sizeof buf), -1);
    EXPECT_EQ(socket.LastFailure(), CTcpSocket::Failure::Timeout);
    EXPECT_FALSE(socket.SendAll("more"));
    socket.SetDeadline(CTcpSocket::Clock::time_point::max());
    EXPECT_EQ(socket.Receive(buf, sizeof buf), 4);
    EXPECT_EQ(socket.Receive(buf, 0), -1);
    ::close(peer);
}

} // namespace
