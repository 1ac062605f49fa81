#pragma once

#include <string>
#include <sys/types.h>

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
    // What the stand-in recorded: {"sent": [{"number", "text"}], "messages": N, "pins": [...]}.
    nlohmann::json State() const;

private:
    bool StartBus();
    bool StartService(nlohmann::json parameters);

    TempDir m_dir;
    std::string m_address;
    std::string m_problem;
    pid_t m_bus = -1;
    pid_t m_service = -1;
};
