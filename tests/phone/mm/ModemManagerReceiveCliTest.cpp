// brivantel-cli receive, watch-sms, send and sent with ModemManager's stand-in holding the modem:
// received messages and delivery reports taken from the service's Sms objects.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <ctime>
#include <fstream>
#include <thread>

#include "messagedb/MessageDb.h"
#include "phone/mm/FakeModemManager.h"
#include "support/CliProcess.h"
#include "support/TempDir.h"

namespace {

using nlohmann::json;
using Clock = std::chrono::steady_clock;

const std::string kNumber = "+48602123456";

json OneModem()
{
    return {{"maker", "huawei"}, {"model", "E3372"}, {"port", "ttyUSB2"}, {"lock", "none"}};
}

// "2026-12-08T21:05:10Z" for now and the seconds given after it.
std::string IsoUtc(long after = 0)
{
    const std::time_t when = std::time(nullptr) + after;
    std::tm tm{};
    gmtime_r(&when, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return text;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

class ModemManagerReceiveCliTest : public ::testing::Test
{
protected:
    CliResult Cli(const std::vector<std::string>& args, const FakeModemManager& mm)
    {
        return RunCli(BRIVANTEL_CLI_PATH, *m_at, m_at->path(), args, {mm.BusEnvironment()});
    }
    CliResult Receive(const FakeModemManager& mm)
    {
        return Cli({"receive", "--backend", "modemmanager"}, mm);
    }

    // The received messages in the database, oldest first.
    std::vector<StoredMessage> Stored()
    {
        CMessageDb db;
        EXPECT_TRUE(db.Open(m_at->path()).ok);
        ListOptions all;
        all.withDeleted = true;
        return db.List(all, std::time(nullptr));
    }

    json Sent(const FakeModemManager& mm)
    {
        const CliResult run = Cli({"sent", "--json"}, mm);
        EXPECT_EQ(run.status, 0) << run.err;
        return json::parse(run.out, nullptr, false);
    }

    TempDir m_dir;
    TempDir* m_at = &m_dir; // where the tool runs: a case of a table may take its own
};

} // namespace

TEST_F(ModemManagerReceiveCliTest, EveryMessageArrivesOnceWithItsSenderTimeAndTextAndTheListEmpties)
{
    FakeModemManager mm(
        json{{"modems", {OneModem()}},
             {"inbox",
              {{{"number", "+48601111222"},
                {"text", "Zażółć gęślą jaźń 😀"},
                {"timestamp", "2026-12-08T21:05:10+01:00"}},
               // The form early versions of the service gave: a zone of hours only.
               {{"number", "Orange"}, {"text", "Doładowanie 25 zł"}, {"timestamp", "2026-07-01T09:00:00+02"}},
               {{"number", "600700800"}, {"data", "00FF10"}, {"timestamp", "2026-12-01T10:00:00Z"}},
               {{"number", "+48601111222"},
                {"text", "Części wciąż"},
                {"timestamp", "2026-12-08T22:00:00+01:00"},
                {"state", 2}}}}});
    ASSERT_EQ(mm.Problem(), "");
    CliResult run = Receive(mm);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "2026-12-08T21:05:10+01:00\t+48601111222\tZażółć gęślą jaźń 😀\n"
                       "2026-07-01T09:00:00+02:00\tOrange\tDoładowanie 25 zł\n"
                       "2026-12-01T10:00:00+00:00\t600700800\t00FF10\n");
    // The message still receiving stays with the service until it is whole.
    EXPECT_EQ(mm.State()["messages"], 1);

    ASSERT_TRUE(mm.Update("/org/freedesktop/ModemManager1/SMS/4",
                          {{"State", 3}, {"Text", "Części wciąż przychodziły, teraz całość."}}));
    run = Receive(mm);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "2026-12-08T22:00:00+01:00\t+48601111222\tCzęści wciąż przychodziły, teraz całość.\n");
    EXPECT_EQ(mm.State()["messages"], 0);

