#include "store/SettingsData.h"

#include <cctype>

#include "store/Archive.h"

namespace {
constexpr const char* kCurrentFormatMarker = "3";
}

long CSettingsData::MarkerNumber(const std::string& marker)
{
    std::size_t i = 0;
    while (i < marker.size() && std::isspace(static_cast<unsigned char>(marker[i])))
        ++i;
    bool negative = false;
    if (i < marker.size() && (marker[i] == '+' || marker[i] == '-'))
        negative = marker[i++] == '-';
    long value = 0;
    for (; i < marker.size() && std::isdigit(static_cast<unsigned char>(marker[i])); ++i) {
        if (value < 1000000)
            value = value * 10 + (marker[i] - '0');
    }
    return negative ? -value : value;
}

void CSettingsData::Serialize(CArchive& ar)
{
    ar.Transfer(m_route);
    ar.Transfer(m_emailAddress);
    ar.Transfer(m_smtpServer);
    ar.Transfer(m_smsGateway);
    if (ar.IsStoring())
        m_formatMarker = kCurrentFormatMarker;
    ar.Transfer(m_formatMarker);
    ar.Transfer(m_reservedNumber);
    for (std::string& reserved : m_reservedStrings)
        ar.Transfer(reserved);
    ar.Transfer(m_moveDeleted);
    ar.Transfer(m_emptyDeleted);
    if (ar.IsLoading() && MarkerNumber(m_formatMarker) <= 1)
        return; // an older file: the proxy fields keep their defaults
    ar.Transfer(m_useProxy);
    ar.Transfer(m_proxyHost);
    ar.Transfer(m_proxyPort);
}
