#include <iostream>

#include <QFileInfo>

#include "app/OnlineUpdate.h"
#include "cli/Command.h"
#include "online/BannerIndex.h"
#include "online/BannerNames.h"
#include "store/Windows1250.h"

namespace {

std::string Utf8(const std::string& text)
{
    return windows1250::ToUtf8(text);
}

// A name or address from the network, safe for a terminal: control bytes, and the bytes the code
// page leaves undefined, are written as \xNN (a backslash as \\), so no escape sequence of the
// server's reaches the terminal.
std::string Escaped(const std::string& text)
{
    static const char* const kHex = "0123456789ABCDEF";
    std::string out;
    std::string run; // printable bytes, converted together
    const auto flush = [&] {
        out += Utf8(run);
        run.clear();
    };
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        const bool undefined = b == 0x81 || b == 0x83 || b == 0x88 || b == 0x90 || b == 0x98;
        if (b < 0x20 || b == 0x7F || undefined || c == '\\') {
            flush();
            if (c == '\\') {
                out += "\\\\";
            } else {
                out += "\\x";
                out += kHex[b >> 4];
                out += kHex[b & 0x0F];
            }
        } else {
            run += c;
        }
    }
    flush();
    return out;
}

std::string DataDirectory(CCommandContext& ctx)
{
    const QString file = ctx.DataFilePath();
    return file.isEmpty() ? std::string() : QFileInfo(file).absolutePath().toStdString();
}

// Entries of the index that the program neither fetches nor shows.
void PrintRefusedEntries(const std::string& dataDir)
{
    CBannerList all;
    banner_index::ReadFile(banner_index::PathInDataDir(dataDir, banner_index::kFileName), all);
    for (const auto& entry : all) {
        if (!entry->HasPlainImageName())
            std::cout << "Pominięto (niedozwolona nazwa pliku): " << Escaped(entry->GetImageFile()) << '\n';
    }
}

void PrintReport(const COnlineUpdate::Report& report, const CBannerList& list,
                 const std::string& downloadAddress)
{
    std::cout << "Plik wersji: " << (report.versionChecked ? "odczytany" : "niedostępny") << '\n';
    if (report.index)
        std::cout << "Indeks Brivantel.adv: pobrany, pozycje do pokazania: " << list.size() << '\n';
    else
        std::cout << "Indeks Brivantel.adv: nie pobrany\n";
    for (const auto& name : report.fetched)
        std::cout << "Pobrano: " << Escaped(name) << '\n';
    for (const auto& name : report.alreadyHere)
        std::cout << "Już jest: " << Escaped(name) << '\n';
    for (const auto& name : report.failed)
        std::cout << "Nie pobrano: " << Escaped(name) << '\n';
    if (report.newerVersion)
        std::cout << "Nowa wersja: tak, do pobrania pod adresem " << Utf8(downloadAddress) << '\n';
    else
        std::cout << "Nowa wersja: nie" << (report.versionChecked ? "" : " (nie sprawdzono)") << '\n';
}

int Update(CCommandContext& ctx)
{
    const std::string dataDir = DataDirectory(ctx);
    if (dataDir.empty()) {
        PrintErrorUtf8("Nie można utworzyć katalogu danych.");
        return kExitFailed;
    }
    // The proxy settings live in the data file.
    auto doc = ctx.OpenDocument(CBrivantelDoc::Access::ReadOnly);
    if (!doc)
        return kExitFailed;
    COnlineUpdate::Config config;
    config.serverHost = ctx.Settings().Get(settings_keys::kMakerHost);
    config.dataDir = dataDir;
    COnlineUpdate update(ctx.Ui(), ctx.Settings(), doc->GetSettings(), config);
    CBannerList list;
    COnlineUpdate::Report report;
    // Run now, as if it were due; the new version is reported, not offered.
    update.Download(list, report, update_schedule::Today());
    banner_index::LoadBannerList(dataDir, list);
    PrintReport(report, list, update.DownloadAddress());
    PrintRefusedEntries(dataDir);
    if (report.dateRecorded && !ctx.Settings().Sync()) {
        PrintErrorUtf8("Nie udało się zapisać daty aktualizacji w ustawieniach.");
        return kExitFailed;
    }
    if (!report.index) {
        PrintErrorUtf8("Nie udało się pobrać indeksu reklam z serwera " + Utf8(config.serverHost) + ": " +
                       Utf8(report.index.reason) + ".");
        return kExitFailed;
    }
    return kExitOk;
}

const char* PictureState(const std::string& dataDir, const CBannerInfo& entry)
{
    if (!entry.HasPlainImageName())
        return "niedozwolona nazwa";
    QFileInfo file(QString::fromStdString(banner_index::PathInDataDir(dataDir, entry.GetImageFile())));
    return file.exists() ? "jest" : "brak";
}

int Banners(CCommandContext& ctx)
{
    const std::string dataDir = DataDirectory(ctx);
    CBannerList entries;
    switch (banner_index::ReadFile(banner_index::PathInDataDir(dataDir, banner_index::kFileName), entries)) {
    case banner_index::FileState::Missing:
        PrintErrorUtf8("Brak pliku Brivantel.adv w katalogu danych.");
        return kExitFailed;
    case banner_index::FileState::Damaged:
        PrintErrorUtf8("Plik Brivantel.adv jest uszkodzony.");
        return kExitFailed;
    case banner_index::FileState::Read:
        break;
    }
    std::cout << "Obraz\tCzas\tPlik\tLink\n";
    for (const auto& entry : entries) {
        std::cout << Escaped(entry->GetImageFile()) << '\t' << entry->GetDuration() << '\t'
                  << PictureState(dataDir, *entry) << '\t' << Escaped(entry->GetLink())
                  << (banner_names::IsWebAddress(entry->GetLink()) ? "" : " (nie zostanie otwarty)") << '\n';
    }
    return kExitOk;
}

} // namespace

std::vector<CCommand> OnlineCommands()
{
    return {
        {{"update"},
         "update",
         "Pobiera teraz plik wersji, indeks reklam i brakujące obrazy z serwera producenta (Hosts/Update).",
         {},
         0,
         Update},
        {{"banners"}, "banners", "Wypisuje pozycje indeksu reklam Brivantel.adv.", {}, 0, Banners},
    };
}
