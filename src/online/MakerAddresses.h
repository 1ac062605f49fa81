#pragma once

#include <string>

// The maker's web server and the addresses on it. The host is the settings-store value
// "Hosts"/"Update" ("host" or "host:port"); the default is a reserved name that never resolves,
// so a copy that was not told its server sends nothing anywhere.
namespace maker_addresses {

inline constexpr const char* kHostSection = "Hosts";
inline constexpr const char* kHostValue = "Update";
inline constexpr const char* kDefaultHost = "www.brivantel.example";

// The program's home page (help menu, notification-area menu, an empty banner's click).
inline std::string HomePage(const std::string& host)
{
    return "http://" + host + "/";
}
// The page about advertising with Brivantel (the label strip beside the banner).
inline std::string AdvertisingPage(const std::string& host)
{
    return "http://" + host + "/reklama/";
}
// The installer of the newest version.
inline std::string DownloadAddress(const std::string& host)
{
    return "http://" + host + "/download/BrivantelInstaluj.zip";
}

} // namespace maker_addresses
