#include <iostream>

#include "cli/Command.h"
#include "send/PhoneSender.h"
#include "store/Windows1250.h"

namespace {

int PhoneInfo(CCommandContext& ctx)
{
    std::string port;
    if (ctx.Parser().isSet("port")) {
        if (!ctx.OptionText("port", port))
            return kExitUsage;
    } else {
        port = ctx.Settings().Get(settings_keys::kPhonePort);
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

} // namespace

std::vector<CCommand> PhoneCommands()
{
    const QCommandLineOption port("port", "Port telefonu zamiast Settings/Port (np. /dev/ttyUSB0).", "PORT");
    return {
        {{"phone-info"},
         "phone-info [--port PORT]",
         "Pyta telefon o producenta, model, stan karty SIM, sieć i sygnał, jak przycisk „Sprawdź telefon”.",
         {port},
         0,
         PhoneInfo},
    };
}