    run = Receive(mm);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    const auto stored = Stored();
    ASSERT_EQ(stored.size(), 4u);
    for (const auto& m : stored)
        EXPECT_TRUE(m.complete) << m.text;
    const auto orange =
        std::find_if(stored.begin(), stored.end(), [](const auto& m) { return m.sender == "Orange"; });
    ASSERT_NE(orange, stored.end());
    EXPECT_TRUE(orange->senderIsName);
    EXPECT_EQ(orange->zoneMinutes, 120);
}

TEST_F(ModemManagerReceiveCliTest, AMessageReadAgainIsStoredOnceEvenUnderANewObjectPath)
{
    const json inbox = {{{"number", kNumber}, {"text", "Raz"}, {"timestamp", "2026-12-08T21:05:10+01:00"}}};
    {
        FakeModemManager mm(json{{"modems", {OneModem()}}, {"inbox", inbox}, {"delete", "fail"}});
        ASSERT_EQ(mm.Problem(), "");
        CliResult run = Receive(mm);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, "2026-12-08T21:05:10+01:00\t" + kNumber + "\tRaz\n");
        EXPECT_NE(run.err.find("ModemManager nie usunął wiadomości /org/freedesktop/ModemManager1/SMS/1"),
                  std::string::npos)
            << run.err;
        EXPECT_EQ(mm.State()["messages"], 1);
        run = Receive(mm);
        EXPECT_EQ(run.out, "");
    }
    // The service started again numbers its objects anew.
    FakeModemManager mm(json{{"modems", {OneModem()}}, {"inbox", inbox}, {"first_sms", 17}});
    ASSERT_EQ(mm.Problem(), "");
    const CliResult run = Receive(mm);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(mm.State()["messages"], 0);
    EXPECT_EQ(Stored().size(), 1u);
}

TEST_F(ModemManagerReceiveCliTest, AKillBetweenCommitAndDeleteLosesNothingAndStoresNothingTwice)
{
    FakeModemManager mm(json{
        {"modems", {OneModem()}},
        {"inbox",
         {{{"number", kNumber}, {"text", "Przed zabiciem"}, {"timestamp", "2026-12-08T21:05:10+01:00"}}}},
        {"delete", "slow"}});
    ASSERT_EQ(mm.Problem(), "");
    const pid_t pid = SpawnCli(BRIVANTEL_CLI_PATH, m_dir, m_dir.path(),
                               {"receive", "--backend", "modemmanager"}, {mm.BusEnvironment()});
    ASSERT_GT(pid, 0);
    // Committed: the tool now waits for the service's slow deletion.
    const auto end = Clock::now() + std::chrono::seconds(20);
    while (Stored().empty() && Clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_EQ(Stored().size(), 1u);
    ::kill(pid, SIGKILL);
    EXPECT_EQ(WaitCli(pid, m_dir).status, -1);
    ASSERT_TRUE(mm.SetDelete("ok"));
    ASSERT_EQ(mm.State()["messages"], 1); // still there for the next reading

    const CliResult run = Receive(mm);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(mm.State()["messages"], 0);
    ASSERT_EQ(Stored().size(), 1u);
    EXPECT_EQ(Stored()[0].text, "Przed zabiciem");
}

TEST_F(ModemManagerReceiveCliTest, AServiceThatLeavesMidReadLosesNothing)
{
    const json inbox = {
        {{"number", kNumber}, {"text", "Pierwsza"}, {"timestamp", "2026-12-08T21:05:10+01:00"}},
        {{"number", kNumber}, {"text", "Druga"}, {"timestamp", "2026-12-08T21:06:10+01:00"}}};
    {
        FakeModemManager mm(json{{"modems", {OneModem()}}, {"inbox", inbox}, {"delete", "vanish"}});
        ASSERT_EQ(mm.Problem(), "");
        const CliResult run = Receive(mm);
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("Usługa ModemManager przestała odpowiadać; odebrane wiadomości są zapisane"),
                  std::string::npos)
            << run.err;
        EXPECT_EQ(run.out, "2026-12-08T21:05:10+01:00\t" + kNumber +
                               "\tPierwsza\n"
                               "2026-12-08T21:06:10+01:00\t" +
                               kNumber + "\tDruga\n");
    }
    EXPECT_EQ(Stored().size(), 2u);
    FakeModemManager mm(json{{"modems", {OneModem()}}, {"inbox", inbox}});
    ASSERT_EQ(mm.Problem(), "");
    const CliResult run = Receive(mm);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(mm.State()["messages"], 0);
    EXPECT_EQ(Stored().size(), 2u);
}

