#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/TempDir.h"

// ModemManager's stand-in: a private dbus-daemon and python3-dbusmock with our template
// (mm/modemmanager.py) on it as the system bus's org.freedesktop.ModemManager1. Both processes
// are started here and stopped by their ids when the object goes.
class FakeModemManager
{
public:
    // parameters: the template's JSON parameters (modems, send, pin); the state file is added.
    explicit FakeModemManager(nlohmann::json parameters);
    ~FakeModemManager();
    FakeModemManager(const FakeModemManager&) = delete;
    FakeModemManager& operator=(const FakeModemManager&) = delete;

    // Empty when both run; otherwise what went wrong, naming the package to install.
    const std::string& Problem() const { return m_problem; }
    // "DBUS_SYSTEM_BUS_ADDRESS=..." for the programs under test.
    std::string BusEnvironment() const { return "DBUS_SYSTEM_BUS_ADDRESS=" + m_address; }
    // The private bus's address, for a connection of the test's own.
    const std::string& Address() const { return m_address; }
    // What the stand-in recorded: {"sent": [{"number", "text"}], "messages": N, "pins": [...]}.
    nlohmann::json State() const;

    // The stand-in's test methods (see modemmanager.py), called with dbus-send. A message
    // arrives and Added is emitted: its object path, empty when the call failed.
    std::string Receive(const nlohmann::json& message);
    // Sets an Sms object's properties ({"State": 3, "Text": "..."}).
    bool Update(const std::string& path, const nlohmann::json& properties);
    // What Messaging.Delete does with received messages from now on.
    bool SetDelete(const std::string& behaviour);
    // Stops the stand-in and starts it again on the same bus with new parameters (a modem
    // plugged in again, the service restarted). False when it did not come back.
    bool Restart(nlohmann::json parameters);

private:
    bool StartBus();
    bool StartService(nlohmann::json parameters);
    // Runs dbus-send with the test interface's method; false when it failed.
    bool CallTest(const std::string& method, const std::vector<std::string>& arguments, std::string* reply);

    TempDir m_dir;
    std::string m_address;
    std::string m_problem;
    pid_t m_bus = -1;
    pid_t m_service = -1;
};
