// Sending benchmark: SendToRecipients over 1,000 numbers of each network against the local gateway
// simulator, beside the bare loopback cost of connect-send-read-close measured in the same run.

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "QuietUserInterface.h"
#include "app/Document.h"
#include "app/SettingsStore.h"
#include "gateway-sim/GatewaySimulator.h"
#include "net/TcpSocket.h"

namespace {

using Clock = std::chrono::steady_clock;

long RssKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

double Micros(Clock::duration d)
{
    return std::chrono::duration<double, std::micro>(d).count();
}

// Connect, send a short request, read until the server closes, close: the floor of one exchange.
double LoopbackFloor(std::uint16_t port, int rounds)
{
    char buffer[4096];
    const auto start = Clock::now();
    for (int i = 0; i < rounds; ++i) {
        CTcpSocket socket;
        if (!socket.Connect("127.0.0.1", port) || !socket.SendAll("GET /x HTTP/1.0\r\n\r\n"))
            return -1;
        while (socket.Receive(buffer, sizeof buffer) > 0) {
        }
    }
    return Micros(Clock::now() - start) / rounds;
}

std::string Numbers(const char* prefix, int count)
{
    std::string numbers;
    for (int i = 0; i < count; ++i) {
        char n[32];
        std::snprintf(n, sizeof n, "%s%06d", prefix, i);
        numbers += (numbers.empty() ? "" : ";") + std::string(n);
    }
    return numbers;
}

} // namespace

int main()
{
    constexpr int kCount = 1000;
    CGatewaySimulator sim;
    sim.SetKeeping(false); // the client's memory is measured, not the simulator's record
    if (!sim.Start()) {
        std::fprintf(stderr, "the gateway simulator did not start\n");
        return 1;
    }
    QuietUserInterface ui;
    CMemorySettingsStore store;
    for (const char* name : {"Era", "Idea", "Plus"})
        store.SetString("Hosts", name, sim.HostValue());
    CBrivantelDoc doc(ui, store);
    doc.SetSignature("Jan Kowalski");

    LoopbackFloor(sim.Port(), 200); // warm-up
    const double floor = LoopbackFloor(sim.Port(), 3000);
    std::printf("loopback connect-send-read-close: %.1f us per exchange\n\n", floor);

    struct Network
    {
        const char* name;
        const char* prefix;
        int exchanges;
    };
    const Network networks[] = {
        {"Idea Centertel", "+48501", 1}, {"Plus GSM", "+48601", 1}, {"Era GSM", "+48602", 3}};
    std::printf("%-15s %10s %12s %14s %16s %12s\n", "network", "messages", "us/message", "us/exchange",
                "client over floor", "RSS growth");
    const long rssStart = RssKiB();
    for (const auto& n : networks) {
        const std::string numbers = Numbers(n.prefix, kCount);
        std::string recipients(kCount - 1, ';');
        const long rssBefore = RssKiB();
        CBrivantelDoc::SendCount count;
        const auto start = Clock::now();
        doc.SendToRecipients(recipients, numbers, "Benchmark: tekst wiadomosci", ROUTE_INTERNET, &count);
        const double perMessage = Micros(Clock::now() - start) / kCount;
        const double perExchange = perMessage / n.exchanges;
        std::printf("%-15s %10d %12.1f %14.1f %16.1f %9ld KiB\n", n.name, count.sent, perMessage, perExchange,
                    perExchange - floor, RssKiB() - rssBefore);
        if (count.failed != 0)
            std::printf("  %d sends failed\n", count.failed);
    }
    const long grown = RssKiB() - rssStart;
    const std::size_t filed = doc.GetSent().GetCount();
    std::printf(
        "\nfiled in the sent folder: %zu messages; RSS grew %ld KiB in all, %.0f bytes per filed message\n",
        filed, grown, filed ? grown * 1024.0 / static_cast<double>(filed) : 0.0);
    std::printf("gateway simulator accepted %zu messages\n", sim.MessageCount());
    return 0;
}
