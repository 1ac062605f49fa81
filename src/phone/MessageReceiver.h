#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CMessageDb;
class CModemService;

// What one reading of the phone did. Texts are Polish, UTF-8.
struct ReceiveReport
{
    bool ok = false;                 // the phone was read and what it held was stored (notes aside)
    std::string problem;             // why not
    std::string storage;             // "ME" (the phone's memory) or "SM" (the SIM)
    int stored = 0;                  // copies new to the database
    int duplicates = 0;              // copies the database already had
    int deleted = 0;                 // slots emptied on the phone
    std::vector<std::int64_t> shown; // messages that became visible: new ones, long ones now whole
    // The storage is full, so the network holds back new messages. Reported once until a
    // reading finds room again.
    bool storageFull = false;
    std::vector<std::string> notes; // a message left on the phone or kept unreadable, and why
    int reports = 0;                // delivery reports taken (matched to a sent message or not)
    int reportsMatched = 0;         // of them, those that named a message we sent
};

// One way of taking the phone's received messages and delivery reports into the message
// database: the serial port read directly, or the system's modem service. Either way a message
// leaves the phone only after the database committed it. Keep one object for as long as the
// phone is watched: it remembers what it already told (a full storage) and hears the service's
// news between readings.
class CMessageReceiver
{
public:
    using WaitHook = std::function<void()>;

    virtual ~CMessageReceiver() = default;

    // Reads, stores, deletes. now: the receiving time stamped on new messages (seconds since
    // 1970).
    virtual ReceiveReport Receive(std::int64_t now) = 0;
    // Delivery reports asked for with the sends: the serial port is told to keep them; reports
    // found are taken either way.
    virtual void SetStatusReports(bool on) = 0;
    // Called after each commit, before anything is deleted from the phone.
    virtual void SetAfterCommit(std::function<void()> observer) = 0;
    // Called from the event loop when the source announces a new message between readings, so
    // the caller may read at once instead of at its next tick. The serial port, closed between
    // readings, announces nothing.
    virtual void SetNewsObserver(std::function<void()> /*observer*/) {}
    // What is read, for the user: "port /dev/ttyUSB0", "ModemManager (Huawei E3372)". UTF-8.
    virtual std::string Via() const = 0;
};

// The receiver for the backend chosen, or why there is none.
struct ReceiverChoice
{
    std::unique_ptr<CMessageReceiver> receiver;
    std::string problem; // Polish, UTF-8, when there is no receiver
    bool noPort = false; // the problem is that no port was chosen
};

namespace phone_receiver {

// Chooses as a send does: the modem service when it manages the port's modem (or the only
// modem, with no port set) unless the backend is "serial"; the port itself otherwise. backend:
// "auto", "modemmanager" or "serial" (Settings/PhoneBackend or --backend); device: the port's
// device path, empty when none is set; service: null where none can be reached.
ReceiverChoice Choose(const std::string& backend, const std::string& device, CModemService* service,
                      CMessageDb& db, CMessageReceiver::WaitHook hook = {});

} // namespace phone_receiver
