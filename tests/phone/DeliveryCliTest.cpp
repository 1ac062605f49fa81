// brivantel-cli sent and thread after a send with delivery reports and a reading of the phone.
#include <gtest/gtest.h>

#include <ctime>

#include <nlohmann/json.hpp>

#include "phone/FakeModem.h"
#include "phone/FakeSmsPhone.h"
#include "support/CliProcess.h"
#include "support/TempDir.h"

namespace {

// A status report for reference 1 to +48602000001, status 00, both times now (zone +00).
std::string DeliveredReport()
{
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    std::string stamp;
    for (const int v : {tm.tm_year % 100, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec}) {
        stamp += static_cast<char>('0' + v % 10);
        stamp += static_cast<char>('0' + v / 10);
    }
    stamp += "00";
    return "0006"
           "01"
           "0B918406020000F1" +
           stamp + stamp + "00";
}

} // namespace

TEST(DeliveryCliTest, SentAndThreadShowTheStateAReportGave)
{
    TempDir dir;
    FakeModem modem;
    ASSERT_TRUE(modem.IsReady());
    modem.Behave({});
    auto cli = [&](const std::vector<std::string>& args) {
        return RunCli(BRIVANTEL_CLI_PATH, dir, dir.path(), args);
    };
    ASSERT_EQ(cli({"config", "set", "Settings/DeliveryReports", "1"}).status, 0);
    ASSERT_EQ(cli({"config", "set", "Settings/Port", modem.DevicePath()}).status, 0);
    ASSERT_EQ(cli({"route", "phone"}).status, 0);
    const auto sent = cli({"send", "--number", "+48602000001", "--text", "Hej"});
    ASSERT_EQ(sent.status, 0) << sent.err;

    auto before = nlohmann::json::parse(cli({"sent", "--json"}).out);
    ASSERT_EQ(before.size(), 1u);
    EXPECT_EQ(before[0]["delivery"], "pending");

    FakeSmsPhone phone({});
    phone.Put("ME", DeliveredReport());
    const auto received = cli({"receive", "--port", phone.DevicePath()});
    ASSERT_EQ(received.status, 0) << received.err;
    EXPECT_EQ(phone.Used("ME"), 0);

    const auto list = cli({"sent", "--json"});
    ASSERT_EQ(list.status, 0) << list.err;
    const auto after = nlohmann::json::parse(list.out);
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0]["recipient"], "+48602000001");
    EXPECT_EQ(after[0]["number"], "+48602000001");
    EXPECT_EQ(after[0]["text"], "Hej");
    EXPECT_EQ(after[0]["delivery"], "delivered");

    const auto thread = cli({"thread", "602 000 001", "--json"});
    ASSERT_EQ(thread.status, 0) << thread.err;
    const auto items = nlohmann::json::parse(thread.out);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0]["direction"], "sent");
    EXPECT_EQ(items[0]["delivery"], "delivered");
}
