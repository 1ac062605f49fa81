// brivantel-cli receive, inbox and watch-sms against a phone with storages.
#include <gtest/gtest.h>

#include <csignal>
#include <thread>

#include <nlohmann/json.hpp>

#include "phone/FakeSmsPhone.h"
#include "support/CliProcess.h"
#include "support/TempDir.h"

namespace {

const std::string kAnna = "0B918406123254F6"; // +48602123456
// 2026-12-08 21:05:10 +01:00, "hellohello".
const std::string kHello = "0004" + kAnna +
                           "0000"
                           "62218012500140"
                           "0A"
                           "E8329BFD4697D9EC37";
// From "Orange", 2026-12-08 21:05:30 -05:00 (20 quarters west), "hellohello".
const std::string kOrange = "0004"
                            "0BD04F79D87D2E03"
                            "0000"
                            "6221801250030A"
                            "0A"
                            "E8329BFD4697D9EC37";

class ReceiveCliTest : public ::testing::Test
{
protected:
    CliResult Cli(const std::vector<std::string>& args)
    {
        return RunCli(BRIVANTEL_CLI_PATH, m_dir, m_dir.path(), args);
    }

    std::string Stdout() const
    {
        const auto bytes = ReadFileBytes(m_dir.file("stdout"));
        return {bytes.begin(), bytes.end()};
    }

    TempDir m_dir;
    FakeSmsPhone m_phone{{}};
};

TEST_F(ReceiveCliTest, ReceivesStoresAndListsWithTheAddressBooksName)
{
    ASSERT_EQ(Cli({"contacts", "add", "--first", "Anna", "--surname", "Nowak", "--display", "Anna",
                   "--operator", "602", "--number", "123456"})
                  .status,
              0);
    m_phone.Put("ME", kHello);
    m_phone.Put("ME", kOrange);
    const auto received = Cli({"receive", "--port", m_phone.DevicePath()});
    ASSERT_EQ(received.status, 0) << received.err;
    EXPECT_EQ(received.out, "2026-12-08T21:05:10+01:00\tAnna\thellohello\n"
                            "2026-12-08T21:05:30-05:00\tOrange\thellohello\n");
    EXPECT_EQ(m_phone.Used("ME"), 0);
    EXPECT_TRUE(FileExists(m_dir.file("Brivantel.db")));

    const auto again = Cli({"receive", "--port", m_phone.DevicePath()});
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.out, "") << "nothing new";

    const auto inbox = Cli({"inbox", "--json", "--unread"});
    ASSERT_EQ(inbox.status, 0) << inbox.err;
    const auto list = nlohmann::json::parse(inbox.out);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0]["from"], "+48602123456");
    EXPECT_EQ(list[0]["name"], "Anna");
    EXPECT_EQ(list[0]["time"], "2026-12-08T21:05:10+01:00");
    EXPECT_EQ(list[0]["text"], "hellohello");
    EXPECT_EQ(list[0]["read"], false);
    EXPECT_EQ(list[0]["complete"], true);
    EXPECT_EQ(list[1]["from"], "Orange");
    EXPECT_FALSE(list[1].contains("name"));
}

TEST_F(ReceiveCliTest, WithoutAPortItSaysSo)
{
    const auto run = Cli({"receive"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("Nie wybrano portu telefonu"), std::string::npos) << run.err;
}

TEST_F(ReceiveCliTest, ADamagedDatabaseIsSetAsideWithAMessage)
{
    WriteFileBytes(m_dir.file("Brivantel.db"), std::vector<std::uint8_t>(4096, 0x20));
    const auto run = Cli({"inbox"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("Odłożono ją jako Brivantel-odlozona-"), std::string::npos) << run.err;
}

TEST_F(ReceiveCliTest, WatchPrintsMessagesAsTheyComeUntilASignal)
{
    m_phone.Put("ME", kHello);
    const pid_t pid = SpawnCli(BRIVANTEL_CLI_PATH, m_dir, m_dir.path(),
                               {"watch-sms", "--port", m_phone.DevicePath(), "--interval", "1"});
    ASSERT_GT(pid, 0);
    auto waitFor = [&](std::size_t lines) {
        for (int i = 0; i < 100; ++i) {
            const std::string out = Stdout();
            if (static_cast<std::size_t>(std::count(out.begin(), out.end(), '\n')) >= lines)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    };
    EXPECT_TRUE(waitFor(1));
    m_phone.Deliver(kOrange);
    EXPECT_TRUE(waitFor(2));
    ::kill(pid, SIGTERM);
    const auto run = WaitCli(pid, m_dir);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("\t+48602123456\thellohello\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Orange"), std::string::npos) << run.out;
    EXPECT_EQ(m_phone.Used("ME"), 0);
}

} // namespace
