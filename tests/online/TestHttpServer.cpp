#include "TestHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

#include "support/Loopback.h"

TestHttpServer::TestHttpServer()
{
    m_listen = ListenOnLoopback(m_port, 16);
    if (m_listen < 0)
        throw std::runtime_error("test server: cannot listen");
    m_thread = std::thread([this] { Serve(); });
}

TestHttpServer::~TestHttpServer()
{
    m_stop = true;
    m_thread.join();
    ::close(m_listen);
}

void TestHttpServer::Route(const std::string& path, Reply reply)
{
    std::lock_guard lock(m_mutex);
    m_routes[path] = std::move(reply);
}

std::vector<std::string> TestHttpServer::Requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

std::vector<std::string> TestHttpServer::Paths() const
{
    std::vector<std::string> paths;
    for (const auto& r : Requests())
        paths.push_back(RequestPath(r));
    return paths;
}

std::string TestHttpServer::Response(int status, const std::string& body, bool withLength)
{
    std::string head = "HTTP/1.1 " + std::to_string(status) + (status == 200 ? " OK" : " Not Found") + "\r\n";
    head += "Content-Type: application/octet-stream\r\n";
    if (withLength)
        head += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    head += "Connection: close\r\n\r\n";
    return head + body;
}

bool TestHttpServer::WaitReadable(int fd) const
{
    // Short slices so that stopping the server is never held up.
    while (!m_stop) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 20) > 0)
            return true;
    }
    return false;
}

void TestHttpServer::Serve()
{
    while (WaitReadable(m_listen)) {
        const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        Handle(fd);
        ::close(fd);
    }
}

void TestHttpServer::Handle(int fd)
{
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
        if (!WaitReadable(fd))
            return;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return;
        request.append(buffer, static_cast<std::size_t>(n));
    }
    Reply reply;
    {
        std::lock_guard lock(m_mutex);
        m_requests.push_back(request);
        const auto it = m_routes.find(RequestPath(request));
        reply = it != m_routes.end()
                    ? it->second
                    : Reply{Response(404, "<html><body>404 Not Found</body></html>"), 0, false, false};
    }
    if (!reply.silent) {
        const std::size_t piece = reply.pieceSize ? reply.pieceSize : reply.raw.size();
        for (std::size_t at = 0; at < reply.raw.size(); at += piece) {
            const std::string_view part = std::string_view(reply.raw).substr(at, piece);
            if (::send(fd, part.data(), part.size(), MSG_NOSIGNAL) < 0)
                return;
            if (reply.pieceSize)
                ::usleep(1000); // lets the pieces arrive as separate reads
        }
        if (!reply.keepOpen)
            return;
    }
    // Hold the connection until the client gives up.
    while (WaitReadable(fd)) {
        if (::recv(fd, buffer, sizeof buffer, 0) <= 0)
            return;
    }
}

std::string RequestPath(const std::string& request)
{
    const auto sp = request.find(' ');
    const auto end = request.find(' ', sp + 1);
    std::string target = request.substr(sp + 1, end - sp - 1);
    const auto scheme = target.find("://");
    if (scheme != std::string::npos) {
        const auto slash = target.find('/', scheme + 3);
        target = slash == std::string::npos ? "/" : target.substr(slash);
    }
    return target;
}
