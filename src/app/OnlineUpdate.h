#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "app/SettingsKeys.h"
#include "app/UpdateSchedule.h"
#include "net/Outcome.h"
#include "online/BannerInfo.h"
#include "online/HttpFetcher.h"

class CSettingsData;
class CUserInterface;

// The start-up online work: when due, ask the maker's server for a newer version, fetch the
// banner index and every banner picture not yet on disk, and record the date; then load the
// banner list and, when a newer version was announced, offer it. Everything it shows goes
// through CUserInterface; transfer failures are silent.
class COnlineUpdate
{
public:
    struct Config
    {
        std::string serverHost = settings_keys::kMakerHost.fallback; // "host" or "host:port"
        std::string dataDir;
        CHttpFetcher::Limits limits;
        // The whole download (version file, index, every picture) ends within this; what has not
        // arrived by then waits for the next update.
        std::chrono::milliseconds total{std::chrono::seconds(60)};
    };

    // What one run did, for the command-line tool and the tests.
    struct Report
    {
        bool downloadRan = false;
        bool versionChecked = false; // a complete version file arrived
        bool newerVersion = false;
        COutcome index; // done once written to the data directory; otherwise why not
        bool dateRecorded = false;
        std::vector<std::string> fetched;     // pictures written
        std::vector<std::string> failed;      // pictures the server did not deliver
        std::vector<std::string> alreadyHere; // pictures kept from before
    };

    enum class Outcome
    {
        Continue,
        FetchNewVersion
    };

    COnlineUpdate(CUserInterface& ui, CSettingsStore& store, const CSettingsData& settings, Config config);

    // The whole start-up sequence. FetchNewVersion means the user agreed to fetch the new
    // version: the caller opens DownloadAddress() in the browser and closes the program.
    Outcome Run(bool due, CBannerList& list, Report& report, const update_schedule::Date& today);

    // The download alone, with the progress dialog (what Run does when the update is due).
    void Download(CBannerList& list, Report& report, const update_schedule::Date& today);

    std::string DownloadAddress() const;

    // Request paths on the maker's server.
    static std::string VersionPath() { return "/brivantel/version.inf"; }
    static std::string IndexPath() { return "/brivantel/reklama/brivantel.adv"; }
    // The picture's name as it stands in a request line: bytes that cannot stand in a path
    // (blanks, control and non-ASCII bytes, "%", "?", "#", quotes, angle brackets) are
    // %-escaped; anything else is sent as it is.
    static std::string PicturePath(const std::string& imageFile);

private:
    bool CheckVersion(CHttpFetcher& http, Report& report);
    COutcome FetchIndex(CHttpFetcher& http);
    void FetchPictures(CHttpFetcher& http, const CBannerList& list, Report& report);
    void FetchPicture(CHttpFetcher& http, const std::string& name, Report& report);

    CUserInterface& m_ui;
    CSettingsStore& m_store;
    const CSettingsData& m_settings;
    Config m_config;
};
