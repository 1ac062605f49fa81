#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "phone/MessageReceiver.h"

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

// Reads the messages a GSM phone or modem holds, over a serial port in PDU mode, into the
// message database: "AT+CPMS" chooses the phone's memory or else the SIM, "AT+CNMI" asks for
// "+CMTI" notices while the port is ours, "AT+CMGL=4" lists everything. Each message is deleted
// from the phone ("AT+CMGD") only after the database committed it, so a reading cut short at
// any point loses nothing and the next one stores nothing twice.
class CSmsReceiver final : public CMessageReceiver
{
public:
    CSmsReceiver(std::string device, CMessageDb& db, WaitHook hook = {}, ReceiveTimeouts timeouts = {});

    // Opens the port, reads, stores, deletes, closes. now: the receiving time stamped on new
    // messages (seconds since 1970).
    ReceiveReport Receive(std::int64_t now) override;

    // Called after each commit, before anything is deleted from the phone.
    void SetAfterCommit(std::function<void()> observer) override { m_afterCommit = std::move(observer); }
    void SetTimeouts(const ReceiveTimeouts& timeouts) { m_timeouts = timeouts; }
    // Asks the phone to store delivery reports and announce them ("+CDSI") while the port is
    // ours. Reports found on the phone are taken either way: they are of no use left there.
    void SetStatusReports(bool on) override { m_statusReports = on; }
    std::string Via() const override { return "port " + m_device; }

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
