#include "app/OnlineUpdate.h"

#include "app/MakerAddresses.h"
#include "app/UserInterface.h"
#include "online/AtomicFile.h"
#include "online/BannerIndex.h"
#include "online/VersionCheck.h"
#include "store/Windows1250.h"

namespace {

// A whole JPEG: it begins with the start-of-image marker and ends with the end-of-image marker, so
// a response cut short (a server that closes early without announcing a length) is not kept.
bool IsWholeJpeg(const std::string& body)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(body[i]); };
    const std::size_t n = body.size();
    return n >= 5 && byte(0) == 0xFF && byte(1) == 0xD8 && byte(2) == 0xFF && byte(n - 2) == 0xFF &&
           byte(n - 1) == 0xD9;
}

std::string PictureProgressText(std::size_t k, std::size_t n)
{
    return "Pobieranie pliku " + std::to_string(k) + " z " + std::to_string(n);
}

} // namespace

COnlineUpdate::COnlineUpdate(CUserInterface& ui, CSettingsStore& store, const CSettingsData& settings,
                             Config config)
    : m_ui(ui), m_store(store), m_settings(settings), m_config(std::move(config))
{
}

std::string COnlineUpdate::DownloadAddress() const
{
    return maker_addresses::DownloadAddress(m_config.serverHost);
}

std::string COnlineUpdate::PicturePath(const std::string& imageFile)
{
    static const char* const kHex = "0123456789ABCDEF";
    std::string path = "/brivantel/reklama/";
    for (const char c : imageFile) {
        const auto b = static_cast<unsigned char>(c);
        if (b <= 0x20 || b >= 0x7F || c == '%' || c == '?' || c == '#' || c == '"' || c == '<' || c == '>') {
            path += '%';
            path += kHex[b >> 4];
            path += kHex[b & 0x0F];
        } else {
            path += c;
        }
    }
    return path;
}

COnlineUpdate::Outcome COnlineUpdate::Run(bool due, CBannerList& list, Report& report,
                                          const update_schedule::Date& today)
{
    if (due)
        Download(list, report, today);
    banner_index::LoadBannerList(m_config.dataDir, list);
    if (!report.newerVersion)
        return Outcome::Continue;
    const std::string question =
        windows1250::FromUtf8Lossy("Twoja obecna wersja programu nie jest wersją najnowszą.\nCzy chesz teraz "
                                   "pobrać najnowszą wersję programu?");
    if (!m_ui.AskYesNo(question))
        return Outcome::Continue;
    m_ui.ShowMessage(
        windows1250::FromUtf8Lossy("Aplikacja zostanie zakończona. \n Po ściagnięciu się najnowszej "
                                   "wersji proszę uruchomic program instalacyjny."),
        CUserInterface::Icon::Information);
    return Outcome::FetchNewVersion;
}

void COnlineUpdate::Download(CBannerList& list, Report& report, const update_schedule::Date& today)
{
    report.downloadRan = true;
    CHttpFetcher http(
        m_settings, m_config.serverHost, [this] { m_ui.WaitHook(); }, m_config.limits);
    http.SetDeadline(CTcpSocket::Clock::now() + m_config.total);
    m_ui.ProgressOpen("Sprawdzanie nowej wersji...");
    CheckVersion(http, report);
    m_ui.ProgressSetText(windows1250::FromUtf8Lossy("Łączenie z serverem..."));
    // Without a new index nothing else is fetched and the date stays, so the next start tries
    // again.
    report.index = FetchIndex(http);
    if (report.index) {
        m_ui.ProgressSetTitle(windows1250::FromUtf8Lossy("Pobieranie plików..."));
        banner_index::LoadBannerList(m_config.dataDir, list);
        FetchPictures(http, list, report);
        update_schedule::RecordUpdate(m_store, today);
        report.dateRecorded = true;
    }
    m_ui.ProgressClose();
}

bool COnlineUpdate::CheckVersion(CHttpFetcher& http, Report& report)
{
    std::string body;
    if (http.Get(VersionPath(), body) != CHttpFetcher::Result::Ok)
        return false;
    report.versionChecked = true;
    report.newerVersion = version_check::AnnouncesNewer(body);
    return true;
}

COutcome COnlineUpdate::FetchIndex(CHttpFetcher& http)
{
    std::string body;
    if (http.Get(IndexPath(), body) != CHttpFetcher::Result::Ok)
        return COutcome::Failed(http.FailureReason());
    // A body that is no index would only empty the list; the previous index is kept instead.
    CBannerList parsed;
    if (!banner_index::Parse(std::vector<std::uint8_t>(body.begin(), body.end()), parsed))
        return COutcome::Failed(windows1250::FromUtf8Lossy("indeks reklam z serwera jest uszkodzony"));
    if (!online_files::WriteAtomically(banner_index::PathInDataDir(m_config.dataDir, banner_index::kFileName),
                                       body))
        return COutcome::Failed(windows1250::FromUtf8Lossy("nie można zapisać pliku Brivantel.adv"));
    return COutcome::Done();
}

void COnlineUpdate::FetchPictures(CHttpFetcher& http, const CBannerList& list, Report& report)
{
    const std::size_t n = list.size();
    m_ui.ProgressSetRange(static_cast<int>(n));
    std::size_t k = 1;
    for (auto it = list.rbegin(); it != list.rend(); ++it, ++k) {
        m_ui.ProgressSetText(PictureProgressText(k, n));
        const std::string& name = (*it)->GetImageFile();
        // The list holds plain names only (see LoadBannerList); checked again because a path is
        // made of it here.
        if ((*it)->HasPlainImageName())
            FetchPicture(http, name, report);
        m_ui.ProgressSetPos(static_cast<int>(k));
    }
}

void COnlineUpdate::FetchPicture(CHttpFetcher& http, const std::string& name, Report& report)
{
    const std::string path = banner_index::PathInDataDir(m_config.dataDir, name);
    if (online_files::Exists(path)) {
        report.alreadyHere.push_back(name);
        return;
    }
    std::string body;
    // A picture once written is never fetched again, so only a complete JPEG is written.
    const bool ok = http.Get(PicturePath(name), body) == CHttpFetcher::Result::Ok && IsWholeJpeg(body) &&
                    online_files::WriteAtomically(path, body);
    (ok ? report.fetched : report.failed).push_back(name);
}
