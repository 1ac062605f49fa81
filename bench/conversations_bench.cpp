// "Rozmowy" with 1,000 people and 200,000 messages: 100,000 sent in a generated data file and
// 100,000 received in a generated Brivantel.db, one person holding a thread of 5,000. Measures the
// list's first paint (from making the view to its painted rows), opening the 5,000-message thread
// (until its rows on screen are painted at their measured heights) and the paint of the visible
// rows while scrolling that thread a page at a time. Runs on Qt's offscreen platform.
// Targets: first paint < 50 ms, opening < 50 ms, a scrolled paint < 8 ms (a frame at 60 Hz).

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include <QApplication>
#include <QListView>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include "QuietUserInterface.h"
#include "ReceivedFiller.h"
#include "app/Document.h"
#include "app/SettingsStore.h"
#include "messagedb/MessageDb.h"
#include "store/Address.h"
#include "ui/ConversationsView.h"
#include "ui/ThreadModel.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPeople = 1000;
constexpr int kSent = 100000;
constexpr int kReceived = 100000;
constexpr int kHeavyEach = 2500; // the heavy thread: this many sent and as many received
constexpr int kRuns = 5;
constexpr std::int64_t kStart = 1700000000;

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

std::string Number(int person)
{
    return "+48602" + std::to_string(100000 + person);
}

const char* const kWords[] = {"dzi\x9C",   "jutro",      "spotkanie", "o",      "godzinie",
                              "prosz\xEA", "oddzwo\xF1", "w",         "biurze", "dzi\xEAkuj\xEA",
                              "do",        "zobaczenia", "kino",      "obiad"};
const char* const kUtf8Words[] = {"dziś",   "jutro",      "spotkanie", "o",      "godzinie",
                                  "proszę", "oddzwoń",    "w",         "biurze", "dziękuję",
                                  "do",     "zobaczenia", "kino",      "obiad",  "😀"};

