#include "support/CliProcess.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include "support/TempDir.h"

namespace {

std::string Text(const std::string& path)
{
    const auto bytes = ReadFileBytes(path);
    return {bytes.begin(), bytes.end()};
}

} // namespace

pid_t SpawnCli(const std::string& cliPath, const TempDir& dir, const std::string& dataDir,
               const std::vector<std::string>& args, const std::vector<std::string>& extraEnv)
{
    std::vector<std::string> argv = {cliPath};
    if (!dataDir.empty())
        argv.insert(argv.end(), {"--data-dir", dataDir});
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargv;
    for (auto& a : argv)
        cargv.push_back(a.data());
    cargv.push_back(nullptr);
    // The user's own settings are never touched: the store lives in the test's directory.
    std::vector<std::string> env = extraEnv;
    for (std::string value :
         {"XDG_CONFIG_HOME=" + dir.file("config"), "HOME=" + dir.path(), std::string("LANG=C.UTF-8"),
          // Never the machine's own bus and its modem service.
          std::string("DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/brivantel-test-bus")})
        env.push_back(std::move(value));
    std::vector<char*> cenv;
    for (auto& e : env)
        cenv.push_back(e.data());
    cenv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, dir.file("stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, dir.file("stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    pid_t pid = -1;
    if (posix_spawn(&pid, cargv[0], &actions, nullptr, cargv.data(), cenv.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

CliResult WaitCli(pid_t pid, const TempDir& dir)
{
    CliResult result;
    if (pid > 0) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    result.out = Text(dir.file("stdout"));
    result.err = Text(dir.file("stderr"));
    return result;
}
