#include "phone/mm/FakeModemManager.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

pid_t Spawn(std::vector<std::string> argv, const std::vector<std::string>& extraEnv, int out,
            const std::string& log)
{
    std::vector<char*> args;
    for (auto& a : argv)
        args.push_back(a.data());
    args.push_back(nullptr);
    std::vector<std::string> env = extraEnv;
    for (char** e = environ; *e; ++e)
        env.emplace_back(*e);
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (out >= 0)
        posix_spawn_file_actions_adddup2(&actions, out, 1);
    else
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    pid_t pid = -1;
    if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

void Stop(pid_t& pid)
{
    if (pid <= 0)
        return;
    ::kill(pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid) {
            pid = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    pid = -1;
}

} // namespace

FakeModemManager::FakeModemManager(nlohmann::json parameters)
{
    if (StartBus())
        StartService(std::move(parameters));
}

FakeModemManager::~FakeModemManager()
{
    Stop(m_service);
    Stop(m_bus);
}

bool FakeModemManager::StartBus()
{
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0) {
        m_problem = "no pipe";
        return false;
    }
    m_bus = Spawn({"/usr/bin/dbus-daemon", "--session", "--nofork", "--print-address"}, {}, pipe[1],
                  m_dir.file("bus.log"));
    ::close(pipe[1]);
    std::string line;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (m_bus > 0 && line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < end) {
        pollfd p{pipe[0], POLLIN, 0};
        if (::poll(&p, 1, 100) > 0) {
            char buffer[256];
            const ssize_t n = ::read(pipe[0], buffer, sizeof buffer);
            if (n <= 0)
                break;
            line.append(buffer, static_cast<std::size_t>(n));
        }
    }
    ::close(pipe[0]);
    if (line.find('\n') == std::string::npos) {
        m_problem = "dbus-daemon did not start (install the package dbus)";
        return false;
    }
    m_address = line.substr(0, line.find('\n'));
    return true;
}

bool FakeModemManager::StartService(nlohmann::json parameters)
{
    parameters["state"] = m_dir.file("state.json");
    m_service = Spawn({"/usr/bin/python3", "-m", "dbusmock", "--template", BRIVANTEL_MM_TEMPLATE,
                       "--parameters", parameters.dump()},
                      {BusEnvironment()}, -1, m_dir.file("service.log"));
    // The template writes its state once the bus name is taken and every object is in place.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!FileExists(m_dir.file("state.json"))) {
        if (m_service <= 0 || ::waitpid(m_service, nullptr, WNOHANG) == m_service ||
            std::chrono::steady_clock::now() >= end) {
            m_service = -1;
            std::ifstream log(m_dir.file("service.log"));
            m_problem = "the ModemManager stand-in did not start (install the package python3-dbusmock): " +
                        std::string(std::istreambuf_iterator<char>(log), {});
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

nlohmann::json FakeModemManager::State() const
{
    std::ifstream file(m_dir.file("state.json"));
    return nlohmann::json::parse(file, nullptr, false);
}

bool FakeModemManager::CallTest(const std::string& method, const std::vector<std::string>& arguments,
                                std::string* reply)
{
    const std::string out = m_dir.file("dbus-send.out");
    const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    std::vector<std::string> argv = {"/usr/bin/dbus-send",
                                     "--bus=" + m_address,
                                     "--print-reply",
                                     "--reply-timeout=20000",
                                     "--dest=org.freedesktop.ModemManager1",
                                     "/org/freedesktop/ModemManager1",
                                     "com.brivantel.FakeModemManager." + method};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const pid_t pid = Spawn(argv, {}, fd, m_dir.file("dbus-send.log"));
    ::close(fd);
    int status = -1;
    if (pid <= 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return false;
    if (reply) {
        std::ifstream file(out);
        *reply = std::string(std::istreambuf_iterator<char>(file), {});
    }
    return true;
}

std::string FakeModemManager::Receive(const nlohmann::json& message)
{
    std::string reply;
    if (!CallTest("Receive", {"string:" + message.dump()}, &reply))
        return {};
    // method return ... \n   object path "/org/freedesktop/ModemManager1/SMS/3"
    const auto open = reply.find('"');
    const auto close = reply.rfind('"');
    return open == std::string::npos || close <= open ? std::string()
                                                      : reply.substr(open + 1, close - open - 1);
}

bool FakeModemManager::Update(const std::string& path, const nlohmann::json& properties)
{
    return CallTest("Update", {"objpath:" + path, "string:" + properties.dump()}, nullptr);
}

bool FakeModemManager::SetDelete(const std::string& behaviour)
{
    return CallTest("SetDelete", {"string:" + behaviour}, nullptr);
}

bool FakeModemManager::Restart(nlohmann::json parameters)
{
    Stop(m_service);
    ::unlink(m_dir.file("state.json").c_str());
    return StartService(std::move(parameters));
}
