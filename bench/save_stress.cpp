// Saves of the 14 MB benchmark file killed (SIGKILL) at random moments: the file must always load
// whole, and once the next writer has opened and saved it no temporary file may be left.
// `make stress`; save_stress [KILLS]
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "DataFileGenerator.h"
#include "QuietUserInterface.h"
#include "app/DataFile.h"
#include "app/Document.h"
#include "app/SettingsStore.h"
#include "support/TempDir.h"

namespace {

int TemporaryFiles(const std::string& dir)
{
    int count = 0;
    for (const auto& name : ListDirectory(dir))
        if (name.find(".tmp-") != std::string::npos)
            ++count;
    return count;
}

// Saves over and over until killed.
[[noreturn]] void SaveForever(const std::string& path)
{
    QuietUserInterface ui;
    CMemorySettingsStore settings;
    CBrivantelDoc doc(ui, settings);
    if (!doc.Open(path, CBrivantelDoc::Access::ReadWrite))
        _exit(1);
    for (;;)
        doc.SaveDataFile();
}

} // namespace

int main(int argc, char** argv)
{
    const int kills = argc > 1 ? std::atoi(argv[1]) : 200;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    TempDir dir;
    const std::string path = dir.file("Brivantel.vs");
    QuietUserInterface ui;
    CMemorySettingsStore settings;
    std::vector<std::uint8_t> expected;
    {
        CBrivantelDoc doc(ui, settings);
        doc.Open(path, CBrivantelDoc::Access::ReadWrite);
        FillLargeDocument(doc, 10000, 100000);
        doc.SaveDataFile();
        expected = doc.Store();
    }
    std::printf("save_stress: %d kills during saves of a %.1f MB data file\n", kills,
                static_cast<double>(expected.size()) / 1e6);

    std::mt19937 random(12345);
    // The child loads the file (about 0.1 s) and then saves again and again; kill it anywhere in that.
    std::uniform_int_distribution<int> delayMs(0, 1500);
    int whole = 0, broken = 0, leftAfterKill = 0, killsWithLeftover = 0;
    for (int i = 0; i < kills; ++i) {
        const pid_t pid = fork();
        if (pid < 0) {
            std::perror("fork");
            return 1;
        }
        if (pid == 0)
            SaveForever(path);
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs(random)));
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);

        const int temporaries = TemporaryFiles(dir.path());
        leftAfterKill += temporaries;
        killsWithLeftover += temporaries > 0;
        data_file::Error error;
        const auto bytes = data_file::ReadAll(path, error);
        CBrivantelDoc check(ui, settings);
        if (bytes && *bytes == expected && check.Load(*bytes))
            ++whole;
        else
            ++broken;
        if ((i + 1) % 20 == 0)
            std::printf("%d kills: %d whole, %d broken, %d temporary files left by kills so far\n", i + 1, whole,
                        broken, leftAfterKill);
    }
    // The next writer removes what the killed saves left, and its own save leaves nothing.
    {
        CBrivantelDoc doc(ui, settings);
        doc.Open(path, CBrivantelDoc::Access::ReadWrite);
        doc.SaveDataFile();
    }
    const int leftAtEnd = TemporaryFiles(dir.path());
    std::printf("file loaded whole after %d of %d kills (%d damaged or different)\n", whole, kills, broken);
    std::printf(
        "temporary files right after a kill: %d in all, after %d kills (each removed by the next writer)\n",
        leftAfterKill, killsWithLeftover);
    std::printf("temporary files after the next save: %d\n", leftAtEnd);
    return broken == 0 && leftAtEnd == 0 ? 0 : 1;
}
