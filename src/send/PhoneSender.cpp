#include "send/PhoneSender.h"

#include <algorithm>

#include "send/SerialLink.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kBaud = 9600;
constexpr int kReadCapacity = 255;
// Enough for any answer; a phone that keeps talking without ever answering is cut to its tail.
constexpr std::size_t kReplyLimit = 4096;
constexpr std::size_t kReplyKeep = 1024;

constexpr char kCtrlZ = '\x1a';
constexpr char kEscape = '\x1b';

bool IsLineBreak(char c)
{
    return c == '\r' || c == '\n';
}

bool StartsWith(const std::string& s, const char* prefix)
{
    return s.rfind(prefix, 0) == 0;
}

bool IsErrorLine(const std::string& line)
{
    return line == "ERROR" || StartsWith(line, "+CMS ERROR:") || StartsWith(line, "+CME ERROR:");
}

} // namespace

CPhoneSender::CPhoneSender(std::string port, WaitHook hook, PhoneTimeouts timeouts)
    : m_port(std::move(port)), m_hook(std::move(hook)), m_timeouts(timeouts)
{
}

std::string CPhoneSender::DeviceFor(const std::string& port)
{
    if (!port.empty() && port[0] == '/')
        return port;
    if (port.size() < 4)
        return {};
    const char digit = port[3];
    if (digit < '0' || digit > '9')
        return {}; // port 0: there is none
    return CSerialLink::PortDevice(digit - '0');
}

bool CPhoneSender::IsDialableNumber(const std::string& number)
{
    return number.size() >= 2 && number[0] == '+' &&
           std::all_of(number.begin() + 1, number.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string CPhoneSender::SendableText(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c != kCtrlZ && c != kEscape)
            out += c;
    }
    return out;
}

CPhoneSender::Reply CPhoneSender::Judge(const std::string& reply, const std::string& expected)
{
    const bool prompt = expected == ">";
    const std::size_t promptAt = prompt ? reply.find('>') : std::string::npos;
    for (std::size_t i = 0; i < reply.size(); ++i) {
        if (i == promptAt)
            return Reply::Expected;
        if (!IsLineBreak(reply[i]) || i + 1 >= reply.size() || IsLineBreak(reply[i + 1]))
            continue;
        // A line begins at i + 1; it counts once its own line break has arrived.
        const std::size_t end = reply.find_first_of("\r\n", i + 1);
        if (end == std::string::npos)
            break;
        const std::string line = reply.substr(i + 1, end - i - 1);
        if (!prompt && line == expected)
            return Reply::Expected;
        if (IsErrorLine(line))
            return Reply::Error;
    }
    return promptAt != std::string::npos ? Reply::Expected : Reply::Pending;
}

CPhoneSender::Reply CPhoneSender::AwaitReply(CSerialLink& link, const std::string& expected,
                                             std::chrono::milliseconds timeout)
{
    const auto end = Clock::now() + timeout;
    std::string reply;
    for (;;) {
        const bool arrived = TakeInput(link, reply);
        if (arrived) {
            const Reply verdict = Judge(reply, expected);
            if (verdict != Reply::Pending)
                return verdict;
        }
        const auto now = Clock::now();
        if (now >= end)
            return Reply::Pending;
        if (arrived)
            continue;
        // False when the time is up or the device has gone away (a hung-up line wakes us at
        // once, so waiting on it again would only spin): one last look, then give up.
        if (!link.WaitReadable(std::chrono::duration_cast<std::chrono::milliseconds>(end - now)))
            return TakeInput(link, reply) ? Judge(reply, expected) : Reply::Pending;
    }
}

bool CPhoneSender::TakeInput(CSerialLink& link, std::string& reply)
{
    char buffer[kReadCapacity];
    const int n = link.Read(buffer, kReadCapacity);
    if (n <= 0)
        return false;
    reply.append(buffer, static_cast<std::size_t>(n));
    if (reply.size() > kReplyLimit)
        reply.erase(0, reply.size() - kReplyKeep);
    return true;
}

bool CPhoneSender::Command(CSerialLink& link, const std::string& bytes, const std::string& expected,
                           std::chrono::milliseconds timeout)
{
    link.Write(bytes.data(), static_cast<int>(bytes.size()));
    return AwaitReply(link, expected, timeout) == Reply::Expected;
}

bool CPhoneSender::Send(const std::string& number, const std::string& text)
{
    if (!IsDialableNumber(number))
        return false;
    const std::string device = DeviceFor(m_port);
    if (device.empty())
        return false;
    CSerialLink link(m_hook);
    link.SetByteTimeout(m_timeouts.byte);
    if (!link.OpenDevice(device, kBaud))
        return false;
    bool sent = false;
    if (Command(link, "at+cmgf=1\r", "OK", m_timeouts.mode)) {
        if (Command(link, "at+cmgs=\"" + number + "\"\r", ">", m_timeouts.prompt)) {
            std::string message = SendableText(text);
            message += kCtrlZ;
            message += kEscape;
            message += '\r';
            sent = Command(link, message, "OK", m_timeouts.answer);
        } else {
            // A prompt that comes after we gave up would leave the phone taking our next
            // commands as message text; Escape ends its text input without sending.
            const char escape = kEscape;
            link.Write(&escape, 1);
        }
    }
    link.Close();
    return sent;
}
