#include <iostream>

#include "cli/Command.h"
#include "phone/PhoneBackend.h"
#include "phone/PortSearch.h"
#include "send/PhoneSender.h"
#include "store/Windows1250.h"

namespace {

std::string Percent(int signal)
{
    return signal < 0 ? std::string() : std::to_string(signal) + "%";
}

// What the system's modem service tells of a modem, as the phone check tells it.
PhoneReport ReportOf(const ModemInfo& modem)
{
    PhoneReport report;
    report.maker = modem.maker;
    report.model = modem.model;
    report.sim = modem.SimText();
    report.registration = modem.registration;
    report.signal = Percent(modem.signal);
    return report;
}

int PhoneInfo(CCommandContext& ctx)
{
    std::string backend;
    if (!ctx.PhoneBackendChoice(backend))
        return kExitUsage;
    std::string port;
    if (ctx.Parser().isSet("port")) {
        if (!ctx.OptionText("port", port))
            return kExitUsage;
    } else {
        port = ctx.Settings().Get(settings_keys::kPhonePort);
    }
    const PhoneBackend choice = phone_backend::FromSetting(backend);
    if (choice != PhoneBackend::Serial) {
        const std::vector<ModemInfo> modems = ctx.ModemService().Modems();
        if (const ModemInfo* modem = phone_backend::ModemFor(modems, CPhoneSender::DeviceFor(port))) {
            std::cout << windows1250::ToUtf8(windows1250::FromUtf8Lossy("Przez: ModemManager (") +
                                             modem->Name() + ")\n" + ReportOf(*modem).Text())
                      << std::endl;
            return kExitOk;
        }
        if (choice == PhoneBackend::ModemManager) {
            PrintErrorUtf8(ctx.ModemService().IsRunning() ? "ModemManager nie obsługuje tego modemu."
                                                          : "Usługa ModemManager nie działa.");
            return kExitFailed;
        }
    }
    if (port.empty()) {
        PrintErrorUtf8("Nie wybrano portu telefonu (Settings/Port albo --port).");
        return kExitUsage;
    }
    CPhoneSender phone(port);
    const PhoneReport report = phone.Inspect();
    if (!report.problem.empty()) {
        PrintErrorUtf8(windows1250::ToUtf8(report.problem));
        return kExitFailed;
    }
    std::cout << windows1250::ToUtf8(report.Text()) << std::endl;
    return kExitOk;
}

int PhoneList(CCommandContext& ctx)
{
    std::string backend;
    if (!ctx.PhoneBackendChoice(backend))
        return kExitUsage;
    int found = 0;
    std::vector<ModemInfo> modems;
    if (phone_backend::FromSetting(backend) != PhoneBackend::Serial)
        modems = ctx.ModemService().Modems();
    for (const ModemInfo& modem : modems) {
        std::string ports;
        for (const auto& p : modem.ports)
            ports += (ports.empty() ? "" : ",") + p;
        std::cout << "modemmanager\t" << modem.id << '\t' << windows1250::ToUtf8(modem.Name())
                  << "\tSIM: " << windows1250::ToUtf8(modem.SimText()) << "\t"
                  << windows1250::ToUtf8(windows1250::FromUtf8Lossy("Sygnał: ")) << Percent(modem.signal)
                  << "\tPorty: " << ports << '\n';
        ++found;
    }
    // The serial ports with a stable name, each asked briefly unless ModemManager holds it.
    for (const port_search::Port& port : port_search::ListPorts()) {
        const bool held = phone_backend::ServiceHolds(modems, port.device);
        const port_search::Probe probe = held ? port_search::Probe{} : port_search::ProbePort(port.device);
        std::string name = port.maker + (port.maker.empty() || port.model.empty() ? "" : " ") + port.model;
        if (name.empty())
            name = probe.maker;
        const std::string state = held             ? windows1250::FromUtf8Lossy("port ModemManager")
                                  : probe.answered ? "SIM: " + probe.sim
                                                   : probe.problem;
        std::cout << "serial\t" << port.path << '\t' << windows1250::ToUtf8(name) << '\t'
                  << windows1250::ToUtf8(state) << '\t' << port.device << '\n';
        ++found;
    }
    std::cout << std::flush;
    if (found == 0) {
        PrintErrorUtf8("Nie znaleziono żadnego telefonu ani modemu.");
        return kExitFailed;
    }
    return kExitOk;
}

} // namespace

std::vector<CCommand> PhoneCommands()
{
    const QCommandLineOption port("port", "Port telefonu zamiast Settings/Port (np. /dev/ttyUSB0).", "PORT");
    const QCommandLineOption backend(
        "backend", "auto, modemmanager albo serial zamiast Settings/PhoneBackend.", "BACKEND");
    const QCommandLineOption pin("pin", "Nie używać: kod PIN podaje się na terminalu albo w BRIVANTEL_PIN.",
                                 "PIN");
    return {
        {{"phone-info"},
         "phone-info [--port PORT] [--backend auto|modemmanager|serial]",
         "Pyta telefon o producenta, model, stan karty SIM, sieć i sygnał, jak przycisk „Sprawdź telefon”.",
         {port, backend, pin},
         0,
         PhoneInfo},
        {{"phone-list"},
         "phone-list [--backend auto|modemmanager|serial]",
         "Wypisuje modemy, które widzi ModemManager, i porty szeregowe telefonów, po jednym w wierszu.",
         {backend, pin},
         0,
         PhoneList},
    };
}
