// Time from the desktop program's start to its first shown main window, with an empty data file
// and with the large file of the store benchmark (10,000 entries, 100,000 sent messages). Runs on
// Qt's offscreen platform; each case is a fresh process (this program runs itself once per case).

#include <chrono>
#include <cstdio>
#include <string>

#include <QApplication>
#include <QProcess>
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

using Clock = std::chrono::steady_clock;

// One start: the application object, the data file, the main window, up to its first exposure.
int RunOnce(const QString& dataDir, Clock::time_point start, int argc, char** argv)
{
    QApplication qapp(argc, argv);
    CBrivantelApp::LoadQtTranslation(qapp);
    CMemorySettingsStore settings;
    CQtUserInterface ui;
    QTemporaryDir run;
    CBrivantelApp app(ui, settings);
    CBrivantelApp::Options options;
    options.dataDirectory = dataDir;
    options.instanceDirectory = run.path();
    CBrivantelFrame* shown = nullptr;
    const auto result = app.InitInstance(options, [&](CBrivantelApp& self, CBrivantelDoc& doc) {
        auto frame = std::make_unique<CBrivantelFrame>(doc, settings, &self);
        shown = frame.get();
        return frame;
    });
    if (result != CBrivantelApp::Start::Running || !QTest::qWaitForWindowExposed(shown))
        return 1;
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    std::printf("%.1f\n", ms);
    return 0;
}

double Measure(const QString& self, const QString& dataDir)
{
    QProcess p;
    p.start(self, {QStringLiteral("--once"), dataDir});
    p.waitForFinished(120000);
    bool ok = false;
    const double ms = QString::fromUtf8(p.readAllStandardOutput()).trimmed().toDouble(&ok);
    return ok && p.exitCode() == 0 ? ms : -1;
}

} // namespace

int main(int argc, char** argv)
{
    const Clock::time_point start = Clock::now();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 3 && std::string(argv[1]) == "--once") {
        int qtArgc = 1;
        return RunOnce(QString::fromLocal8Bit(argv[2]), start, qtArgc, argv);
    }

    QCoreApplication core(argc, argv);
    QTemporaryDir empty;
    QTemporaryDir large;
    {
        CMemorySettingsStore settings;
        QuietUserInterface quiet;
        CBrivantelDoc doc(quiet, settings);
        const std::string path = large.filePath(QStringLiteral("Brivantel.vs")).toStdString();
        if (!doc.Open(path, CBrivantelDoc::Access::ReadWrite))
            return 1;
        FillLargeDocument(doc, 10000, 100000);
        if (!doc.SaveDataFile())
            return 1;
    }
    const QString self = QCoreApplication::applicationFilePath();
    constexpr int kRuns = 5;
    for (const auto& [name, dir] : {std::pair{"empty data file", empty.path()},
                                    std::pair{"10,000 entries, 100,000 sent messages", large.path()}}) {
        double best = 1e9, total = 0;
        for (int i = 0; i < kRuns; ++i) {
            const double ms = Measure(self, dir);
            if (ms < 0) {
                std::printf("start to window, %s: failed\n", name);
                return 1;
            }
            best = std::min(best, ms);
            total += ms;
        }
        std::printf("start to shown main window, %s: best %.0f ms, mean %.0f ms (%d runs)\n", name, best,
                    total / kRuns, kRuns);
    }
    return 0;
}
