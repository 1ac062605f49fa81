// How the cost of one change grows with the archive: the same figures for 10,000, 100,000 and (on
// request) 1,000,000 sent messages, each beside its floor, the copy and sync of the file itself.
//
//   growth_bench [SENT...]      default: 10000 100000; add 1000000 for the 126 MB file
//
// The data files are made once under $TMPDIR/brivantel-growth (they are large) and kept there for
// the next run; every measurement works on a copy. Figures are medians.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

#include "DataFileGenerator.h"
#include "QuietUserInterface.h"
#include "app/Document.h"
#include "app/SettingsStore.h"
#include "app/qt/BrivantelApp.h"
#include "ui/BrivantelFrame.h"
#include "ui/QtUserInterface.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

// A change and its save: the user-interface thread's part, and the time until the worker wrote it.
struct SaveTimes
{
    std::vector<double> ui;
    std::vector<double> worker;

    void Measure(CBrivantelDoc& doc, const std::function<void()>& change)
    {
        const auto t0 = Clock::now();
        change();
        doc.SaveInBackground();
        const auto t1 = Clock::now();
        doc.WaitForBackgroundSave();
        ui.push_back(Ms(t1 - t0));
        worker.push_back(Ms(Clock::now() - t0));
    }
    void Print(const char* what, double floor) const
    {
        std::printf(
            "%s: UI thread %.1f ms per save, the worst %.1f ms; the worker's write %.0f ms (%.2fx floor)\n",
            what, Median(ui), *std::max_element(ui.begin(), ui.end()), Median(worker),
            Median(worker) / floor);
    }
};

long StatusKb(const char* field)
{
    std::FILE* f = std::fopen("/proc/self/status", "r");
    if (!f)
        return -1;
    char line[256];
    long kb = -1;
    const std::size_t n = std::strlen(field);
    while (std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, field, n) == 0)
            kb = std::atol(line + n + 1);
    }
    std::fclose(f);
    return kb;
}

// The floor of every whole-file write: copying the file and syncing it.
double CopyAndSync(const std::string& from, const std::string& to)
{
    const auto t0 = Clock::now();
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    const int fd = ::open(to.c_str(), O_RDONLY);
    ::fsync(fd);
    ::close(fd);
    return Ms(Clock::now() - t0);
}

// A child's peak memory counts the pages it shared with its parent before exec: a program forked
// from this process once it holds a large document would seem to use that much itself. So every
// program is started by a launcher forked while this process is still small.
struct Launcher
{
    int requests = -1; // to the launcher: a count, then each argument with its length
    int replies = -1;  // from it: wall time in ms and peak memory in kB
};
Launcher g_launcher;

std::pair<double, long> RunHere(const std::vector<std::string>& args, bool quiet);

void StartLauncher()
{
    int toLauncher[2], fromLauncher[2];
    if (::pipe(toLauncher) != 0 || ::pipe(fromLauncher) != 0)
        return;
    if (::fork() == 0) {
        ::close(toLauncher[1]);
        ::close(fromLauncher[0]);
        std::FILE* in = ::fdopen(toLauncher[0], "r");
        std::size_t count = 0;
        while (std::fread(&count, sizeof count, 1, in) == 1) {
            std::vector<std::string> args(count);
            for (auto& arg : args) {
                std::size_t length = 0;
                if (std::fread(&length, sizeof length, 1, in) != 1)
                    ::_exit(1);
                arg.resize(length);
                if (length > 0 && std::fread(arg.data(), 1, length, in) != length)
                    ::_exit(1);
            }
            const std::pair<double, long> result = RunHere(args, true);
            if (::write(fromLauncher[1], &result, sizeof result) != sizeof result)
                ::_exit(1);
        }
        ::_exit(0);
    }
    ::close(toLauncher[0]);
    ::close(fromLauncher[1]);
    g_launcher = {toLauncher[1], fromLauncher[0]};
}

