#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

class TempDir;

// What a finished run of brivantel-cli left behind.
struct CliResult
{
    int status = -1; // the exit status, or -1 when it did not exit by itself
    std::string out;
    std::string err;
};

// Starts brivantel-cli (at cliPath) on the data directory dataDir (none named when it is empty),
// with its settings and home in dir, standard input from /dev/null and its output in dir's files
// "stdout" and "stderr".
// -1 when it cannot be started. extraEnv ("NAME=value") comes before the test's own values and
// wins over them; the system bus is one that does not exist unless extraEnv names another.
pid_t SpawnCli(const std::string& cliPath, const TempDir& dir, const std::string& dataDir,
               const std::vector<std::string>& args, const std::vector<std::string>& extraEnv = {});
// Waits for a run started by SpawnCli and reads what it printed.
CliResult WaitCli(pid_t pid, const TempDir& dir);
inline CliResult RunCli(const std::string& cliPath, const TempDir& dir, const std::string& dataDir,
                        const std::vector<std::string>& args, const std::vector<std::string>& extraEnv = {})
{
    return WaitCli(SpawnCli(cliPath, dir, dataDir, args, extraEnv), dir);
}
