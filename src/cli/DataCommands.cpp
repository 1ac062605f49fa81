#include <iostream>

#include "cli/Command.h"
#include "cli/DumpCommand.h"

namespace {

int Dump(CCommandContext& ctx)
{
    auto doc = ctx.OpenDocument(CBrivantelDoc::Access::ReadOnly);
    if (!doc)
        return kExitFailed;
    std::cout << DumpDocument(*doc).dump(2) << std::endl;
    // A script must be able to tell that what it read is only part of the file.
    return doc->WasDamaged() ? kExitDamaged : kExitOk;
}

int Resave(CCommandContext& ctx)
{
    auto doc = ctx.OpenDocument(CBrivantelDoc::Access::ReadWrite);
    if (!doc)
        return kExitFailed;
    if (!doc->SaveDataFile())
        return kExitFailed;
    return doc->WasDamaged() ? kExitDamaged : kExitOk;
}

} // namespace

std::vector<CCommand> DataCommands()
{
    return {
        {{"dump"}, "dump", "Wypisuje wszystkie rekordy pliku danych jako JSON.", {}, 0, Dump},
        {{"resave"}, "resave", "Wczytuje plik danych i zapisuje go tak, jak program przy wyjściu.", {}, 0, Resave},
    };
}
