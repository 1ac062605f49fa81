// brivantel-gateway-sim: the three operators' SMS forms on a local port. Point the "Hosts"
// settings ("Era", "Idea", "Plus") at it to try sending without an operator; every message it
// accepts is printed on standard output.

#include <csignal>
#include <cstring>
#include <iostream>
#include <map>
#include <thread>

#include "gateway-sim/GatewaySimulator.h"
#include "store/Windows1250.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int)
{
    g_stop = 1;
}

int Usage()
{
    std::cerr
        << "Użycie: brivantel-gateway-sim [--port PORT] [--bind ADRES] [--mode TRYB]\n"
           "  --port    port do nasłuchu (domyślnie 8080; 0 = dowolny wolny)\n"
           "  --bind    adres do nasłuchu (domyślnie 127.0.0.1)\n"
           "  --mode    normal, split, no-confirmation, never-answer, close, flood, no-cookie, no-code,\n"
           "            not-sent, status-500\n";
    return 2;
}

} // namespace

int main(int argc, char* argv[])
{
    using Behaviour = CGatewaySimulator::Behaviour;
    const std::map<std::string, Behaviour> modes = {
        {"normal", Behaviour::Normal},
        {"split", Behaviour::SplitConfirmation},
        {"no-confirmation", Behaviour::NoConfirmation},
        {"never-answer", Behaviour::NeverAnswer},
        {"close", Behaviour::CloseAtOnce},
        {"flood", Behaviour::Flood},
        {"no-cookie", Behaviour::NoCookie},
        {"no-code", Behaviour::NoCode},
        {"not-sent", Behaviour::NotSent},
        {"status-500", Behaviour::ServerError},
    };
    long port = 8080;
    std::string address = "127.0.0.1";
    Behaviour behaviour = Behaviour::Normal;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc)
            return Usage();
        const std::string value = argv[++i];
        if (arg == "--port") {
            char* end = nullptr;
            port = std::strtol(value.c_str(), &end, 10);
            if (*end != '\0' || port < 0 || port > 65535)
                return Usage();
        } else if (arg == "--bind") {
            address = value;
        } else if (arg == "--mode" && modes.count(value)) {
            behaviour = modes.at(value);
        } else {
            return Usage();
        }
    }
    // Set before the serving thread starts, which inherits the handling.
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    CGatewaySimulator simulator;
    simulator.SetBehaviour(behaviour);
    simulator.SetLog([](const CGatewaySimulator::Message& m) {
        std::cout << m.gateway << '\t' << windows1250::ToUtf8(m.number) << '\t'
                  << windows1250::ToUtf8(m.sender) << '\t' << windows1250::ToUtf8(m.text) << std::endl;
    });
    if (!simulator.Start(static_cast<std::uint16_t>(port), address)) {
        std::cerr << "Nie można nasłuchiwać na " << address << ':' << port << ": " << std::strerror(errno)
                  << '\n';
        return 1;
    }
    std::cerr << "Bramki SMS na " << address << ':' << simulator.Port() << " (Ctrl+C kończy)" << std::endl;
    while (!g_stop)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    simulator.Stop();
    return 0;
}
