#include <iostream>

#include <QDir>

#include "cli/Command.h"
#include "cli/DumpCommand.h"

namespace {

int Dump(CCommandContext& ctx)
{
    // A well-formed file is checked once through and written as it is read a second time: neither
    // the file nor a folder is ever held whole. Anything else is read as every command reads it.
    if (const QString path = ctx.DataFilePath(); !path.isEmpty()) {
        const std::string native = QDir::toNativeSeparators(path).toStdString();
        CBrivantelDoc doc(ctx.Ui(), ctx.Settings());
        if (doc.ReadThrough(native, nullptr)) {
            const bool whole = WriteDumpReading(doc, native, std::cout);
            std::cout << std::endl;
            if (whole)
                return kExitOk;
            // It changed between the two readings (another program saved it in place meanwhile).
            PrintErrorUtf8("Uwaga: plik danych jest uszkodzony; pokazano to, co dało się odczytać.");
            return kExitDamaged;
        }
    }
    auto doc = ctx.OpenDocument(CBrivantelDoc::Access::ReadOnly);
    if (!doc)
        return kExitFailed;
    WriteDump(*doc, std::cout);
    std::cout << std::endl;
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