// Person 0 is the heavy one; the others share the rest evenly. Times interleave, so every
// thread mixes sent and received messages.
bool Generate(const std::string& folder)
{
    std::mt19937 rng(7);
    QuietUserInterface ui;
    CMemorySettingsStore settings;
    CBrivantelDoc doc(ui, settings);
    if (!doc.Open(folder + "/Brivantel.vs", CBrivantelDoc::Access::ReadWrite))
        return false;
    for (int p = 0; p < kPeople; ++p) {
        auto a = std::make_unique<CAddress>();
        a->SetFirstName("Osoba");
        a->SetSurname(std::to_string(p));
        a->SetDisplayName("Osoba " + std::to_string(p));
        a->SetCountryPrefix("+48");
        a->SetOperatorCode("602");
        a->SetSubscriberNumber(std::to_string(100000 + p));
        doc.GetAddressBook().AddAddress(a);
    }
    auto text = [&](const auto& words, std::size_t length) {
        std::string t;
        while (t.size() < length)
            t += std::string(words[rng() % std::size(words)]) + " ";
        return t;
    };
    for (int i = 0; i < kSent; ++i) {
        const int person = i < kHeavyEach ? 0 : 1 + static_cast<int>(rng() % (kPeople - 1));
        auto m = std::make_unique<CMessage>("Osoba " + std::to_string(person), text(kWords, 40 + rng() % 120),
                                            static_cast<TimeStamp>(kStart + 2 * i));
        doc.GetSent().AddMessage(m);
    }
    if (!doc.SaveQuietly())
        return false;

    return FillReceived(folder, kReceived, [&](int i) {
        const int person = i < kHeavyEach ? 0 : 1 + static_cast<int>(rng() % (kPeople - 1));
        IncomingMessage m;
        // Numbers come written the ways phones write them.
        static const char* const kForms[] = {"0048602", "602", "+48602"};
        m.sender = kForms[i % 3] + std::to_string(100000 + person);
        m.receivedUtc = kStart + 2 * i + 1;
        m.text = text(kUtf8Words, 20 + rng() % 140);
        return m;
    });
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    // CONVERSATIONS_BENCH_KEEP=1 leaves the generated files for a look with sqlite3.
    if (qEnvironmentVariableIsSet("CONVERSATIONS_BENCH_KEEP")) {
        dir.setAutoRemove(false);
        std::printf("files in %s\n", qPrintable(dir.path()));
    }
    const std::string folder = dir.path().toStdString();
    if (!Generate(folder)) {
        std::fprintf(stderr, "could not generate the data\n");
        return 1;
    }
    QuietUserInterface ui;
    CMemorySettingsStore settings;
    CBrivantelDoc doc(ui, settings);
    if (!doc.Open(folder + "/Brivantel.vs", CBrivantelDoc::Access::ReadWrite))
        return 1;
    CMessageDb shared;
    if (!shared.Open(folder).ok)
        return 1;

    double firstPaint = 1e9;
    double opening = 1e9;
    double firstOpening = 0; // the first also marks the thread's 2,500 unread messages read
    std::vector<double> scrolls;
    int threadRows = 0;
    int people = 0;
    for (int run = 0; run < kRuns; ++run) {
        const auto t0 = Clock::now();
        auto view = std::make_unique<CConversationsView>(doc, 1009);
        view->UseDatabase(&shared);
        view->OnInitialUpdate();
        view->resize(900, 600);
        view->show();
        if (!QTest::qWaitForWindowExposed(view.get()))
            return 1;
        view->GetList().viewport()->repaint();
        firstPaint = std::min(firstPaint, Ms(Clock::now() - t0));
        people = view->GetList().model()->rowCount();

        const auto t1 = Clock::now();
        if (!view->OpenConversation(Number(0)))
            return 1;
        view->GetThread().viewport()->repaint();
        // The rows on screen were sized from their lengths; once painted they are laid out at
        // their measured heights and painted again: both count.
        QApplication::processEvents();
        view->GetThread().viewport()->repaint();
        opening = std::min(opening, Ms(Clock::now() - t1));
        if (run == 0)
            firstOpening = Ms(Clock::now() - t1);
        threadRows = view->GetThreadModel().rowCount();

        QScrollBar* bar = view->GetThread().verticalScrollBar();
        for (int step = 0; step < 40 && bar->value() > bar->minimum(); ++step) {
            bar->setValue(bar->value() - bar->pageStep());
            QApplication::processEvents();
            const auto t2 = Clock::now();
            view->GetThread().viewport()->repaint();
            scrolls.push_back(Ms(Clock::now() - t2));
            QApplication::processEvents(); // the relayout a newly measured row asks for
        }
        // The next run starts afresh: nothing read stays marked as read for it.
        settings.Set({"View", "Conversation", ""}, std::string());
    }
    std::sort(scrolls.begin(), scrolls.end());
    const double mean =
        scrolls.empty() ? 0 : std::accumulate(scrolls.begin(), scrolls.end(), 0.0) / scrolls.size();
    const double p95 = scrolls.empty() ? 0 : scrolls[scrolls.size() * 95 / 100];
    std::printf("conversations view, %d people listed, %d sent + %d received messages\n", people, kSent,
                kReceived);
    std::printf("  list first paint: %.1f ms (best of %d; target < 50 ms)\n", firstPaint, kRuns);
    std::printf("  opening a thread of %d messages: %.1f ms (best of %d; target < 50 ms); the first time, "
                "marking its %d unread messages read: %.1f ms\n",
                threadRows, opening, kRuns, kHeavyEach, firstOpening);
    std::printf("  paint of the visible rows while scrolling: mean %.2f ms, 95th percentile %.2f ms, "
                "worst %.2f ms over %zu pages (target < 8 ms)\n",
                mean, p95, scrolls.empty() ? 0 : scrolls.back(), scrolls.size());
    return 0;
}
