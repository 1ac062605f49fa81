#include "FakePop3Server.h"

#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A safety net only: a client under test that hangs must not hang the test run.
constexpr int kGiveUpMs = 20000;

bool WaitReadable(int fd)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, kGiveUpMs) > 0;
}

} // namespace

FakePop3Server::FakePop3Server(Script script) : m_script(std::move(script))
{
    m_listen = ListenOnLoopback(m_port, 4);
    if (m_listen < 0)
        throw std::runtime_error("cannot listen on 127.0.0.1");
    m_thread = std::thread([this] { Serve(); });
}

FakePop3Server::~FakePop3Server()
{
    if (m_thread.joinable())
        m_thread.join();
    ::close(m_listen);
}

std::string FakePop3Server::Received()
{
    if (m_thread.joinable())
        m_thread.join();
    return m_received;
}

std::vector<std::string> FakePop3Server::Drip(const std::string& text)
{
    std::vector<std::string> pieces;
    for (const char c : text)
        pieces.emplace_back(1, c);
    return pieces;
}

void FakePop3Server::SendPieces(int fd, const std::vector<std::string>& pieces)
{
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0) { // lets each piece reach the client as a read of its own
            // A client that has hung up gets no more of it.
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, m_script.pauseMs) > 0) {
                char probe;
                if (::recv(fd, &probe, 1, MSG_PEEK | MSG_DONTWAIT) <= 0)
                    return;
                std::this_thread::sleep_for(std::chrono::milliseconds(m_script.pauseMs));
            }
        }
        if (::send(fd, pieces[i].data(), pieces[i].size(), MSG_NOSIGNAL) < 0)
            return;
    }
}

void FakePop3Server::Serve()
{
    if (!WaitReadable(m_listen))
        return;
    const int fd = ::accept(m_listen, nullptr, nullptr);
    if (fd < 0)
        return;
    SendPieces(fd, m_script.greeting);
    if (m_script.closeAfterGreeting) {
        ::close(fd);
        return;
    }
    std::size_t answered = 0;
    std::size_t lineStart = 0;
    char buffer[4096];
    while (WaitReadable(fd)) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        m_received.append(buffer, static_cast<std::size_t>(n));
        std::size_t end;
        bool closed = false;
        while (!closed && (end = m_received.find('\n', lineStart)) != std::string::npos) {
            lineStart = end + 1;
            if (m_script.greeting.empty())
                continue; // a server that never answers stays silent
            const Answer answer =
                answered < m_script.answers.size() ? m_script.answers[answered] : Answer{{"+OK\r\n"}, false};
            ++answered;
            SendPieces(fd, answer.pieces);
            closed = answer.close;
        }
        if (closed)
            break;
    }
    ::close(fd);
}
