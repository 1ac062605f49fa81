// "Znajdź telefon..." with ModemManager answering (two modems on a private bus) and three serial
// candidates under a by-id directory, one of them silent: the time until the list is complete
// (target: 2.5 s, the silent port's probe being bounded to 2 s) and the longest time the window's
// event loop went without a turn meanwhile (target: under 100 ms, so painting never stops).
// Runs on Qt's offscreen platform.

#include <chrono>
#include <cstdio>
#include <filesystem>

#include <QApplication>
#include <QTimer>

#include "phone/FakeModem.h"
#include "phone/mm/FakeModemManager.h"
#include "phone/mm/ModemManagerService.h"
#include "support/TempDir.h"
#include "ui/FindPhoneDialog.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRuns = 3;

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    FakeModemManager mm(nlohmann::json{
        {"modems", {{{"maker", "huawei"}, {"model", "E3372"}}, {{"maker", "Quectel"}, {"model", "EC25"}}}}});
    if (!mm.Problem().empty()) {
        std::fprintf(stderr, "%s\n", mm.Problem().c_str());
        return 1;
    }
    const std::string env = mm.BusEnvironment();
    CModemManagerService service(QString::fromStdString(env.substr(env.find('=') + 1)));
    double worstList = 0;
    double worstGap = 0;
    for (int run = 0; run < kRuns; ++run) {
        FakeModem a, b, silent;
        FakeModem::Phone mute;
        mute.silent = true;
        a.Behave({});
        b.Behave({});
        silent.Behave(mute);
        TempDir byId;
        std::filesystem::create_symlink(a.DevicePath(), byId.file("usb-A-if00-port0"));
        std::filesystem::create_symlink(b.DevicePath(), byId.file("usb-B-if00-port0"));
        std::filesystem::create_symlink(silent.DevicePath(), byId.file("usb-C-if02-port0"));

        CFindPhoneDialog dialog(&service, nullptr, byId.path(), byId.path());
        dialog.show();
        Clock::time_point last = Clock::now();
        double gap = 0;
        QTimer tick;
        tick.setInterval(5);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const auto now = Clock::now();
            gap = std::max(gap, Ms(now - last));
            last = now;
        });
        tick.start();
        const auto start = Clock::now();
        dialog.Start();
        last = Clock::now();
        while (!dialog.IsComplete() && Clock::now() - start < std::chrono::seconds(10))
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        const double list = Ms(Clock::now() - start);
        std::printf("run %d: list complete in %.0f ms, longest event-loop gap %.1f ms\n", run + 1, list, gap);
        worstList = std::max(worstList, list);
        worstGap = std::max(worstGap, gap);
    }
    std::printf("worst: %.0f ms to the complete list (target 2500), %.1f ms gap (target 100): %s\n",
                worstList, worstGap, worstList <= 2500 && worstGap < 100 ? "met" : "NOT MET");
    return 0;
}
