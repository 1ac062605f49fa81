#include <iostream>

#include "cli/Command.h"
#include "cli/DumpCommand.h"

namespace {

int Dump(CCommandContext& ctx)
{
    auto doc = ctx.OpenDocument(CBrivantelDoc::Access::ReadOnly);
    if (!doc)
        return kExitFailed;
    WriteDump(*doc, std::cout);
    std::cout << std::endl;
    return kExitOk;
}

int Resave(CCommandContext& ctx)
{
    auto doc = ctx.OpenDocument(CBrivantelDoc::Access::ReadWrite);
    if (!doc)
        return kExitFailed;
    return doc->SaveDataFile() ? kExitOk : kExitFailed;
}

} // namespace

std::vector<CCommand> DataCommands()
{
    return {
        {{"dump"}, "dump", "Wypisuje wszystkie rekordy pliku danych jako JSON.", {}, 0, Dump},
        {{"resave"}, "resave", "Wczytuje plik danych i zapisuje go tak, jak program przy wyjściu.", {}, 0, Resave},
    };
}
