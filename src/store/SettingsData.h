#pragma once

#include <array>
#include <cstdint>
#include <string>

class CArchive;

enum Route : std::int32_t { ROUTE_CONFIGURED = -1, ROUTE_INTERNET = 0, ROUTE_PHONE = 1 };

// The choices kept inside the data file. The record grows by its format marker: the proxy fields
// follow only when the marker's number is above 1, and every save writes "3".
class CSettingsData
{
public:
    std::int32_t GetRoute() const { return m_route; }
    void SetRoute(std::int32_t route) { m_route = route; }

    const std::string& GetEmailAddress() const { return m_emailAddress; }
    const std::string& GetSmtpServer() const { return m_smtpServer; }
    const std::string& GetSmsGateway() const { return m_smsGateway; }
    const std::string& GetFormatMarker() const { return m_formatMarker; }
    std::int32_t GetReservedNumber() const { return m_reservedNumber; }
    const std::array<std::string, 4>& GetReservedStrings() const { return m_reservedStrings; }

    // Stored as 32-bit values; anything but 0 counts as on, and the stored value is kept as read.
    bool GetMoveDeletedMessages() const { return m_moveDeleted != 0; }
    void SetMoveDeletedMessages(bool on) { m_moveDeleted = on ? 1 : 0; }
    std::int32_t GetMoveDeletedMessagesValue() const { return m_moveDeleted; }
    bool GetEmptyDeletedFolder() const { return m_emptyDeleted != 0; }
    void SetEmptyDeletedFolder(bool on) { m_emptyDeleted = on ? 1 : 0; }
    std::int32_t GetEmptyDeletedFolderValue() const { return m_emptyDeleted; }
    bool GetUseProxy() const { return m_useProxy != 0; }
    void SetUseProxy(bool on) { m_useProxy = on ? 1 : 0; }
    std::int32_t GetUseProxyValue() const { return m_useProxy; }

    const std::string& GetProxyHost() const { return m_proxyHost; }
    void SetProxyHost(std::string host) { m_proxyHost = std::move(host); }
    std::int32_t GetProxyPort() const { return m_proxyPort; }
    void SetProxyPort(std::int32_t port) { m_proxyPort = port; }

    void Serialize(CArchive& ar);

    // The marker's leading decimal number as a C runtime reads it: blanks skipped, optional sign,
    // digits up to the first other character, 0 without digits.
    static long MarkerNumber(const std::string& marker);

private:
    std::int32_t m_route = ROUTE_INTERNET;
    std::string m_emailAddress;
    std::string m_smtpServer;
    std::string m_smsGateway;
    std::string m_formatMarker;
    std::int32_t m_reservedNumber = 0;
    std::array<std::string, 4> m_reservedStrings;
    std::int32_t m_moveDeleted = 1;
    std::int32_t m_emptyDeleted = 0;
    std::int32_t m_useProxy = 0;
    std::string m_proxyHost;
    std::int32_t m_proxyPort = 8080;
};
