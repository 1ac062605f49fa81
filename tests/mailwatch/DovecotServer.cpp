#include "DovecotServer.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "FakePop3Server.h"
#include "net/TcpSocket.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr const char* kDovecot = "/usr/sbin/dovecot";
constexpr const char* kPop3Binary = "/usr/lib/dovecot/pop3";
constexpr uid_t kNobody = 65534;

void ChownTree(const std::string& path)
{
    ::chown(path.c_str(), kNobody, kNobody);
    for (const auto& entry : fs::recursive_directory_iterator(path))
        ::chown(entry.path().c_str(), kNobody, kNobody);
}

bool Run(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

} // namespace

DovecotServer::DovecotServer() : m_maildir(m_dir.file("home/Maildir"))
{
    // The mail processes run as nobody and must reach the home directory inside.
    fs::permissions(m_dir.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                      fs::perms::others_read | fs::perms::others_exec);
    for (const char* sub : {"new", "cur", "tmp"})
        fs::create_directories(m_maildir + "/" + sub);
    ChownTree(m_dir.file("home"));
    fs::create_directories(m_dir.file("run"));
    fs::create_directories(m_dir.file("state"));
}

DovecotServer::~DovecotServer()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
    }
}

bool DovecotServer::MakeCertificates(std::string& why)
{
    if (!Run("openssl version")) {
        why = "openssl is not installed (Debian package openssl)";
        return false;
    }
    const std::string d = m_dir.path();
    const std::string ec = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
    const bool ok =
        Run("openssl req -x509" + ec + " -keyout " + d + "/ca.key -out " + d +
            "/ca.pem -days 2 -subj '/CN=Brivantel Test CA'") &&
        Run("openssl req -x509" + ec + " -keyout " + d + "/other-ca.key -out " + d +
            "/other-ca.pem -days 2 -subj '/CN=Brivantel Other CA'") &&
        Run("openssl req" + ec + " -keyout " + d + "/server.key -out " + d +
            "/server.csr -subj '/CN=localhost'") &&
        Run("printf 'subjectAltName=DNS:localhost\\n' > " + d + "/server.ext") &&
        Run("openssl x509 -req -in " + d + "/server.csr -CA " + d + "/ca.pem -CAkey " + d +
            "/ca.key -CAcreateserial" + " -out " + d + "/server.pem -days 2 -extfile " + d + "/server.ext");
    if (!ok)
        why = "could not make the test certificates with openssl";
    return ok;
}

void DovecotServer::WriteConfiguration()
{
    const std::string d = m_dir.path();
    std::ofstream(m_dir.file("passwd"))
        << kUser << ":{PLAIN}" << kPassword << ":65534:65534::" << d << "/home::\n";
    std::ofstream(m_dir.file("dovecot.conf"))
        << "protocols = pop3\n"
           "listen = 127.0.0.1\n"
           "base_dir = "
        << d << "/run\nstate_dir = " << d << "/state\nlog_path = " << d
        << "/dovecot.log\n"
           "ssl = yes\nssl_cert = <"
        << d << "/server.pem\nssl_key = <" << d
        << "/server.key\n"
           "disable_plaintext_auth = no\n"
           "auth_mechanisms = plain\n"
           "mail_location = maildir:~/Maildir\n"
           "default_internal_user = nobody\n"
           "default_login_user = nobody\n"
           "default_internal_group = nogroup\n"
           "passdb {\n  driver = passwd-file\n  args = scheme=PLAIN "
        << d << "/passwd\n}\nuserdb {\n  driver = passwd-file\n  args = " << d
        << "/passwd\n}\n"
           "service pop3-login {\n  chroot =\n  inet_listener pop3 {\n    port = "
        << m_port << "\n  }\n  inet_listener pop3s {\n    port = " << m_tlsPort
        << "\n    ssl = yes\n  }\n}\n"
           "service anvil {\n  chroot =\n}\n";
}

bool DovecotServer::Start(std::string& why)
{
    if (::access(kDovecot, X_OK) != 0 || ::access(kPop3Binary, X_OK) != 0) {
        why = "dovecot's POP3 server is not installed (Debian package dovecot-pop3d)";
        return false;
    }
    if (::geteuid() != 0) {
        why = "dovecot with a private configuration needs to start as root";
        return false;
    }
    if (!MakeCertificates(why))
        return false;
    m_port = UnusedPort();
    m_tlsPort = UnusedPort();
    WriteConfiguration();
    const std::string config = m_dir.file("dovecot.conf");
    char* argv[] = {const_cast<char*>(kDovecot), const_cast<char*>("-F"), const_cast<char*>("-c"),
                    const_cast<char*>(config.c_str()), nullptr};
    if (::posix_spawn(&m_pid, kDovecot, nullptr, nullptr, argv, environ) != 0) {
        m_pid = -1;
        why = "could not start dovecot";
        return false;
    }
    return WaitUntilServing(why);
}

bool DovecotServer::WaitUntilServing(std::string& why)
{
    // Bounded: dovecot answers within a fraction of a second once its listeners are up.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < end) {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            std::ifstream log(m_dir.file("dovecot.log"));
            why = "dovecot stopped at start-up: " +
                  std::string(std::istreambuf_iterator<char>(log), std::istreambuf_iterator<char>());
            return false;
        }
        CTcpSocket probe({}, SocketTimeouts{std::chrono::milliseconds(1000), std::chrono::milliseconds(2000),
                                            std::chrono::milliseconds(1000)});
        char greeting[64];
        if (probe.Connect("127.0.0.1", m_port) && probe.Receive(greeting, sizeof greeting) > 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    why = "dovecot did not answer on port " + std::to_string(m_port);
    return false;
}

void DovecotServer::PutMessages(int count)
{
    for (const char* sub : {"new", "cur"})
        for (const auto& entry : fs::directory_iterator(m_maildir + "/" + sub))
            fs::remove(entry.path());
    for (int i = 0; i < count; ++i) {
        const std::string name =
            m_maildir + "/new/1700000000.M" + std::to_string(++m_serial) + "P1.brivantel";
        std::ofstream(name) << "From: nadawca@example.pl\nSubject: Wiadomosc " << m_serial
                            << "\n\n.kropka na poczatku\ntresc\n";
        ::chown(name.c_str(), kNobody, kNobody);
    }
}
