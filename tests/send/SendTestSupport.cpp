#include "SendTestSupport.h"

#include <arpa/inet.h>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

std::uint16_t UnusedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

namespace {

bool Accepts(std::uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

std::string FindTinyproxy()
{
    for (const char* path : {"/usr/bin/tinyproxy", "/usr/sbin/tinyproxy", "/usr/local/bin/tinyproxy"})
        if (::access(path, X_OK) == 0)
            return path;
    return {};
}

} // namespace

Tinyproxy::Tinyproxy() = default;

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
    const std::string program = FindTinyproxy();
    if (program.empty()) {
        why = "tinyproxy is not installed (Debian package: tinyproxy; scripts/install-deps installs it)";
        return false;
    }
    m_port = UnusedPort();
    const std::string conf = m_dir.file("tinyproxy.conf");
    std::ofstream(conf) << "Port " << m_port << "\nListen 127.0.0.1\nAllow 127.0.0.1\nTimeout 30\n"
                        << "PidFile \"" << m_dir.file("tinyproxy.pid") << "\"\nLogFile \""
                        << m_dir.file("tinyproxy.log") << "\"\nLogLevel Info\nMaxClients 20\n";
    std::vector<std::string> args = {program, "-d", "-c", conf};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, m_dir.file("stderr").c_str(), O_WRONLY | O_CREAT, 0600);
    const int rc = ::posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), environ);
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
    why = "tinyproxy does not accept connections";
    return false;
}
