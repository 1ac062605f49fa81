// gateway-test: one message through the user's own gateway, to try its settings.

#include <iostream>

#include "cli/Command.h"
#include "send/OwnGatewaySender.h"
#include "store/Windows1250.h"

namespace {

constexpr std::size_t kMaxText = 160;
constexpr std::size_t kShownReply = 200;

// The first characters of a UTF-8 text (whole characters, not bytes).
std::string FirstCharacters(const std::string& utf8, std::size_t count)
{
    std::size_t seen = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80 && seen++ == count)
            return utf8.substr(0, i);
    }
    return utf8;
}

int GatewayTest(CCommandContext& ctx)
{
    std::string number, text;
    if (!ctx.OptionText("number", number) || !ctx.OptionText("text", text))
        return kExitUsage;
    if (number.empty()) {
        PrintErrorUtf8("Podaj numer (--number +48...).");
        return kExitUsage;
    }
    if (!ctx.Parser().isSet("text"))
        text = own_gateway::kTestText;
    if (text.empty() || text.size() > kMaxText) {
        PrintErrorUtf8("Wiadomość musi mieć od 1 do 160 znaków.");
        return kExitUsage;
    }
    // Read only: the test message is filed nowhere.
    auto doc = ctx.OpenDocument(CBrivantelDoc::Access::ReadOnly);
    if (!doc)
        return kExitFailed;
    const auto outcome = doc->GetSender().OwnGateway().Deliver(number, text);
    if (!outcome.statusLine.empty()) {
        std::cout << outcome.statusLine << '\n' << FirstCharacters(outcome.body, kShownReply) << std::endl;
    }
    if (!outcome.delivered) {
        PrintError(windows1250::FromUtf8Lossy("Wiadomość nie została wysłana: ") + outcome.reason);
        return kExitFailed;
    }
    PrintErrorUtf8("Bramka przyjęła wiadomość.");
    return kExitOk;
}

} // namespace

std::vector<CCommand> GatewayCommands()
{
    const QCommandLineOption number("number", "Pełny numer (+48...).", "NUMER");
    const QCommandLineOption text("text", "Treść (domyślnie wiadomość próbna).", "TEKST");
    return {
        {{"gateway-test"},
         "gateway-test --number NUMER [--text TEKST]",
         "Wysyła jedną wiadomość tylko przez własną bramkę (sekcja Gateway) i wypisuje status oraz początek "
         "odpowiedzi.",
         {number, text},
         0,
         GatewayTest},
    };
}
