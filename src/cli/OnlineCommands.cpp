#include <iostream>

#include <QFileInfo>

#include "cli/Command.h"
#include "online/BannerIndex.h"
#include "online/BannerNames.h"
#include "online/OnlineUpdate.h"
#include "store/Windows1250.h"

namespace {

std::string Utf8(const std::string& text)
{
    return windows1250::ToUtf8(text);
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
            std::cout << "Pominięto (niedozwolona nazwa pliku): " << Utf8(entry->GetImageFile()) << '\n';
    }
}

void PrintReport(const COnlineUpdate::Report& report, const CBannerList& list,
                 const std::string& downloadAddress)
{
    std::cout << "Plik wersji: " << (report.versionChecked ? "odczytany" : "niedostępny") << '\n';
    if (report.indexFetched)
        std::cout << "Indeks Brivantel.adv: pobrany, pozycje do pokazania: " << list.size() << '\n';
    else
        std::cout << "Indeks Brivantel.adv: nie pobrany\n";
    for (const auto& name : report.fetched)
        std::cout << "Pobrano: " << Utf8(name) << '\n';
    for (const auto& name : report.alreadyHere)
        std::cout << "Już jest: " << Utf8(name) << '\n';
    for (const auto& name : report.failed)
        std::cout << "Nie pobrano: " << Utf8(name) << '\n';
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
    config.serverHost = ctx.Settings().GetString(maker_addresses::kHostSection, maker_addresses::kHostValue,
                                                 maker_addresses::kDefaultHost);
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
    if (!report.indexFetched) {
        PrintErrorUtf8("Nie udało się pobrać indeksu reklam z serwera " + Utf8(config.serverHost) + ".");
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
        std::cout << Utf8(entry->GetImageFile()) << '\t' << entry->GetDuration() << '\t'
                  << PictureState(dataDir, *entry) << '\t' << Utf8(entry->GetLink())
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
