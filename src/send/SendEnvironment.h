#pragma once

#include <ctime>
#include <string>

class CSettingsData;

// What the senders read from the running program at the moment of sending: the settings record
// (route and proxy), the user's signature, the gateway hosts of the settings store, the local
// time, and the hook that keeps the windows drawn while a socket waits. The document provides it.
class CSendEnvironment
{
public:
    virtual ~CSendEnvironment() = default;

    virtual const CSettingsData& GetSendSettings() const = 0;
    virtual std::string GetSendSignature() const = 0;
    // The "Hosts" value of that name ("host" or "host:port"), or the fallback when it is unset
    // or empty.
    virtual std::string GetGatewayHost(const std::string& valueName, const std::string& fallback) const = 0;
    virtual void SendWaitHook() = 0;
    // The phone's port: "COM" and a digit, or a device path ("Settings"/"Port").
    virtual std::string GetPhonePort() const = 0;
    // "Settings"/"PhoneEncoding": "auto" (or nothing) or "text".
    virtual std::string GetPhoneEncoding() const { return {}; }
    virtual std::tm LocalTime() const;
    // A value of the settings store ("Gateway"/"Url"), read at the moment of sending; empty when
    // it is unset.
    virtual std::string GetStoreValue(const std::string& section, const std::string& name) const
    {
        (void)section;
        (void)name;
        return {};
    }
};
