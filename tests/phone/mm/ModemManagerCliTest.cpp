#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <thread>

#include "app/Document.h"
#include "app/SettingsStore.h"
#include "phone/mm/FakeModemManager.h"
#include "support/CliProcess.h"
#include "support/RecordingUserInterface.h"
#include "support/TempDir.h"

namespace {

using nlohmann::json;

const std::string kNumber = "+48602123456";
const std::string kText = "Zażółć gęślą jaźń";

json OneModem(const std::string& lock = "none")
{
    return {{"maker", "huawei"}, {"model", "E3372"}, {"port", "ttyUSB2"}, {"lock", lock}};
}

// brivantel-cli on the phone route, "auto" backend and no port set, with ModemManager's stand-in
// on its system bus.
class ModemManagerCliTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(Cli({"route", "phone"}, {}).status, 0); }

    CliResult Cli(const std::vector<std::string>& args, const FakeModemManager* mm,
                  std::vector<std::string> env = {})
    {
        if (mm)
            env.push_back(mm->BusEnvironment());
        return RunCli(BRIVANTEL_CLI_PATH, m_dir, m_dir.path(), args, env);
    }

    CliResult Send(const FakeModemManager& mm, std::vector<std::string> extra = {},
                   std::vector<std::string> env = {})
    {
        std::vector<std::string> args = {"send", "--number", kNumber, "--text", kText};
        args.insert(args.end(), extra.begin(), extra.end());
        return Cli(args, &mm, std::move(env));
    }

    // Messages in the outbox and in the sent folder.
    std::pair<std::size_t, std::size_t> Folders()
    {
        RecordingUserInterface ui;
        CMemorySettingsStore store;
        CBrivantelDoc doc(ui, store);
        EXPECT_TRUE(doc.Open(m_dir.file("Brivantel.vs"), CBrivantelDoc::Access::ReadOnly));
        return {doc.GetOutbox().GetCount(), doc.GetSent().GetCount()};
    }

    TempDir m_dir;
};

} // namespace

TEST_F(ModemManagerCliTest, AutoSendsThroughModemManagerAndClearsTheModemsList)
{
    FakeModemManager mm(json{{"modems", {OneModem()}}});
    ASSERT_EQ(mm.Problem(), "");
    const CliResult run = Send(mm);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("SMS przez ModemManager (Huawei E3372)"), std::string::npos) << run.err;
    const json state = mm.State();
    ASSERT_EQ(state["sent"].size(), 1u) << state.dump();
    EXPECT_EQ(state["sent"][0]["number"], kNumber);
    EXPECT_EQ(state["sent"][0]["text"], kText);
    EXPECT_EQ(state["messages"], 0);
    EXPECT_EQ(Folders(), std::make_pair(std::size_t{0}, std::size_t{1}));
}

TEST_F(ModemManagerCliTest, AFailedSendStaysInTheOutboxWithItsReason)
{
    struct Case
    {
        const char* behaviour;
        const char* reason;
        bool deleted; // the service is still there to clear its list
    };
    const Case cases[] = {
        {"timeout", "Sieć nie potwierdziła wiadomości na czas (ModemManager).", true},
        {"polkit", "System nie pozwolił wysłać SMS przez ModemManager (odmowa polkit).", true},
        {"vanish", "Usługa ModemManager przestała odpowiadać.", false},
        // The stand-in is stuck in the send and clears nothing; ModemManager itself would.
        {"hang", "ModemManager nie potwierdził wysłania w ciągu 2 s.", false},
    };
    std::size_t queued = 0;
    for (const Case& c : cases) {
        FakeModemManager mm(json{{"modems", {OneModem()}}, {"send", c.behaviour}});
        ASSERT_EQ(mm.Problem(), "");
        const auto start = std::chrono::steady_clock::now();
        const CliResult run = Send(mm, {"--timeout", "2"});
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20)) << c.behaviour;
        EXPECT_EQ(run.status, 1) << c.behaviour << run.err;
        EXPECT_NE(run.err.find(std::string(kNumber) + ": " + c.reason), std::string::npos) << run.err;
        EXPECT_EQ(Folders(), std::make_pair(++queued, std::size_t{0})) << c.behaviour;
        if (c.deleted) {
            EXPECT_EQ(mm.State()["messages"], 0) << c.behaviour;
        }
    }
}

