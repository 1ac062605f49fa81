#include "support/Loopback.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

constexpr const char* kTinyproxy = "/usr/bin/tinyproxy";

sockaddr_in Loopback(std::uint16_t port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    return a;
}

bool Accepts(std::uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in a = Loopback(port);
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

} // namespace

int ListenOnLoopback(std::uint16_t& port, int backlog)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a = Loopback(0);
    socklen_t len = sizeof a;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, backlog) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    port = ntohs(a.sin_port);
    return fd;
}

std::uint16_t UnusedPort()
{
    std::uint16_t port = 0;
    const int fd = ListenOnLoopback(port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

Tinyproxy::~Tinyproxy()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
    }
}

bool Tinyproxy::Start(std::string& why)
{
    if (::access(kTinyproxy, X_OK) != 0) {
        why = "tinyproxy is not installed (Debian package: tinyproxy; scripts/install-deps installs it)";
        return false;
    }
    m_port = UnusedPort();
    const std::string conf = m_dir.file("tinyproxy.conf");
    std::ofstream(conf) << "Port " << m_port << "\nListen 127.0.0.1\nAllow 127.0.0.1\nTimeout 30\nMaxClients 20\n"
                        << "PidFile \"" << m_dir.file("tinyproxy.pid") << "\"\nLogFile \""
                        << m_dir.file("tinyproxy.log") << "\"\nLogLevel Info\n";
    // The proxy may drop to another user; it must still be able to write its log there.
    ::chmod(m_dir.path().c_str(), 0777);
    const char* argv[] = {kTinyproxy, "-d", "-c", conf.c_str(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, m_dir.file("stderr").c_str(), O_WRONLY | O_CREAT, 0600);
    const int rc = ::posix_spawn(&m_pid, kTinyproxy, &actions, nullptr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        m_pid = -1;
        why = "tinyproxy did not start";
        return false;
    }
    // Ready when it accepts a connection; it is given a few seconds to get there.
    for (int i = 0; i < 100; ++i) {
        if (Accepts(m_port))
            return true;
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            why = "tinyproxy ended at start; see its configuration";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    why = "tinyproxy does not accept connections on port " + std::to_string(m_port);
    return false;
}
