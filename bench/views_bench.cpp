// Opening the sent folder with 100,000 messages and the address book with 10,000 entries, from
// making the view to its first painted rows; then scrolling through the list page by page; and
// the heap the view takes beside the heap of the records it shows. Runs on Qt's offscreen
// platform.

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include <QApplication>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "DataFileGenerator.h"
#include "QuietUserInterface.h"
#include "app/Document.h"
#include "app/SettingsStore.h"
#include "messagedb/MessageDb.h"
#include "ui/AddressBookView.h"
#include "ui/AddressPage.h"
#include "ui/SentMessagesView.h"
#include "ui/controls/AddressListCtrl.h"

namespace {

using Clock = std::chrono::steady_clock;

const std::size_t kEntries = qEnvironmentVariableIsSet("VIEWS_BENCH_ENTRIES")
                                 ? qEnvironmentVariableIntValue("VIEWS_BENCH_ENTRIES")
                                 : 10000;
// Of the sent messages, how many asked for delivery reports ("Stan" read from Brivantel.db).
const std::size_t kReported = qEnvironmentVariableIsSet("VIEWS_BENCH_REPORTED")
                                  ? qEnvironmentVariableIntValue("VIEWS_BENCH_REPORTED")
                                  : 5000;
const std::size_t kMessages = qEnvironmentVariableIsSet("VIEWS_BENCH_MESSAGES")
                                  ? qEnvironmentVariableIntValue("VIEWS_BENCH_MESSAGES")
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

// A document loaded from the bytes of a data file, as the program would load it.
struct LoadedDocument
{
    QuietUserInterface ui;
    CMemorySettingsStore settings;
    CBrivantelDoc doc{ui, settings};
};

std::vector<std::uint8_t> MakeFile(std::size_t entries, std::size_t messages)
{
    QuietUserInterface ui;
    CMemorySettingsStore settings;
    CBrivantelDoc doc(ui, settings);
    FillLargeDocument(doc, entries, messages);
    return doc.Store();
}

// Heap taken by loading the file: what the records themselves hold.
std::size_t RecordsHeap(const std::vector<std::uint8_t>& bytes, std::unique_ptr<LoadedDocument>& loaded)
{
    const std::size_t before = HeapInUse();
    loaded = std::make_unique<LoadedDocument>();
    if (!loaded->doc.Load(bytes))
        std::fprintf(stderr, "the benchmark file did not load\n");
    return HeapInUse() - before;
}

struct Figures
{
    double openMs = 0;
    double worstScrollMs = 0;
    double meanScrollMs = 0;
    std::size_t viewHeap = 0;
};

// Makes the view, shows it and paints its rows; then pages through its table to the end.
Figures Measure(const std::function<std::unique_ptr<QWidget>()>& make,
                const std::function<QTableView&(QWidget&)>& table)
{
    Figures figures;
    // The main window is on screen before any view: the view is a child drawn into its surface.
    QWidget host;
    host.resize(800, 600);
    host.show();
    if (!QTest::qWaitForWindowExposed(&host))
        std::fprintf(stderr, "the window was not shown\n");
    host.repaint();
    const std::size_t before = HeapInUse();
    const auto start = Clock::now();
    std::unique_ptr<QWidget> view = make();
    view->setParent(&host);
    view->resize(host.size());
    view->show();
    QTableView& rows = table(*view);
    rows.viewport()->repaint();
    figures.openMs = Ms(Clock::now() - start);
    figures.viewHeap = HeapInUse() - before;

    QScrollBar& bar = *rows.verticalScrollBar();
    const int steps = 200;
    double total = 0;
    for (int i = 1; i <= steps; ++i) {
        const auto step = Clock::now();
        bar.setValue(static_cast<int>(static_cast<long long>(bar.maximum()) * i / steps));
        rows.viewport()->repaint();
        const double ms = Ms(Clock::now() - step);
        total += ms;
        figures.worstScrollMs = std::max(figures.worstScrollMs, ms);
    }
    figures.meanScrollMs = total / steps;
    return figures;
}

void Report(const char* what, std::vector<Figures> runs, std::size_t recordsHeap)
{
    std::sort(runs.begin(), runs.end(),
              [](const Figures& a, const Figures& b) { return a.openMs < b.openMs; });
    const Figures& median = runs[runs.size() / 2];
    double worst = 0;
    for (const Figures& f : runs)
        worst = std::max(worst, f.worstScrollMs);
    std::printf("%s: open to first painted rows %.1f ms (median of %d; fastest %.1f, slowest %.1f); "
                "scroll step mean %.2f ms, worst %.2f ms; view heap %.1f KiB = %.2f%% of the records' "
                "%.1f KiB\n",
                what, median.openMs, kRuns, runs.front().openMs, runs.back().openMs, median.meanScrollMs,
                worst, median.viewHeap / 1024.0,
                100.0 * static_cast<double>(median.viewHeap) / static_cast<double>(recordsHeap),
                recordsHeap / 1024.0);
}

// Records a report asked for with every n-th sent message, half of them delivered.
bool RecordReports(CBrivantelDoc& doc, const std::string& folder)
{
    CMessageDb db;
    if (!db.Open(folder).ok)
        return false;
    const auto& messages = doc.GetSent().GetMessages();
    const std::size_t step = std::max<std::size_t>(1, messages.size() / std::max<std::size_t>(1, kReported));
    std::vector<StatusReport> reports;
    int reference = 0;
    for (std::size_t i = 0; i < messages.size(); i += step) {
        const CMessage& m = *messages[i];
        const auto time = static_cast<std::int64_t>(m.GetTime());
        const std::string number = "+48602" + std::to_string(100000 + i % 900000);
        reference = (reference + 1) % 256;
        if (!db.RecordSent({m.GetRecipients(), number, m.GetText(), time, time, {reference}}))
            return false;
        if (i / step % 2 == 0)
            reports.push_back({number, reference, 0, time + 60, time + 60});
    }
    return db.ApplyReports(reports);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    std::unique_ptr<LoadedDocument> sent;
    const std::size_t sentHeap = RecordsHeap(MakeFile(0, kMessages), sent);
    std::unique_ptr<LoadedDocument> book;
    const std::size_t bookHeap = RecordsHeap(MakeFile(kEntries, 0), book);

    // A first showing warms Qt's fonts and style, as the main window has done before any folder.
    Measure([&] { return std::make_unique<CSentMessagesView>(sent->doc, 1002); },
            [](QWidget& w) -> QTableView& { return static_cast<CFolderView&>(w).GetList().GetTable(); });

    std::vector<Figures> sentRuns;
    std::vector<Figures> bookRuns;
    for (int run = 0; run < kRuns; ++run) {
        sentRuns.push_back(Measure(
            [&] { return std::make_unique<CSentMessagesView>(sent->doc, 1002); },
            [](QWidget& w) -> QTableView& { return static_cast<CFolderView&>(w).GetList().GetTable(); }));
        bookRuns.push_back(Measure(
            [&] {
                auto view = std::make_unique<CAddressBookView>(book->doc, 1005);
                view->OnInitialUpdate();
                return view;
            },
            [](QWidget& w) -> QTableView& {
                return static_cast<CAddressBookView&>(w).GetPage().GetList().GetTable();
            }));
    }
    Report("sent folder, 100,000 messages", sentRuns, sentHeap);

    // The same folder with its "Stan" column read from Brivantel.db at each showing.
    QTemporaryDir dbDir;
    if (!RecordReports(sent->doc, dbDir.path().toStdString()))
        std::fprintf(stderr, "the delivery reports were not recorded\n");
    sent->doc.SetMessageDbFolder(dbDir.path().toStdString());
    std::vector<Figures> stateRuns;
    for (int run = 0; run < kRuns; ++run)
        stateRuns.push_back(Measure(
            [&] {
                auto view = std::make_unique<CSentMessagesView>(sent->doc, 1002);
                view->OnInitialUpdate();
                return view;
            },
            [](QWidget& w) -> QTableView& { return static_cast<CFolderView&>(w).GetList().GetTable(); }));
    char what[96];
    std::snprintf(what, sizeof what, "sent folder, 100,000 messages, %zu with delivery states", kReported);
    Report(what, stateRuns, sentHeap);
    Report("address book, 10,000 entries", bookRuns, bookHeap);
    return 0;
}
