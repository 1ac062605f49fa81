#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "net/Outcome.h"

class CSerialLink;

// How long the phone may take to answer each command of the dialogue.
struct PhoneTimeouts
{
    std::chrono::milliseconds mode{5000};    // "OK" after the mode command
    std::chrono::milliseconds prompt{10000}; // ">" after the start of the message
    std::chrono::milliseconds answer{60000}; // "OK" after the text: the network's confirmation
    std::chrono::milliseconds byte{1000};    // handing one byte to the port
    std::chrono::milliseconds query{2000};   // the SIM's state, and each question of the phone check
    // The whole wait for the system's modem service to confirm a message (it gives each part up
    // to 300 s itself).
    std::chrono::milliseconds service{330000};
};

// "Settings"/"PhoneEncoding": auto (the program picks text or PDU mode per message) or text
// (always text mode, for phones that know no PDU mode).
enum class PhoneEncoding
{
    Auto,
    Text
};

// What the phone check found, each item in Polish (Windows-1250); empty when the phone did not
// say. When the phone did not answer at all, or the port could not be opened, problem says so.
struct PhoneReport
{
    std::string problem;
    std::string maker;
    std::string model;
    std::string sim;
    std::string registration;
    std::string signal;

    // The items as lines "Producent: ..." and so on, or the problem alone.
    std::string Text() const;
};

// How one send ended. A long message the phone refused part-way also warns that the parts before
// may have arrived: a note for the failure dialog beside the reason, not a reason itself.
struct [[nodiscard]] SendOutcome : COutcome
{
    std::string warning;
    // With delivery reports asked for: the network's reference of each part, in order, as the
    // phone confirmed it ("+CMGS: n"); a report names its message by this number.
    std::vector<int> references{};
};

// Sends one message through a GSM phone or modem on a serial port. A text that phones read the
// same in text mode goes as it always has ("at+cmgf=1", "at+cmgs=" with the number, the text
// ended by Ctrl-Z); any other goes in PDU mode, in one or more parts. The SIM's state is asked
// first. The port is opened for the one message and closed on every path.
class CPhoneSender
{
public:
    using WaitHook = std::function<void()>;

    // port: the "Settings"/"Port" value: "COM" and a digit for the system's n-th serial port, or
    // a device path beginning with "/".
    explicit CPhoneSender(std::string port, WaitHook hook = {}, PhoneTimeouts timeouts = {});

    // Done when the phone confirmed the message (every part of it); otherwise why not, in Polish.
    SendOutcome Send(const std::string& number, const std::string& text);

    // Asks the phone who it is, the SIM's state, the network registration and the signal.
    PhoneReport Inspect();

    // True once after the phone said, while a send or a check held its port, that a message or
    // a delivery report arrived ("+CMTI", "+CDSI"); taking it clears it. The port has one owner
    // at a time, so the reading those notices ask for waits until the send has let go of it.
    static bool TakeMessageWaiting();

    void SetTimeouts(const PhoneTimeouts& timeouts) { m_timeouts = timeouts; }
    void SetWaitHook(WaitHook hook) { m_hook = std::move(hook); }
    void SetEncoding(PhoneEncoding encoding) { m_encoding = encoding; }
    // The system's modem service lists the port as one of its modems': a busy port is its.
    void SetHeldByService(bool held) { m_heldByService = held; }
    // Asked for the SIM's PIN when the phone waits for it (the prompt is Windows-1250); nothing
    // when the user gives none. Without a source such a phone fails the message with the reason.
    using PinSource = std::function<std::optional<std::string>(const std::string& prompt)>;
    void SetPinSource(PinSource source) { m_askPin = std::move(source); }
    // The PIN given for the last message was wrong.
    bool PinRefused() const { return m_pinRefused; }
    // The last message went out in text mode with its Polish letters made plain, as a phone that
    // refused PDU mode can carry it.
    bool SentWithoutPolishLetters() const { return m_withoutPolishLetters; }
    // Asks the network for a status report of every part. Off, the dialogue is the usual one.
    void SetDeliveryReports(bool on) { m_reports = on; }

    // "text" is Text; anything else (the default, "auto", nothing) is Auto.
    static PhoneEncoding EncodingFor(const std::string& setting);
    // How many SMS the text takes on the phone route.
    static int SmsCount(const std::string& text, PhoneEncoding encoding);

    // The device a port setting names; empty when it names none. Only the fourth character of a
    // "COM" name counts: "COM2" is port 2, "COM12" port 1, "COMx" port 0 (none), "" none.
    static std::string DeviceFor(const std::string& port);
    // The number as the phone dials it: blanks and dashes dropped, then an optional "+" and at
    // least one digit; empty when it is anything else (which would reach the phone as commands).
    static std::string DialableNumber(const std::string& number);

    enum class Reply
    {
        Pending,
        Expected,
        Error
    };
    // What the phone has said so far after we wrote `written`. Its echo of those bytes (when it
    // echoes) is skipped: after a text, everything up to the echoed Ctrl-Z. What follows counts
    // as whole lines; the prompt ">" counts at the start of a line. The lines other than the
    // verdict go to `lines`.
    static Reply Judge(const std::string& reply, const std::string& written, const std::string& expected,
                       std::vector<std::string>* lines = nullptr);

private:
    struct Answer
    {
        Reply verdict = Reply::Pending;
        std::vector<std::string> lines;
        bool heard = false; // the phone sent anything at all
        bool gone = false;  // the device hung up: nothing more will come
    };
    Answer Exchange(CSerialLink& link, const std::string& bytes, const std::string& expected,
                    std::chrono::milliseconds timeout);
    // Appends what the port has received to reply; false when nothing had arrived.
    static bool TakeInput(CSerialLink& link, std::string& reply);

    bool SimReady(CSerialLink& link);
    bool Unlock(CSerialLink& link);
    bool SendText(CSerialLink& link, const std::string& number, const std::string& text);
    bool SendPdus(CSerialLink& link, const std::string& number, const std::string& text, bool ucs2);
    bool SendWithoutPolishLetters(CSerialLink& link, const std::string& number, const std::string& text);
    void Refused(const Answer& answer, const char* silence);
    std::string OpenProblem(const CSerialLink& link, const std::string& device) const;

    std::string m_port;
    WaitHook m_hook;
    PhoneTimeouts m_timeouts;
    PhoneEncoding m_encoding = PhoneEncoding::Auto;
    bool m_heldByService = false;
    bool m_pduRefused = false;
    bool m_pinRefused = false;
    PinSource m_askPin;
    bool m_withoutPolishLetters = false;
    std::string m_reason;
    std::string m_warning;
    bool m_reports = false;
    std::vector<int> m_references;
};
