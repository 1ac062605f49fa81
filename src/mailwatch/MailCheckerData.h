#pragma once

#include <cstdint>
#include <string>

class CArchive;

// The watched mailbox, how often to look and where to send the notice. The last count is not
// stored, so the first check after a start that finds mail always sends a notice.
class CMailCheckerData
{
public:
    static constexpr const char* kNoticeTemplate = "Masz nowa wiadomosc w skrzynce email. Liczba wiadomosci: %d.";

    std::string countryPrefix;
    std::string noticeText = kNoticeTemplate;
    std::string networkPrefix;
    std::string number;
    std::string password;
    std::int32_t interval = 1; // minutes
    std::int32_t notify = 0;
    std::int32_t enabled = 0;
    std::string server;
    std::string user;
    std::int32_t lastCount = 0;

    // Country prefix, network prefix and number joined with nothing between them.
    std::string NoticeNumber() const { return countryPrefix + networkPrefix + number; }

    void Serialize(CArchive& ar);
};
