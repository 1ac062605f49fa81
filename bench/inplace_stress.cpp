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

enum Verdict { kWhole, kRestored, kBroken };

// What the next start does, as the same user (the recovery copies are in that user's folder): a
// copy left by a cut save is restored; the file must then hold one of the two contents.
Verdict Check(const std::string& path, const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
            ::_exit(kBroken);
        data_file::Error error;
        switch (Check(path, a, b)) {
        case kWhole:
            ++whole;
            break;
        case kRestored:
            ++restored;
            break;
        default:
            ++broken;
        }
        if ((i + 1) % 20 == 0)
            std::printf("%d kills: %d whole, %d restored from the recovery copy, %d broken\n", i + 1, whole,
                        restored, broken);
    }
    if (asNobody)
        ::chmod(folder.c_str(), 0755);
    std::printf("after %d kills: %d whole, %d restored whole from the recovery copy, %d damaged\n", kills, whole,
                restored, broken);
    return broken == 0 ? 0 : 1;
}
