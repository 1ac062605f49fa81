#include <iostream>

#include "cli/Command.h"
#include "store/SettingsData.h"

namespace {

int Show(CCommandContext& ctx)
{
    auto doc = ctx.OpenDocument(CBrivantelDoc::Access::ReadOnly);
    if (!doc)
        return kExitFailed;
    const std::int32_t route = doc->GetSettings().GetRoute();
    if (route == ROUTE_INTERNET)
        std::cout << "internet" << std::endl;
    else if (route == ROUTE_PHONE)
        std::cout << "phone" << std::endl;
    else // a value another copy of the program wrote: shown as it stands; no route sends with it
        std::cout << route << std::endl;
    return kExitOk;
}

int Set(CCommandContext& ctx, Route route)
{
    auto doc = ctx.OpenDocument(CBrivantelDoc::Access::ReadWrite);
    if (!doc)
        return kExitFailed;
    doc->GetSettings().SetRoute(route);
    return doc->SaveDataFile() ? kExitOk : kExitFailed;
}

} // namespace

std::vector<CCommand> RouteCommands()
{
    // The two setting forms come first: the tool picks the first command whose words match.
    return {
        {{"route", "internet"},
         "route internet",
         "Wysyła wiadomości przez bramki operatorów w Internecie.",
         {},
         0,
         [](CCommandContext& ctx) { return Set(ctx, ROUTE_INTERNET); }},
        {{"route", "phone"},
         "route phone",
         "Wysyła wiadomości przez telefon GSM lub modem na porcie z ustawienia Settings/Port.",
         {},
         0,
         [](CCommandContext& ctx) { return Set(ctx, ROUTE_PHONE); }},
        {{"route"},
         "route",
         "Wypisuje drogę wysyłania zapisaną w pliku danych: internet albo phone.",
         {},
         0,
         Show},
    };
}