TEST_F(ModemManagerReceiveCliTest, AWatchReadsAtOnceWhenTheServiceAnnouncesAMessage)
{
    FakeModemManager mm(
        json{{"modems", {OneModem()}},
             {"inbox",
              {{{"number", kNumber}, {"text", "Już była"}, {"timestamp", "2026-12-08T21:05:10+01:00"}}}}});
    ASSERT_EQ(mm.Problem(), "");
    // An hour between readings: only the announcement can bring the second message in time.
    const pid_t pid =
        SpawnCli(BRIVANTEL_CLI_PATH, m_dir, m_dir.path(),
                 {"watch-sms", "--backend", "modemmanager", "--interval", "3600"}, {mm.BusEnvironment()});
    ASSERT_GT(pid, 0);
    const auto printed = [&](const std::string& text) {
        const auto end = Clock::now() + std::chrono::seconds(15);
        while (Clock::now() < end) {
            if (ReadFile(m_dir.file("stdout")).find(text) != std::string::npos)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    };
    EXPECT_TRUE(printed("Już była"));
    EXPECT_FALSE(
        mm.Receive({{"number", kNumber}, {"text", "Nowa"}, {"timestamp", "2026-12-08T21:07:00+01:00"}})
            .empty());
    EXPECT_TRUE(printed("2026-12-08T21:07:00+01:00\t" + kNumber + "\tNowa\n"));
    ::kill(pid, SIGTERM);
    const CliResult run = WaitCli(pid, m_dir);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(mm.State()["messages"], 0);
}

TEST_F(ModemManagerReceiveCliTest, WithReportsOffCreateIsAskedNothingMore)
{
    FakeModemManager mm(json{{"modems", {OneModem()}}});
    ASSERT_EQ(mm.Problem(), "");
    ASSERT_EQ(Cli({"route", "phone"}, mm).status, 0);
    const CliResult run = Cli({"send", "--number", kNumber, "--text", "Bez raportu"}, mm);
    ASSERT_EQ(run.status, 0) << run.err;
    const json sent = mm.State()["sent"];
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0]["properties"], json::array({"number", "text"}));
    const json list = Sent(mm);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_FALSE(list[0].contains("delivery") && !list[0]["delivery"].is_null()) << list.dump();
}

TEST_F(ModemManagerReceiveCliTest, AReportFromTheServiceGivesTheSentMessageItsState)
{
    struct Case
    {
        const char* name;
        json report; // what differs from a delivered report of the sent message
        const char* delivery;
    };
    const Case cases[] = {
        {"delivered", json::object(), "delivered"},
        {"failed", {{"delivery", 0x41}}, "failed"},
        {"still trying", {{"delivery", 0x20}}, "pending"},
        {"the service's unknown", {{"delivery", 0x100}}, "pending"},
        {"another reference", {{"reference", 99}}, "pending"},
        {"another number", {{"number", "+48601000999"}}, "pending"},
        {"eight days after the send", {{"discharge", IsoUtc(8 * 24 * 3600)}}, "pending"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        m_at = &dir;
        FakeModemManager mm(json{{"modems", {OneModem()}}, {"reference", 7}});
        ASSERT_EQ(mm.Problem(), "");
        ASSERT_EQ(Cli({"route", "phone"}, mm).status, 0);
        ASSERT_EQ(Cli({"config", "set", "Settings/DeliveryReports", "1"}, mm).status, 0);
        const CliResult run = Cli({"send", "--number", "602 123 456", "--text", "Hej"}, mm);
        ASSERT_EQ(run.status, 0) << run.err;
        ASSERT_EQ(mm.State()["sent"][0]["properties"],
                  json::array({"delivery-report-request", "number", "text"}));
        json report = {
            {"pdu", 3}, {"number", kNumber}, {"reference", 7}, {"delivery", 0}, {"discharge", IsoUtc()}};
        report.update(c.report);
        ASSERT_FALSE(mm.Receive(report).empty());
        const CliResult read = Receive(mm);
        EXPECT_EQ(read.status, 0) << c.name << read.err;
        EXPECT_EQ(mm.State()["messages"], 0) << c.name;
        const json list = Sent(mm);
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list[0]["delivery"], c.delivery) << c.name;
        m_at = &m_dir;
    }
}

