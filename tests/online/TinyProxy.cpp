#include "TinyProxy.h"

#include <arpa/inet.h>
#include <csignal>
#include <fstream>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

std::uint16_t FreeLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(fd);
    return ntohs(addr.sin_port);
}

namespace {

bool Accepts(std::uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

} // namespace

TinyProxy::TinyProxy() = default;

TinyProxy::~TinyProxy()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
    }
}

bool TinyProxy::Installed()
{
    return ::access(kBinary, X_OK) == 0;
}

bool TinyProxy::Start(std::string& error)
{
    if (!Installed()) {
        error = "tinyproxy is not installed (Debian package tinyproxy)";
        return false;
    }
    m_port = FreeLoopbackPort();
    const std::string conf = m_dir.file("tinyproxy.conf");
    {
        std::ofstream out(conf);
        out << "Port " << m_port << "\nListen 127.0.0.1\nAllow 127.0.0.1\nTimeout 30\nMaxClients 8\n"
            << "PidFile \"" << m_dir.file("tinyproxy.pid") << "\"\nLogFile \"" << m_dir.file("tinyproxy.log")
            << "\"\nLogLevel Info\n";
    }
    // The proxy may drop to another user; it must still be able to write its log there.
    ::chmod(m_dir.path().c_str(), 0777);
    const char* argv[] = {kBinary, "-d", "-c", conf.c_str(), nullptr};
    if (posix_spawn(&m_pid, kBinary, nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0) {
        m_pid = -1;
        error = "tinyproxy could not be started";
        return false;
    }
    // Until it listens: bounded, and the loop ends as soon as the port answers.
    for (int i = 0; i < 500; ++i) {
        if (Accepts(m_port))
            return true;
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            error = "tinyproxy ended at start";
            return false;
        }
        ::usleep(10000);
    }
    error = "tinyproxy did not listen on port " + std::to_string(m_port);
    return false;
}
