#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CMessageDb;
class CSerialLink;
struct IncomingMessage;

// How long the phone may take over each step of the reading.
struct ReceiveTimeouts
{
    std::chrono::milliseconds command{5000};  // a plain command's final answer
    std::chrono::milliseconds listing{30000}; // the whole list of stored messages
    std::chrono::milliseconds byte{1000};     // handing one byte to the port
};

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

// Reads the messages a GSM phone or modem holds, over a serial port in PDU mode, into the
// message database: "AT+CPMS" chooses the phone's memory or else the SIM, "AT+CNMI" asks for
// "+CMTI" notices while the port is ours, "AT+CMGL=4" lists everything. Each message is deleted
// from the phone ("AT+CMGD") only after the database committed it, so a reading cut short at
// any point loses nothing and the next one stores nothing twice.
class CSmsReceiver
{
public:
    using WaitHook = std::function<void()>;

    CSmsReceiver(std::string device, CMessageDb& db, WaitHook hook = {}, ReceiveTimeouts timeouts = {});

    // Opens the port, reads, stores, deletes, closes. now: the receiving time stamped on new
    // messages (seconds since 1970).
    ReceiveReport Receive(std::int64_t now);

    // Called after each commit, before anything is deleted from the phone.
    void SetAfterCommit(std::function<void()> observer) { m_afterCommit = std::move(observer); }
    void SetTimeouts(const ReceiveTimeouts& timeouts) { m_timeouts = timeouts; }
    // Asks the phone to store delivery reports and announce them ("+CDSI") while the port is
    // ours. Reports found on the phone are taken either way: they are of no use left there.
    void SetStatusReports(bool on) { m_statusReports = on; }

    struct Answer
    {
        enum class End
        {
            None, // nothing final arrived in time
            Ok,
            Error
        } end = End::None;
        std::vector<std::string> lines; // the lines before the final one, notices taken out
        std::string error;              // the final line when it was an error
        bool heard = false;
    };

    // One stored message as "+CMGL" or "+CMGR" gives it.
    struct Listed
    {
        int index = 0;
        std::string pdu;
        bool hex = false;   // its PDU line is hexadecimal, as a PDU must be
        bool whole = false; // and holds as many octets as announced
    };
    // The entries of a listing's lines; an entry without its PDU line is left out.
    static std::vector<Listed> ParseListing(const std::vector<std::string>& lines, int defaultIndex = -1);

private:
    Answer Exchange(CSerialLink& link, const std::string& command, std::chrono::milliseconds timeout);
    void TakeLine(const std::string& line, const std::string& command, bool& echoSkipped, Answer& answer);
    bool ChooseStorage(CSerialLink& link, ReceiveReport& report);
    // Stores the entries and deletes what was stored; false when the database refused or the
    // phone went away. complete: the phone's answer ended as it should.
    bool StoreAndDelete(CSerialLink& link, const std::vector<Listed>& entries, bool complete,
                        std::int64_t now, ReceiveReport& report);
    IncomingMessage Incoming(const Listed& entry, std::int64_t now) const;

    std::string m_device;
    CMessageDb& m_db;
    WaitHook m_hook;
    ReceiveTimeouts m_timeouts;
    std::function<void()> m_afterCommit;
    std::string m_modemId;
    std::string m_input;        // received and not yet taken as lines
    std::vector<int> m_notices; // slots "+CMTI" named during this reading
    bool m_fullSeen = false;    // "+CMS ERROR: 322" came during this reading
    bool m_fullReported = false;
    bool m_statusReports = false;
};
