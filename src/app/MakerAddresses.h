#pragma once

#include <string>

// The addresses on the maker's web server; the host is settings_keys::kMakerHost.
namespace maker_addresses {

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