TEST_F(ModemManagerReceiveCliTest, AThreePartMessageIsDeliveredOnlyWhenEveryPartIs)
{
    FakeModemManager mm(json{{"modems", {OneModem()}}, {"reference", 254}});
    ASSERT_EQ(mm.Problem(), "");
    ASSERT_EQ(Cli({"route", "phone"}, mm).status, 0);
    ASSERT_EQ(Cli({"config", "set", "Settings/DeliveryReports", "1"}, mm).status, 0);
    // 144 characters with Polish letters go as UCS-2: 67 + 67 + 10 characters, three parts with
    // the references 254, 255 and 0, of which the service names only the last.
    std::string text;
    for (int i = 0; i < 8; ++i)
        text += "Zażółć gęślą jaźń ";
    const CliResult run = Cli({"send", "--number", kNumber, "--text", text}, mm);
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(mm.State()["sent"][0]["reference"], 0);
    for (const int reference : {255, 0, 254}) {
        EXPECT_EQ(Sent(mm)[0]["delivery"], "pending") << reference;
        ASSERT_FALSE(mm.Receive({{"pdu", 3},
                                 {"number", kNumber},
                                 {"reference", reference},
                                 {"delivery", 0},
                                 {"discharge", IsoUtc()}})
                         .empty());
        ASSERT_EQ(Receive(mm).status, 0);
    }
    EXPECT_EQ(Sent(mm)[0]["delivery"], "delivered");
}

TEST_F(ModemManagerReceiveCliTest, AWatchFollowsTheModemWhenItIsPluggedInAgain)
{
    FakeModemManager mm(json{
        {"modems", {OneModem()}},
        {"inbox", {{{"number", kNumber}, {"text", "Przed"}, {"timestamp", "2026-12-08T21:05:10+01:00"}}}}});
    ASSERT_EQ(mm.Problem(), "");
    const pid_t pid =
        SpawnCli(BRIVANTEL_CLI_PATH, m_dir, m_dir.path(),
                 {"watch-sms", "--backend", "modemmanager", "--interval", "1"}, {mm.BusEnvironment()});
    ASSERT_GT(pid, 0);
    const auto printed = [&](const std::string& text) {
        const auto end = Clock::now() + std::chrono::seconds(20);
        while (Clock::now() < end) {
            if (ReadFile(m_dir.file("stdout")).find(text) != std::string::npos)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    };
    EXPECT_TRUE(printed("Przed"));
    // The same modem under a new object path, with a message waiting.
    ASSERT_TRUE(mm.Restart(json{
        {"modems", {OneModem()}},
        {"first_modem", 1},
        {"inbox", {{{"number", kNumber}, {"text", "Po"}, {"timestamp", "2026-12-08T21:07:00+01:00"}}}}}));
    EXPECT_TRUE(printed("2026-12-08T21:07:00+01:00\t" + kNumber + "\tPo\n"));
    ::kill(pid, SIGTERM);
    const CliResult run = WaitCli(pid, m_dir);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(mm.State()["messages"], 0);
}
