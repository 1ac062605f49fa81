#include <iostream>

#include "cli/Command.h"
#include "send/OwnGatewaySender.h"
#include "store/Windows1250.h"

namespace {

// "SECTION/VALUE" split at the first "/"; false when either part is empty.
bool SplitKey(const QString& key, std::string& section, std::string& name)
{
    const auto slash = key.indexOf(QLatin1Char('/'));
    if (slash <= 0 || slash == key.size() - 1) {
        PrintErrorUtf8("Klucz musi mieć postać SEKCJA/WARTOŚĆ, np. Settings/Sign.");
        return false;
    }
    const auto s = TextFromCommandLine(key.left(slash));
    const auto n = TextFromCommandLine(key.mid(slash + 1));
    if (!s || !n) {
        PrintErrorUtf8("Klucz zawiera znaki spoza kodowania Windows-1250.");
        return false;
    }
    section = *s;
    name = *n;
    return true;
}

int Get(CCommandContext& ctx)
{
    std::string section, name;
    if (!SplitKey(ctx.Positional().at(0), section, name))
        return kExitUsage;
    if (!ctx.Settings().Contains(section, name)) {
        PrintErrorUtf8("Brak wartości " + ctx.Positional().at(0).toStdString() + " w ustawieniach.");
        return kExitFailed;
    }
    std::string value = ctx.Settings().GetString(section, name);
    // The own gateway's header lines carry the provider's token: only their names are shown.
    if (section == settings_keys::kGatewayHeaders.section && name == settings_keys::kGatewayHeaders.name)
        value = own_gateway::HideHeaderValues(value);
    std::cout << windows1250::ToUtf8(value) << std::endl;
    return kExitOk;
}

int Set(CCommandContext& ctx)
{
    std::string section, name;
    if (!SplitKey(ctx.Positional().at(0), section, name))
        return kExitUsage;
    const auto value = TextFromCommandLine(ctx.Positional().at(1));
    if (!value) {
        PrintErrorUtf8("Wartość zawiera znaki, których nie da się zapisać w kodowaniu Windows-1250.");
        return kExitUsage;
    }
    ctx.Settings().SetString(section, name, *value);
    if (!ctx.Settings().Sync()) {
        PrintErrorUtf8("Nie udało się zapisać ustawień.");
        return kExitFailed;
    }
    return kExitOk;
}

} // namespace

std::vector<CCommand> ConfigCommands()
{
    return {
        {{"config", "get"}, "config get SEKCJA/WARTOŚĆ", "Wypisuje wartość z ustawień programu.", {}, 1, Get},
        {{"config", "set"}, "config set SEKCJA/WARTOŚĆ TEKST", "Zapisuje wartość w ustawieniach programu.", {}, 2, Set},
    };
}
