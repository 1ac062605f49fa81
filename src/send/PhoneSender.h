#pragma once

#include <chrono>
#include <functional>
#include <string>

class CSerialLink;

// How long the phone may take to answer each command of the dialogue.
struct PhoneTimeouts
{
    std::chrono::milliseconds mode{5000};    // "OK" after the text-mode command
    std::chrono::milliseconds prompt{10000}; // ">" after the start of the message
    std::chrono::milliseconds answer{60000}; // "OK" after the text: the network's confirmation
    std::chrono::milliseconds byte{1000};    // handing one byte to the port
};

// Sends one message through a GSM phone or modem on a serial port, in text mode: "at+cmgf=1",
// then "at+cmgs=" with the number, then the text ended by Ctrl-Z. The port is opened for the one
// message and closed on every path.
class CPhoneSender
{
public:
    using WaitHook = std::function<void()>;

    // port: the "Settings"/"Port" value: "COM" and a digit for the system's n-th serial port, or
    // a device path beginning with "/".
    explicit CPhoneSender(std::string port, WaitHook hook = {}, PhoneTimeouts timeouts = {});

    // True when the phone confirmed the message.
    bool Send(const std::string& number, const std::string& text);

    void SetTimeouts(const PhoneTimeouts& timeouts) { m_timeouts = timeouts; }
    void SetWaitHook(WaitHook hook) { m_hook = std::move(hook); }

    // The device a port setting names; empty when it names none. Only the fourth character of a
    // "COM" name counts: "COM2" is port 2, "COM12" port 1, "COMx" port 0 (none), "" none.
    static std::string DeviceFor(const std::string& port);
    // "+" and at least one digit, nothing else: anything more would reach the phone as commands.
    static bool IsDialableNumber(const std::string& number);
    // The text without the bytes that would end (0x1A) or cancel (0x1B) the message early.
    static std::string SendableText(const std::string& text);

    enum class Reply
    {
        Pending,
        Expected,
        Error
    };
    // What the phone has said so far after a command. Result codes count only as whole lines
    // that follow a line break, as phones send them ("\r\nOK\r\n"), so the echo of a text that
    // itself says "OK" or "ERROR" is not taken for the phone's verdict. The prompt is found
    // anywhere.
    static Reply Judge(const std::string& reply, const std::string& expected);

private:
    bool Command(CSerialLink& link, const std::string& bytes, const std::string& expected,
                 std::chrono::milliseconds timeout);
    Reply AwaitReply(CSerialLink& link, const std::string& expected, std::chrono::milliseconds timeout);
    // Appends what the port has received to reply; false when nothing had arrived.
    static bool TakeInput(CSerialLink& link, std::string& reply);

    std::string m_port;
    WaitHook m_hook;
    PhoneTimeouts m_timeouts;
};
