#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/SettingsKeys.h"
#include "send/SMSMessageSender.h"
#include "send/SendEnvironment.h"
#include "store/AddressBook.h"
#include "store/MessageList.h"
#include "store/SettingsData.h"
#include "support/Loopback.h"

// What the senders read, set by the test: settings record, signature, hosts, a fixed clock.
class TestSendEnvironment final : public CSendEnvironment
{
public:
    CSettingsData settings;
    std::string signature;
    std::string phonePort;
    // The gateway hosts and the own gateway, read as the program reads them.
    CMemorySettingsStore store;
    std::tm now{};
    int waits = 0;

    TestSendEnvironment()
    {
        now.tm_year = 124; // 2024-03-05 14:58
        now.tm_mon = 2;
        now.tm_mday = 5;
        now.tm_hour = 14;
        now.tm_min = 58;
    }
    void UseProxy(const std::string& host, int port)
    {
        settings.SetUseProxy(true);
        settings.SetProxyHost(host);
        settings.SetProxyPort(port);
    }

    const CSettingsData& GetSendSettings() const override { return settings; }
    std::string GetSendSignature() const override { return signature; }
    std::string GetPhonePort() const override { return phonePort; }
    std::string GetGatewayHost(GatewayHost gateway) const override
    {
        return settings_keys::GatewayHostOf(store, gateway);
    }
    OwnGatewaySettings GetOwnGateway() const override { return settings_keys::OwnGatewayOf(store); }
    void SetHosts(const std::string& era, const std::string& idea, const std::string& plus)
    {
        store.Set(settings_keys::kEraHost, era);
        store.Set(settings_keys::kIdeaHost, idea);
        store.Set(settings_keys::kPlusHost, plus);
    }
    void SendWaitHook() override { ++waits; }
    std::tm LocalTime() const override { return now; }
};

// Short waits: the peers here answer at once or never.
inline GatewayTimeouts ShortTimeouts()
{
    using namespace std::chrono_literals;
    GatewayTimeouts t;
    t.socket.connect = 2000ms;
    t.socket.read = 400ms;
    t.socket.write = 2000ms;
    t.exchange = 5000ms;
    return t;
}

// An address-book entry known by its display name, with a number in +48.
inline bool AddPerson(CAddressBook& book, const std::string& name, const std::string& op,
                      const std::string& number)
{
    auto entry = std::make_unique<CAddress>();
    entry->SetDisplayName(name);
    entry->SetCountryPrefix("+48");
    entry->SetOperatorCode(op);
    entry->SetSubscriberNumber(number);
    return book.AddAddress(entry);
}

// The recipients of a folder's messages, in the folder's order.
inline std::vector<std::string> Recipients(const CMessageList& list)
{
    std::vector<std::string> r;
    for (const auto& m : list.GetMessages())
        r.push_back(m->GetRecipients());
    return r;
}