std::pair<double, long> Run(const std::vector<std::string>& args, bool quiet)
{
    if (g_launcher.requests < 0 || !quiet)
        return RunHere(args, quiet);
    std::string request;
    const std::size_t count = args.size();
    request.append(reinterpret_cast<const char*>(&count), sizeof count);
    for (const auto& arg : args) {
        const std::size_t length = arg.size();
        request.append(reinterpret_cast<const char*>(&length), sizeof length);
        request += arg;
    }
    std::pair<double, long> result{-1, -1};
    if (::write(g_launcher.requests, request.data(), request.size()) !=
            static_cast<ssize_t>(request.size()) ||
        ::read(g_launcher.replies, &result, sizeof result) != sizeof result)
        return {-1, -1};
    return result;
}

// Runs a program; its wall time in ms and its peak resident memory in kB.
std::pair<double, long> RunHere(const std::vector<std::string>& args, bool quiet)
{
    const auto t0 = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (quiet) {
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
        }
        std::vector<char*> argv;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    const double ms = Ms(Clock::now() - t0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return {-1, -1};
    return {ms, usage.ru_maxrss};
}

// Child: start the desktop program on dir and print the time to its shown window and its memory.
int StartOnce(const QString& dir, Clock::time_point start, char* argv0)
{
    int argc = 1;
    char* argv[] = {argv0, nullptr};
    QApplication qapp(argc, argv);
    CMemorySettingsStore settings;
    CQtUserInterface ui;
    QTemporaryDir run;
    CBrivantelApp app(ui, settings);
    CBrivantelApp::Options options;
    options.dataDirectory = dir;
    options.instanceDirectory = run.path();
    CBrivantelFrame* shown = nullptr;
    const auto result = app.InitInstance(options, [&](CBrivantelApp& self, CBrivantelDoc& doc) {
        auto frame = std::make_unique<CBrivantelFrame>(doc, settings, &self);
        shown = frame.get();
        return frame;
    });
    if (result != CBrivantelApp::Start::Running || !QTest::qWaitForWindowExposed(shown))
        return 1;
    const double ms = Ms(Clock::now() - start);
    std::printf("%.1f %ld %ld\n", ms, StatusKb("VmRSS:"), StatusKb("VmHWM:"));
    std::fflush(stdout);
    ::_exit(0); // the end of the run (the save at exit) is not measured here
}

struct Start
{
    double ms = -1;
    long rssKb = -1;
    long peakKb = -1;
};

Start MeasureStart(const std::string& self, const std::string& dir)
{
    int out[2];
    if (::pipe(out) != 0)
        return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::close(out[0]);
        ::execl(self.c_str(), self.c_str(), "--start", dir.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    char buffer[256] = {};
    std::size_t got = 0;
    for (ssize_t n; (n = ::read(out[0], buffer + got, sizeof buffer - 1 - got)) > 0;)
        got += static_cast<std::size_t>(n);
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    Start s;
    if (std::sscanf(buffer, "%lf %ld %ld", &s.ms, &s.rssKb, &s.peakKb) != 3)
        return {};
    return s;
}

std::string MakeFile(std::size_t sent)
{
    const char* tmp = std::getenv("TMPDIR");
    const fs::path dir = fs::path(tmp ? tmp : "/tmp") / "brivantel-growth" / std::to_string(sent);
    const std::string path = (dir / "Brivantel.vs").string();
    if (fs::exists(path) && fs::file_size(path) > 0)
        return path;
    fs::create_directories(dir);
    QuietUserInterface ui;
    CMemorySettingsStore settings;
    CBrivantelDoc doc(ui, settings);
    if (!doc.Open(path, CBrivantelDoc::Access::ReadWrite))
        return {};
    FillLargeDocument(doc, 10000, sent);
    return doc.SaveDataFile() ? path : std::string();
}

} // namespace

int main(int argc, char** argv)
{
    const Clock::time_point processStart = Clock::now();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 3 && std::string(argv[1]) == "--start")
        return StartOnce(QString::fromLocal8Bit(argv[2]), processStart, argv[0]);

    StartLauncher();
    std::vector<std::size_t> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::stoul(argv[i]));
    if (sizes.empty())
        sizes = {10000, 100000};
    const std::string self = fs::canonical("/proc/self/exe").string();
    const std::string cli = BRIVANTEL_CLI_PATH;

    QTemporaryDir emptyDir;
    const std::string empty = emptyDir.path().toStdString();
    const Start emptyStart = MeasureStart(self, empty);
    const long dumpBaseKb = Run({cli, "--data-dir", empty, "dump"}, true).second;
    std::printf("empty data file: start to window %.0f ms, memory after start %.0f MB; dump peak %.0f MB\n",
                emptyStart.ms, emptyStart.rssKb / 1024.0, dumpBaseKb / 1024.0);

    for (const std::size_t sent : sizes) {
        const std::string source = MakeFile(sent);
        if (source.empty()) {
            std::printf("%zu: could not make the data file\n", sent);
            return 1;
        }
        const double fileMb = static_cast<double>(fs::file_size(source)) / 1e6;
        QTemporaryDir work;
        const std::string dir = work.path().toStdString();
        const std::string path = dir + "/Brivantel.vs";
        const int runs = sent >= 1000000 ? 3 : 5;

        std::vector<double> floors;
        for (int i = 0; i < runs; ++i)
            floors.push_back(CopyAndSync(source, path));
        if (std::getenv("GROWTH_EACH")) {
            for (const double f : floors)
                std::printf("  floor: %.0f ms\n", f);
        }
        const double floor = Median(floors);
        std::printf("\n== %zu sent messages, %.1f MB; floor (cp + fsync) %.0f ms\n", sent, fileMb, floor);

        std::vector<double> starts;
        Start start;
        for (int i = 0; i < runs; ++i) {
            CopyAndSync(source, path);
            start = MeasureStart(self, dir);
            starts.push_back(start.ms);
        }
        std::printf("start to shown window: %.0f ms; memory after start %.0f MB above the empty program "
                    "(%.2fx the file), peak %.0f MB (%.2fx)\n",
                    Median(starts), (start.rssKb - emptyStart.rssKb) / 1024.0,
                    (start.rssKb - emptyStart.rssKb) * 1024.0 / 1e6 / fileMb,
                    (start.peakKb - emptyStart.rssKb) / 1024.0,
                    (start.peakKb - emptyStart.rssKb) * 1024.0 / 1e6 / fileMb);

        CopyAndSync(source, path);
        {
            QuietUserInterface ui;
            CMemorySettingsStore settings;
            CBrivantelDoc doc(ui, settings);
            if (!doc.Open(path, CBrivantelDoc::Access::ReadWrite))
                return 1;
            if (const char* settle = std::getenv("GROWTH_SETTLE_MS"))
                usleep(static_cast<useconds_t>(std::atoi(settle)) * 1000);
            const bool each = std::getenv("GROWTH_EACH") != nullptr;
            SaveTimes queued;
            for (int i = 0; i < runs; ++i) {
                queued.Measure(doc, [&] {
                    auto m = std::make_unique<CMessage>("Jan", "Kolejna wiadomość w kolejce");
                    doc.GetOutbox().AddMessage(m);
                });
                if (each)
                    std::printf("  queued save %d: worker %.0f ms\n", i, queued.worker.back());
            }
            const int hooksBefore = ui.waitHooks;
            std::vector<double> ahead;
            for (int i = 0; i < runs; ++i) {
                auto m = std::make_unique<CMessage>("Ewa", "Wysyłana zaraz");
                doc.GetOutbox().AddMessage(m);
                const auto t0 = Clock::now();
                doc.SaveAndWaitOnDisk();
                ahead.push_back(Ms(Clock::now() - t0));
            }
            // A message that went out is filed in the sent folder, the largest record.
            SaveTimes filed;
            for (int i = 0; i < runs; ++i) {
                filed.Measure(doc, [&] {
                    auto m = std::make_unique<CMessage>("Ewa", "Wysłana");
                    doc.GetSent().AddMessage(m);
                });
            }
            std::printf(
                "one message filed in the sent folder: UI thread %.1f ms per save, the first %.1f ms\n",
                Median(filed.ui), filed.ui.front());
            // An address-book entry added, then removed: each moves the numbering of every folder
            // after the book.
            SaveTimes book;
            for (int i = 0; i < runs; ++i) {
                const CAddress* added = nullptr;
                book.Measure(doc, [&] {
                    auto entry = std::make_unique<CAddress>();
                    entry->SetDisplayName("Nowy " + std::to_string(i));
                    added = entry.get();
                    doc.GetAddressBook().AddAddress(entry);
                });
                book.Measure(doc, [&] { doc.GetAddressBook().DeleteAddress(added); });
            }
            book.Print("an address-book entry added or removed", floor);
            // A sent message moved to the deleted folder, as the window does once the folder is shown.
            // A view of the sent folder reads the rows it paints, and a message moved to the deleted
            // folder from there is only passed over in the kept bytes.
            const long rssBeforeShown = StatusKb("VmRSS:");
            const auto shown0 = Clock::now();
            for (std::size_t row = 0; row < 40; ++row)
                doc.GetSent().At(row);
            const double shown = Ms(Clock::now() - shown0);
            const long shownKb = StatusKb("VmRSS:") - rssBeforeShown;
            SaveTimes moved;
            for (int i = 0; i < runs; ++i) {
                moved.Measure(doc, [&] {
                    CSentList& sentFolder = doc.GetSent();
                    auto taken = sentFolder.RemoveMessage(sentFolder.At(sentFolder.GetCount() / 2));
                    doc.GetDeletedMessages().AddMessage(taken);
                });
                if (each)
                    std::printf("  taking out %d and its save: %.1f ms\n", i, moved.ui.back());
            }
            // "Rozmowy" reads the folder whole.
            const auto whole0 = Clock::now();
            doc.GetSent().GetMessages();
            const double whole = Ms(Clock::now() - whole0);
            const long wholeKb = StatusKb("VmRSS:") - rssBeforeShown;
            // A release of the mouse or a key schedules a save check: nothing changed, nothing encoded.
            const auto checkStart = Clock::now();
            const bool unsaved = doc.HasUnsavedChanges();
            const double check = Ms(Clock::now() - checkStart);
            std::printf(
                "the sent folder shown (40 rows read): %.1f ms, %.0f MB more memory; read whole: %.0f ms, "
                "%.0f MB more (%.2fx the file)\n",
                shown, shownKb / 1024.0, whole, wholeKb / 1024.0, wholeKb * 1024.0 / 1e6 / fileMb);
            moved.Print("a sent message moved to the deleted folder (taking out and save)", floor);
            std::printf(
                "one message queued: UI thread %.2f ms per save; the worker's write %.0f ms (%.2fx floor)\n",
                Median(queued.ui), Median(queued.worker), Median(queued.worker) / floor);
            std::printf("write-ahead to first byte: %.0f ms (%.2fx floor), %d repaints while waiting\n",
                        Median(ahead), Median(ahead) / floor, ui.waitHooks - hooksBefore);
            std::printf("release with nothing changed: %.3f ms, save scheduled: %s\n", check,
                        unsaved ? "yes" : "no");
            // After all those saves by record, the file must still be what one encode of the whole
            // document writes.
            std::vector<std::uint8_t> onDisk;
            if (FILE* file = std::fopen(path.c_str(), "rb")) {
                onDisk.resize(fs::file_size(path));
                onDisk.resize(std::fread(onDisk.data(), 1, onDisk.size(), file));
                std::fclose(file);
            }
            std::printf("the file after these saves is a whole encode of the document: %s\n",
                        onDisk == doc.Store() ? "yes" : "NO");
        }

        std::vector<double> later;
        CopyAndSync(source, path);
        for (int i = 0; i < runs; ++i)
            later.push_back(
                Run({cli, "--data-dir", dir, "later", "--to", "Jan", "--text", "Hej"}, true).first);
        std::printf("brivantel-cli later: %.0f ms whole process (%.2fx floor)\n", Median(later),
                    Median(later) / floor);

        const long dumpKb = Run({cli, "--data-dir", dir, "dump"}, true).second;
        std::printf("brivantel-cli dump: peak %.0f MB, %.0f MB above the empty file's\n", dumpKb / 1024.0,
                    (dumpKb - dumpBaseKb) / 1024.0);
    }
    return 0;
}
