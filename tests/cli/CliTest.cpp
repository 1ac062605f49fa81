#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "../app/SampleFile.h"
#include "app/DataFileLock.h"
#include "app/Document.h"
#include "app/SettingsStore.h"
#include "store/Windows1250.h"
#include "support/CliProcess.h"
#include "support/RecordingUserInterface.h"
#include "support/TempDir.h"

namespace {

using Result = CliResult;

// Runs brivantel-cli with its settings in a private configuration directory.
class Cli
{
public:
    TempDir dir;
    std::string data = dir.file("data");

    Result Run(const std::vector<std::string>& args, bool withDataDir = true)
    {
        return RunCli(BRIVANTEL_CLI_PATH, dir, withDataDir ? data : std::string(), args);
    }

    std::string DataFile() const { return data + "/Brivantel.vs"; }
};

} // namespace

TEST(Cli, DumpShowsEveryRecordInFileOrder)
{
    Cli cli;
    ASSERT_EQ(mkdir(cli.data.c_str(), 0700), 0);
    WriteFileBytes(cli.DataFile(), sample_file::Full());
    const Result r = cli.Run({"dump"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto json = nlohmann::ordered_json::parse(r.out);
    std::vector<std::string> keys;
    for (const auto& item : json.items())
        keys.push_back(item.key());
    EXPECT_EQ(keys,
              (std::vector<std::string>{"addressBookView", "addressBook", "settings", "composeView",
                                        "predefinedTexts", "drafts", "draftsView", "deleted", "deletedView",
                                        "mailWatch", "sent", "sentView", "outbox", "outboxView"}));
    // Written as it goes, laid out as the whole tree would be.
    EXPECT_EQ(r.out, json.dump(2) + "\n");
    EXPECT_EQ(json["addressBook"][0]["fullNumber"], "+486021234567");
    EXPECT_EQ(json["addressBook"][1]["surname"], "");
    EXPECT_EQ(json["predefinedTexts"][1], "Oddzwonię."); // Windows-1250 shown as UTF-8
    EXPECT_EQ(json["deleted"][0]["text"], "Usunięta");
    EXPECT_EQ(json["sent"][1]["time"], 4102444800u);
    EXPECT_EQ(json["settings"]["proxyPort"], 3128);
    EXPECT_EQ(json["mailWatch"]["interval"], 15);
    EXPECT_EQ(json["composeView"]["text"], "Do zobaczenia\r\njutro");
    EXPECT_EQ(json["mailWatch"]["password"], "***"); // never in clear
    EXPECT_EQ(r.out.find("tajne"), std::string::npos);
    // Reading never writes.
    EXPECT_EQ(ReadFileBytes(cli.DataFile()), sample_file::Full().vec());
    EXPECT_FALSE(FileExists(cli.DataFile() + ".damaged"));
}

// A file that must be read in full (its second sent message names the first again, which no
// program writes but is well formed) is dumped whole all the same, not as damaged.
TEST(Cli, DumpOfAFileReadInFullIsWhole)
{
    Cli cli;
    ASSERT_EQ(mkdir(cli.data.c_str(), 0700), 0);
    std::vector<std::uint8_t> bytes = sample_file::Full().vec();
    const std::string notice = "Masz nowa wiadomosc w skrzynce email. Liczba wiadomosci: 3.";
    const auto at = std::search(bytes.begin(), bytes.end(), notice.begin(), notice.end());
    ASSERT_NE(at, bytes.end());
    // u16 0x8004, an empty recipients text, the notice's length, the notice, its time: index 7 instead.
    const auto from = at - 4;
    ASSERT_EQ(*from, 0x04);
    const auto next = bytes.erase(from, at + static_cast<std::ptrdiff_t>(notice.size()) + 4);
    bytes.insert(next, {0x07, 0x00});
    WriteFileBytes(cli.DataFile(), bytes);
    const Result r = cli.Run({"dump"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto json = nlohmann::ordered_json::parse(r.out);
    EXPECT_EQ(r.out, json.dump(2) + "\n");
    ASSERT_EQ(json["sent"].size(), 2u);
    EXPECT_EQ(json["sent"][1], json["sent"][0]);
    EXPECT_EQ(json["sent"][0]["text"], "Wysłana");
    EXPECT_EQ(json["outbox"][0]["text"], "Czeka");
}

TEST(Cli, DumpKeepsEveryByteAndNoPassword)
{
    Cli cli;
    ASSERT_EQ(mkdir(cli.data.c_str(), 0700), 0);
    std::string every;
    for (int b = 0; b < 256; ++b)
        every += static_cast<char>(b);
    {
        RecordingUserInterface ui;
        CMemorySettingsStore settings;
        CBrivantelDoc doc(ui, settings);
        ASSERT_TRUE(doc.Open(cli.DataFile(), CBrivantelDoc::Access::ReadWrite));
        doc.GetDefinedMessages().GetTexts().push_back(every);
        ASSERT_TRUE(doc.SaveDataFile());
    }
    const Result r = cli.Run({"dump"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto json = nlohmann::ordered_json::parse(r.out);
    const auto back = windows1250::FromUtf8(json["predefinedTexts"][0].get<std::string>());
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, every);
    EXPECT_EQ(json["mailWatch"]["password"], ""); // none set
}

TEST(Cli, ResaveGivesBackTheSameBytes)
{
    Cli cli;
    ASSERT_EQ(mkdir(cli.data.c_str(), 0700), 0);
    WriteFileBytes(cli.DataFile(), sample_file::Full());
    const Result r = cli.Run({"resave"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFileBytes(cli.DataFile()), sample_file::Full().vec());

    // A first run in an empty directory writes every record with its defaults.
    Cli fresh;
    ASSERT_EQ(fresh.Run({"resave"}).status, 0);
    EXPECT_EQ(ReadFileBytes(fresh.DataFile()), sample_file::Empty().vec());
}

TEST(Cli, ContactsFollowTheEntryEditorsRules)
{
    Cli cli;
    Result r = cli.Run({"contacts", "add", "--first", "Jan", "--surname", "Kowalski", "--operator", "602",
                        "--number", "1234567"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = cli.Run({"contacts", "add", "--first", "Anna", "--surname", "Nowakowska", "--display", "Ania",
                 "--prefix", "+48", "--operator", "501", "--number", "7654321"});
    ASSERT_EQ(r.status, 0) << r.err;

    for (const auto& bad : std::vector<std::vector<std::string>>{
             {"--first", "X", "--prefix", "+048", "--operator", "602", "--number", "1"},
             {"--first", "X", "--prefix", "48", "--operator", "602", "--number", "1"},
             {"--first", "X", "--prefix", "+48 ", "--operator", "602", "--number", "1"},
             {"--first", "X", "--operator", "0602", "--number", "1"},
             {"--first", "X", "--operator", "602"},
             {"--operator", "602", "--number", "1"},
             {"--first", "Ж", "--operator", "602", "--number", "1"},
         }) {
        std::vector<std::string> args = {"contacts", "add"};
        args.insert(args.end(), bad.begin(), bad.end());
        const Result refused = cli.Run(args);
        EXPECT_EQ(refused.status, 2) << bad[1] << " " << bad[3];
        EXPECT_FALSE(refused.err.empty());
    }

    r = cli.Run({"contacts", "list"});
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Jan Kowalski\t+486021234567\nAnia\t+485017654321\n");

    r = cli.Run({"contacts", "find", "--name", "KOW"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Jan Kowalski\t+486021234567\n");
    r = cli.Run({"contacts", "find", "--number", "1"});
    EXPECT_EQ(r.out, "Jan Kowalski\t+486021234567\nAnia\t+485017654321\n");
    r = cli.Run({"contacts", "find"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("Wprowaź dane do wyszukania."), std::string::npos);
}

TEST(Cli, WritersAreRefusedWhileAnotherHoldsTheDataFile)
{
    Cli cli;
    ASSERT_EQ(mkdir(cli.data.c_str(), 0700), 0);
    WriteFileBytes(cli.DataFile(), sample_file::Full());
    CDataFileLock held;
    ASSERT_EQ(held.Acquire(cli.DataFile()), CDataFileLock::Result::Acquired);
    Result r = cli.Run({"contacts", "add", "--first", "A", "--operator", "602", "--number", "1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("inny program Brivantel"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFileBytes(cli.DataFile()), sample_file::Full().vec());
    r = cli.Run({"contacts", "list"}); // readers go on
    EXPECT_EQ(r.status, 0);
    held.Release();
    EXPECT_EQ(cli.Run({"resave"}).status, 0);
}

// Scripts run writers back to back: one waits for another command's lock, saying for whom, and
// gives up at once for --wait 0 or for the desktop program.
TEST(Cli, AWriterWaitsForAnotherCommandLineWriter)
{
    Cli cli;
    ASSERT_EQ(mkdir(cli.data.c_str(), 0700), 0);
    WriteFileBytes(cli.DataFile(), sample_file::Full());
    CDataFileLock held;
    ASSERT_EQ(held.Acquire(cli.DataFile(), CDataFileLock::Holder::CommandLine),
              CDataFileLock::Result::Acquired);
    Result r = cli.Run({"--wait", "0", "resave"});
    EXPECT_EQ(r.status, 1) << r.err;
    const pid_t waiting = SpawnCli(BRIVANTEL_CLI_PATH, cli.dir, cli.data, {"resave"});
    ASSERT_GT(waiting, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    held.Release();
    r = WaitCli(waiting, cli.dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("brivantel-cli (PID " + std::to_string(getpid()) + ")"), std::string::npos) << r.err;

    ASSERT_EQ(held.Acquire(cli.DataFile(), CDataFileLock::Holder::Program), CDataFileLock::Result::Acquired);
    const auto start = std::chrono::steady_clock::now();
    r = cli.Run({"resave"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(cli.Run({"--wait", "x", "resave"}).status, 2);
}

TEST(Cli, DamagedFileIsKeptAndReported)
{
    Cli cli;
    ASSERT_EQ(mkdir(cli.data.c_str(), 0700), 0);
    const auto full = sample_file::Full().vec();
    const std::vector<std::uint8_t> cut(full.begin(), full.begin() + 150);
    WriteFileBytes(cli.DataFile(), cut);
    // A script must be able to tell: status 3, after the copy is kept.
    Result r = cli.Run({"dump"});
    EXPECT_EQ(r.status, 3) << r.err;
    r = cli.Run({"resave"});
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_NE(r.err.find("Brivantel.vs.damaged"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFileBytes(cli.DataFile() + ".damaged"), cut);
    EXPECT_EQ(cli.Run({"resave"}).status, 0); // what was read is whole now
}

TEST(Cli, ConfigValuesLiveInTheSettingsStore)
{
    Cli cli;
    Result r = cli.Run({"config", "get", "Settings/Sign"});
    EXPECT_EQ(r.status, 1);
    r = cli.Run({"config", "set", "Settings/Sign", "Zażółć"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = cli.Run({"config", "get", "Settings/Sign"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Zażółć\n");
    const auto bytes = ReadFileBytes(cli.dir.file("config") + "/Orvella Systems/Brivantel.conf");
    const std::string conf(bytes.begin(), bytes.end());
    EXPECT_NE(conf.find("[Settings]"), std::string::npos) << conf;
    EXPECT_EQ(cli.Run({"config", "set", "Settings/Sign", "😀"}).status, 2);
    EXPECT_EQ(cli.Run({"config", "get", "NoSlash"}).status, 2);
    EXPECT_EQ(cli.Run({"config", "set", "Settings/"}).status, 2);
}

TEST(Cli, BadUsageExitsWith2)
{
    Cli cli;
    EXPECT_EQ(cli.Run({}, false).status, 2);
    EXPECT_EQ(cli.Run({"--help"}, false).status, 0);
    EXPECT_EQ(cli.Run({"frobnicate"}).status, 2);
    EXPECT_EQ(cli.Run({"dump", "--bogus"}).status, 2);
    EXPECT_EQ(cli.Run({"dump", "extra"}).status, 2);
}
