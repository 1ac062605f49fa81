#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/Outcome.h"

class CMessageDb;
class CMessageReceiver;

// The SIM's lock as the system's modem service reports it.
enum class SimLock
{
    Unknown,
    None,
    Pin,
    Puk,
    Other
};

// One modem the system's modem service manages. Texts are Windows-1250.
struct ModemInfo
{
    std::string id; // the service's name for it (a D-Bus object path)
    std::string maker;
    std::string model;
    std::string equipmentId;
    std::string primaryPort;
    std::vector<std::string> ports; // device names as the service gives them: "ttyUSB2", "cdc-wdm0"
    SimLock lock = SimLock::Unknown;
    int pinRetries = -1;      // when the service knows
    int signal = -1;          // percent, when known
    std::string registration; // in Polish; empty when not known
    std::string sim;          // the service's name for the SIM, for its PIN

    // "Huawei E3372": what the user knows the modem by.
    std::string Name() const;
    // The SIM's state in Polish: "gotowa", "czeka na kod PIN", ...
    std::string SimText() const;
};

// The system's modem service (ModemManager on today's Linux desktops), which may hold the modem
// the phone route would open. The program never starts or stops it: a service that is not
// running simply has no modems.
class CModemService
{
public:
    using WaitHook = std::function<void()>;

    virtual ~CModemService() = default;

    // True when the service is on the bus now.
    virtual bool IsRunning() = 0;
    // Every modem it manages, in its order; empty when it is not running.
    virtual std::vector<ModemInfo> Modems() = 0;
    // Sends one text (Windows-1250; the service splits and encodes it) and deletes it from the
    // modem's list afterwards. Failed with a short Polish reason. lastReference: the network's
    // reference of the message's last part as the service gives it (-1 when it gives none); the
    // service sends a long text's parts one after another, each taking the next reference.
    virtual COutcome Send(const ModemInfo& modem, const std::string& number, const std::string& text,
                          int* lastReference = nullptr) = 0;
    // Asks the network for a report of each part's delivery with the sends that follow.
    virtual void SetDeliveryReports(bool on) = 0;
    // Reads the modem's received messages and delivery reports into the database.
    virtual std::unique_ptr<CMessageReceiver> Receiver(const ModemInfo& modem, CMessageDb& db) = 0;
    // Unlocks the SIM; a wrong PIN says how many tries are left when the service knows.
    virtual COutcome SendPin(const ModemInfo& modem, const std::string& pin) = 0;

    // Runs between the slices of every wait (repaints, nothing else).
    virtual void SetWaitHook(WaitHook hook) = 0;
    // The longest the whole send of one message may wait for the service.
    virtual void SetSendTimeout(std::chrono::milliseconds timeout) = 0;
};
