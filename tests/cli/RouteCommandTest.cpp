#include <gtest/gtest.h>

#include <cstdio>
#include <sys/wait.h>

#include <nlohmann/json.hpp>

#include "support/TempDir.h"

namespace {

struct RouteRun
{
    int status = -1;
    std::string out;
};

// Runs brivantel-cli through the shell with a private data directory and settings; stderr is
// dropped, stdout kept.
RouteRun RunCli(const TempDir& dir, const std::string& args)
{
    const std::string command = "XDG_CONFIG_HOME='" + dir.file("config") + "' HOME='" + dir.path() +
                                "' LANG=C.UTF-8 '" BRIVANTEL_CLI_PATH "' --data-dir '" + dir.file("data") +
                                "' " + args + " 2>/dev/null </dev/null";
    RouteRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[256];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.out.append(buffer, n);
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

int DumpedRoute(const TempDir& dir)
{
    const auto dump = nlohmann::json::parse(RunCli(dir, "dump").out, nullptr, false);
    if (dump.is_discarded())
        return -100;
    if (!dump.contains("settings") || !dump["settings"].contains("route"))
        return -100;
    return dump["settings"]["route"].get<int>();
}

} // namespace

TEST(RouteCommandTest, ShowsAndSetsTheRouteOfTheSettingsRecord)
{
    TempDir dir;
    auto run = RunCli(dir, "route");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "internet\n"); // a new data file sends through the gateways

    EXPECT_EQ(RunCli(dir, "route phone").status, 0);
    run = RunCli(dir, "route");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "phone\n");
    EXPECT_EQ(DumpedRoute(dir), 1);

    EXPECT_EQ(RunCli(dir, "route internet").status, 0);
    EXPECT_EQ(RunCli(dir, "route").out, "internet\n");
    EXPECT_EQ(DumpedRoute(dir), 0);
}

TEST(RouteCommandTest, AnUnknownRouteIsBadUsageAndChangesNothing)
{
    TempDir dir;
    EXPECT_EQ(RunCli(dir, "route phone").status, 0);
    EXPECT_EQ(RunCli(dir, "route modem").status, 2);
    EXPECT_EQ(RunCli(dir, "route phone internet").status, 2);
    EXPECT_EQ(RunCli(dir, "route").out, "phone\n");
}
