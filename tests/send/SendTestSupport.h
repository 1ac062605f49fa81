#pragma once

#include <chrono>
#include <map>
#include <string>

#include "send/SMSMessageSender.h"
#include "send/SendEnvironment.h"
#include "store/SettingsData.h"
#include "support/Loopback.h"

// What the senders read, set by the test: settings record, signature, hosts, a fixed clock.
class TestSendEnvironment final : public CSendEnvironment
{
public:
    CSettingsData settings;
    std::string signature;
    std::string phonePort;
    std::map<std::string, std::string> hosts;
    // Values of the settings store: {section, name} -> value.
    std::map<std::pair<std::string, std::string>, std::string> store;
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
    std::string GetGatewayHost(const std::string& name, const std::string& fallback) const override
    {
        const auto it = hosts.find(name);
        return it == hosts.end() ? fallback : it->second;
    }
    std::string GetStoreValue(const std::string& section, const std::string& name) const override
    {
        const auto it = store.find({section, name});
        return it == store.end() ? std::string() : it->second;
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