TEST_F(ModemManagerCliTest, ThePinIsSentOnceAndAWrongOneSaysHowManyTriesAreLeft)
{
    struct Case
    {
        const char* pin;
        int status;
        const char* said;
    };
    for (const Case& c : {Case{"1234", 0, "SMS przez ModemManager"},
                          Case{"0000", 1, "Kod PIN jest błędny; pozostało prób: 2."}}) {
        FakeModemManager mm(json{{"modems", {OneModem("pin")}}, {"pin", "1234"}});
        ASSERT_EQ(mm.Problem(), "");
        const CliResult run = Send(mm, {}, {std::string("BRIVANTEL_PIN=") + c.pin});
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
        EXPECT_EQ(mm.State()["pins"], json::array({c.pin})); // never tried again on its own
    }
}

TEST_F(ModemManagerCliTest, APinOnTheCommandLineIsRefusedBeforeAnythingIsSent)
{
    FakeModemManager mm(json{{"modems", {OneModem("pin")}}});
    ASSERT_EQ(mm.Problem(), "");
    const CliResult run = Send(mm, {"--pin", "1234"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("BRIVANTEL_PIN"), std::string::npos) << run.err;
    EXPECT_EQ(mm.State()["pins"], json::array());
    EXPECT_EQ(mm.State()["sent"], json::array());
}

TEST_F(ModemManagerCliTest, TheChosenBackendIsKept)
{
    FakeModemManager mm(json{{"modems", {OneModem()}}});
    ASSERT_EQ(mm.Problem(), "");
    // serial: the service is not asked, and with no port the send fails.
    CliResult run = Send(mm, {"--backend", "serial"});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(mm.State()["sent"], json::array());
    // modemmanager with no service on the bus says so.
    run = Cli({"send", "--number", kNumber, "--text", "Hello", "--backend", "modemmanager"}, nullptr);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Usługa ModemManager nie działa."), std::string::npos) << run.err;
    EXPECT_EQ(Cli({"send", "--number", kNumber, "--text", "Hello", "--backend", "gsm"}, &mm).status, 2);
}

TEST_F(ModemManagerCliTest, PhoneListAndPhoneInfoNameTheModems)
{
    FakeModemManager mm(json{{"modems",
                              {OneModem(),
                               {{"maker", "QUALCOMM INCORPORATED"},
                                {"model", "SIM7600E"},
                                {"port", "ttyUSB5"},
                                {"lock", "pin"},
                                {"signal", 40}}}}});
    ASSERT_EQ(mm.Problem(), "");
    CliResult run = Cli({"phone-list"}, &mm);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "modemmanager\t/org/freedesktop/ModemManager1/Modem/0\tHuawei E3372\tSIM: gotowa\t"
              "Sygnał: 71%\tPorty: ttyUSB2,cdc-wdm0\n"
              "modemmanager\t/org/freedesktop/ModemManager1/Modem/1\tQualcomm incorporated SIM7600E\t"
              "SIM: czeka na kod PIN\tSygnał: 40%\tPorty: ttyUSB5,cdc-wdm1\n");
    run = Cli({"phone-info", "--port", "/dev/ttyUSB5"}, &mm);
    // No such device here: the port's own name is matched.
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "Przez: ModemManager (Qualcomm incorporated SIM7600E)\nProducent: QUALCOMM INCORPORATED\n"
              "Model: SIM7600E\nKarta SIM: czeka na kod PIN\nSieć: zarejestrowany w sieci macierzystej\n"
              "Sygnał: 40%\n");
}

TEST_F(ModemManagerCliTest, ASignalEndsAHangingSendWithTheMessageQueued)
{
    FakeModemManager mm(json{{"modems", {OneModem()}}, {"send", "hang"}});
    ASSERT_EQ(mm.Problem(), "");
    const pid_t pid = SpawnCli(BRIVANTEL_CLI_PATH, m_dir, m_dir.path(),
                               {"send", "--number", kNumber, "--text", kText}, {mm.BusEnvironment()});
    ASSERT_GT(pid, 0);
    // Give it the time to reach the wait for the service's answer (its bound is minutes away).
    const auto start = std::chrono::steady_clock::now();
    while (mm.State()["messages"] != 1 && std::chrono::steady_clock::now() - start < std::chrono::seconds(10))
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ::kill(pid, SIGTERM);
    const CliResult run = WaitCli(pid, m_dir);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(run.status, 128 + SIGTERM) << run.err;
    EXPECT_EQ(Folders(), std::make_pair(std::size_t{1}, std::size_t{0}));
}
