// "Odebrane" with 100,000 received messages in Brivantel.db: from making the view to its first
// painted rows, the pages it read for that, and the heap the view takes against the size of the
// database. Runs on Qt's offscreen platform. Targets: first paint under 50 ms, memory under twice
// the database.

#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

#include "QuietUserInterface.h"
#include "ReceivedFiller.h"
#include "app/Document.h"
#include "app/SettingsStore.h"
#include "messagedb/MessageDb.h"
#include "ui/ReceivedListModel.h"
#include "ui/ReceivedView.h"
#include "ui/controls/ReportListCtrl.h"

namespace {

using Clock = std::chrono::steady_clock;

const int kMessages = qEnvironmentVariableIsSet("RECEIVED_BENCH_MESSAGES")
                          ? qEnvironmentVariableIntValue("RECEIVED_BENCH_MESSAGES")
                          : 100000;
constexpr int kRuns = 5;

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

std::size_t HeapInUse()
{
    malloc_trim(0);
    return mallinfo2().uordblks;
}

bool Fill(const std::string& folder)
{
    const std::int64_t start = 1700000000;
    return FillReceived(folder, kMessages, [&](int i) {
        IncomingMessage m;
        m.sender = "+48602" + std::to_string(100000 + i % 50000);
        m.receivedUtc = start + i;
        m.text = "Wiadomość numer " + std::to_string(i) + ": zażółć gęślą jaźń, odpiszę wieczorem.";
        return m;
    });
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    if (!Fill(folder)) {
        std::fprintf(stderr, "could not fill the database\n");
        return 1;
    }
    const auto dbBytes = std::filesystem::file_size(folder + "/" + CMessageDb::kFileName);

    QuietUserInterface ui;
    CMemorySettingsStore settings;
    CBrivantelDoc doc(ui, settings);
    if (!doc.Open(folder + "/Brivantel.vs", CBrivantelDoc::Access::ReadWrite))
        return 1;

    // The window opens (and checks) the database once; each showing of the folder reads from it.
    CMessageDb shared;
    if (!shared.Open(folder).ok)
        return 1;
    double best = 1e9;
    std::size_t heap = 0;
    int pages = 0;
    for (int run = 0; run < kRuns; ++run) {
        const std::size_t before = HeapInUse();
        const auto t0 = Clock::now();
        auto view = std::make_unique<CReceivedView>(doc, 1008);
        view->UseDatabase(&shared);
        view->OnInitialUpdate();
        view->resize(760, 480);
        view->show();
        if (!QTest::qWaitForWindowExposed(view.get()))
            return 1;
        view->repaint();
        const double ms = Ms(Clock::now() - t0);
        best = std::min(best, ms);
        heap = HeapInUse() - before;
        pages = view->GetModel().PagesRead();
        if (view->GetModel().rowCount() != kMessages) {
            std::fprintf(stderr, "listed %d of %d\n", view->GetModel().rowCount(), kMessages);
            return 1;
        }
    }
    std::printf("received view, %d messages, database %.1f MB\n", kMessages, dbBytes / 1e6);
    std::printf("  first paint: %.1f ms (best of %d; target < 50 ms), pages read %d\n", best, kRuns, pages);
    std::printf("  heap of the view: %.2f MB (%.2fx the database; target < 2x)\n", heap / 1e6,
                static_cast<double>(heap) / static_cast<double>(dbBytes));
    return 0;
}
