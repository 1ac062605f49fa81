// gateway-test: one message through the user's own gateway, to try its settings.

#include <algorithm>
#include <iostream>
#include <string_view>
#include <vector>

#include "cli/Command.h"
#include "send/OwnGatewaySender.h"
#include "store/Windows1250.h"

namespace {

constexpr std::size_t kMaxText = 160;
constexpr std::size_t kShownReply = 200; // bytes of the reply body

char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithNoCase(std::string_view text, std::size_t at, std::string_view lowerName)
{
    if (lowerName.empty() || text.size() - at < lowerName.size())
        return false;
    for (std::size_t i = 0; i < lowerName.size(); ++i) {
        if (LowerAscii(text[at + i]) != lowerName[i])
            return false;
    }
    return true;
}

// A gateway that echoes the request would show the provider's token: every configured header
// value, and whatever follows "Authorization" or a configured header's name, becomes "***".
std::string MaskHeaderSecrets(std::string_view text, const std::string& headersUtf8)
{
    std::vector<std::string> names = {"authorization"};
    std::vector<std::string> values;
    std::size_t from = 0;
    while (from < headersUtf8.size()) {
        const auto end = std::min(headersUtf8.find('\n', from), headersUtf8.size());
        const std::string_view line = std::string_view(headersUtf8).substr(from, end - from);
        from = end + 1;
        const auto colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        std::string name(line.substr(0, colon));
        std::transform(name.begin(), name.end(), name.begin(), LowerAscii);
        name.erase(0, name.find_first_not_of(" \t"));
        name.erase(name.find_last_not_of(" \t\r") + 1);
        std::string_view value = line.substr(colon + 1);
        value.remove_prefix(std::min(value.find_first_not_of(" \t"), value.size()));
        value = value.substr(0, value.find_last_not_of(" \t\r") + 1);
        if (!name.empty())
            names.push_back(std::move(name));
        if (!value.empty())
            values.emplace_back(value);
    }
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        bool masked = false;
        for (const std::string& value : values) {
            if (text.compare(i, value.size(), value) == 0) {
                out += "***";
                i += value.size();
                masked = true;
                break;
            }
        }
        if (masked)
            continue;
        for (const std::string& name : names) {
            if (!StartsWithNoCase(text, i, name))
                continue;
            out.append(text.substr(i, name.size()));
            i += name.size();
            while (i < text.size() && std::string_view("\"' :=\t").find(text[i]) != std::string_view::npos)
                out.push_back(text[i++]);
            const std::size_t end = std::min(text.find_first_of("\r\n\"&,;<}", i), text.size());
            if (end > i)
                out += "***";
            i = end;
            masked = true;
            break;
        }
        if (!masked)
            out.push_back(text[i++]);
    }
    return out;
}

// At most the first count bytes of a UTF-8 text, never half a character, with control bytes
// written as escapes so that a reply cannot move the terminal's cursor or hide what follows.
std::string ShownReply(std::string_view utf8, std::size_t count)
{
    if (utf8.size() > count) {
        std::size_t cut = count;
        while (cut > 0 && (static_cast<unsigned char>(utf8[cut]) & 0xC0) == 0x80)
            --cut;
        utf8 = utf8.substr(0, cut);
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (byte < 0x20 || byte == 0x7F)
            out += std::string("\\x") + kHex[byte >> 4] + kHex[byte & 0x0F];
        else if (c == '\\')
            out += "\\\\";
        else
            out.push_back(c);
    }
    return out;
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
    COwnGatewaySender& gateway = doc->GetSender().OwnGateway();
    const auto outcome = gateway.Deliver(number, text);
    if (!outcome.statusLine.empty()) {
        const std::string headers = windows1250::ToUtf8(gateway.ReadConfig().headers);
        std::cout << ShownReply(MaskHeaderSecrets(outcome.statusLine, headers), kShownReply) << '\n'
                  << ShownReply(MaskHeaderSecrets(outcome.body, headers), kShownReply) << std::endl;
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
