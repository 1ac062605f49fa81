#pragma once

#include <ctime>
#include <optional>
#include <string>

class CModemService;
class CSettingsData;

// The gateways whose host ("host" or "host:port") the settings store may name. IdeaHome is shown
// in the sending-methods list only; nothing is sent there.
enum class GatewayHost
{
    Era,
    Idea,
    IdeaHome,
    Plus
};

// The user's own gateway as the settings store holds it, its defaults in place of unset or empty
// values; the sender trims and checks them.
struct OwnGatewaySettings
{
    std::string enabled, name, url, method, body, contentType, headers, success, numbers, caFile;
};

// What the senders read from the running program at the moment of sending: the settings record
// (route and proxy), the user's signature, the values of the settings store, the local time, and
// the hook that keeps the windows drawn while a socket waits. The document provides it.
class CSendEnvironment
{
public:
    virtual ~CSendEnvironment() = default;

    virtual const CSettingsData& GetSendSettings() const = 0;
    virtual std::string GetSendSignature() const = 0;
    virtual std::string GetGatewayHost(GatewayHost gateway) const = 0;
    virtual void SendWaitHook() = 0;
    // The phone's port: "COM" and a digit, or a device path.
    virtual std::string GetPhonePort() const = 0;
    // "auto" (or nothing) or "text".
    virtual std::string GetPhoneEncoding() const { return {}; }
    // "auto" (or nothing), "modemmanager" or "serial".
    virtual std::string GetPhoneBackend() const { return {}; }
    // The system's modem service, when the program can reach one (the desktop program and the
    // command-line tool); none in the Qt-free core.
    virtual CModemService* GetModemService() { return nullptr; }
    // Asks the user for the SIM's PIN (Windows-1250 prompt); nothing when the user gave none. The
    // PIN is never kept.
    virtual std::optional<std::string> AskPin(const std::string& /*prompt*/) { return std::nullopt; }
    // The PIN given was wrong: the user may be asked once more at the next send.
    virtual void PinWasWrong() {}
    // Tells the user which way a message went out ("SMS przez ModemManager (Huawei E3372)").
    virtual void NoteSendRoute(const std::string& /*text*/) {}
    // "Settings"/"DeliveryReports": the phone asks the network for delivery reports.
    virtual bool GetDeliveryReports() const { return false; }
    virtual std::tm LocalTime() const;
    // Read at each use, so a change counts at once.
    virtual OwnGatewaySettings GetOwnGateway() const = 0;
};
