// In-place saves of the 14 MB benchmark file killed (SIGKILL) at random moments, by an ordinary
// user whose data file lies in a folder where no new file can be made: after each kill the file
// must hold one of the two contents the saves alternate between, or a recovery copy must be left
// that restores one of them whole.
// `make stress`; inplace_stress [KILLS] (as root, to act as the ordinary user "nobody")
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <sys/stat.h>
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

constexpr uid_t kNobody = 65534;

// Saves the two contents in turn until killed.
[[noreturn]] void SaveForever(const std::string& path, const std::vector<std::uint8_t>& a,
                              const std::vector<std::uint8_t>& b)
{
    if (::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
        ::_exit(2);
    for (bool first = true;; first = !first) {
        data_file::Error error;
        data_file::WriteAtomically(path, first ? b : a, error);
    }
}

enum Verdict
{
    kWhole,
    kRestored,
    kBroken
};

// What the next start does, as the same user (the recovery copies are in that user's folder): a
// copy left by a cut save is restored; the file must then hold one of the two contents.
Verdict Check(const std::string& path, const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
            ::_exit(kBroken);
        data_file::Error error;
        auto bytes = data_file::ReadAll(path, error);
        const auto valid = [&] { return bytes && (*bytes == a || *bytes == b); };
        if (data_file::FindRecoveryCopy(path)) {
            if (!data_file::RestoreRecoveryCopy(path, error))
                ::_exit(kBroken);
            bytes = data_file::ReadAll(path, error);
            ::_exit(valid() ? kRestored : kBroken);
        }
        ::_exit(valid() ? kWhole : kBroken);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? static_cast<Verdict>(WEXITSTATUS(status)) : kBroken;
}

} // namespace

int main(int argc, char** argv)
{
    const int kills = argc > 1 ? std::atoi(argv[1]) : 100;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    TempDir dir;
    const std::string folder = dir.file("ro");
    const std::string cache = dir.file("cache");
    const std::string path = folder + "/Brivantel.vs";
    ::mkdir(folder.c_str(), 0755);
    ::mkdir(cache.c_str(), 0700);
    ::setenv("XDG_CACHE_HOME", cache.c_str(), 1);
    QuietUserInterface ui;
    CMemorySettingsStore settings;
    std::vector<std::uint8_t> a, b;
    {
        CBrivantelDoc doc(ui, settings);
        FillLargeDocument(doc, 10000, 100000);
        a = doc.Store();
        doc.GetDefinedMessages().GetTexts().push_back(
            "Jeszcze jedna gotowa wiadomosc, zeby obie tresci sie roznily.");
        b = doc.Store();
    }
    data_file::Error error;
    if (!data_file::WriteAtomically(path, a, error))
        return 1;
    const bool asNobody = ::geteuid() == 0;
    if (asNobody) {
        ::chmod(dir.path().c_str(), 0755);
        if (::chown(path.c_str(), kNobody, kNobody) != 0 || ::chown(cache.c_str(), kNobody, kNobody) != 0 ||
            ::chown(folder.c_str(), kNobody, kNobody) != 0)
            return 1;
        ::chmod(folder.c_str(), 0555); // no new file can be made here: every save is in place
    } else if (::link(path.c_str(), dir.file("second.vs").c_str()) != 0) {
        return 1; // without root the second name makes the saves go in place
    }
    std::printf("inplace_stress: %d kills during in-place saves of a %.1f MB data file (%s)\n", kills,
                static_cast<double>(b.size()) / 1e6,
                asNobody ? "as nobody, in a read-only folder" : "a hard-linked file, not as root");

    std::mt19937 random(2024);
    std::uniform_int_distribution<int> delayMs(0, 1200);
    int whole = 0, restored = 0, broken = 0;
    for (int i = 0; i < kills; ++i) {
        const pid_t pid = ::fork();
        if (pid < 0) {
            std::perror("fork");
            return 1;
        }
        if (pid == 0)
            SaveForever(path, a, b);
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs(random)));
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        switch (Check(path, a, b)) {
        case kWhole:
            ++whole;
            break;
        case kRestored:
            ++restored;
            break;
        case kBroken:
            ++broken;
            break;
        }
        if ((i + 1) % 20 == 0)
            std::printf("%d kills: %d whole, %d restored from the recovery copy, %d broken\n", i + 1, whole,
                        restored, broken);
    }
    if (asNobody)
        ::chmod(folder.c_str(), 0755);
    std::printf("after %d kills: %d whole, %d restored whole from the recovery copy, %d damaged\n", kills,
                whole, restored, broken);
    return broken == 0 ? 0 : 1;
}
