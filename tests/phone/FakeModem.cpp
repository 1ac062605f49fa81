#include "phone/FakeModem.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

FakeModem::FakeModem()
{
    char name[256] = {};
    if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        m_master = m_slave = -1;
        return;
    }
    // Raw from the start: a terminal that echoed would send our answers straight back to us.
    termios t{};
    ::tcgetattr(m_slave, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(m_slave, TCSANOW, &t);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_path = name;
}

FakeModem::~FakeModem()
{
    Stop();
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
}

void FakeModem::Run(std::vector<Step> script)
{
    m_thread = std::thread([this, s = std::move(script)]() mutable { Loop(std::move(s)); });
}

void FakeModem::Stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    if (m_thread.joinable())
        m_thread.join();
}

bool FakeModem::Receive(std::chrono::milliseconds wait)
{
    pollfd p{m_master, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(wait.count())) <= 0)
        return false;
    unsigned char buffer[512];
    const ssize_t n = ::read(m_master, buffer, sizeof buffer);
    if (n <= 0)
        return false;
    std::lock_guard lock(m_mutex);
    m_received.insert(m_received.end(), buffer, buffer + n);
    return true;
}

void FakeModem::Loop(std::vector<Step> script)
{
    std::size_t checked = 0;
    for (const Step& step : script) {
        for (;;) {
            {
                std::lock_guard lock(m_mutex);
                if (m_stop)
                    return;
                if (m_received.size() >= checked + step.expect.size())
                    break;
            }
            Receive(std::chrono::milliseconds(20));
        }
        {
            std::lock_guard lock(m_mutex);
            const std::string got(m_received.begin() + static_cast<std::ptrdiff_t>(checked),
                                  m_received.begin() +
                                      static_cast<std::ptrdiff_t>(checked + step.expect.size()));
            if (got != step.expect) {
                m_mismatch = "expected " + Printable({step.expect.begin(), step.expect.end()}) + ", got " +
                             Printable({got.begin(), got.end()});
                return;
            }
        }
        checked += step.expect.size();
        for (const Piece& piece : step.answer) {
            std::this_thread::sleep_for(piece.delay);
            if (!piece.bytes.empty() && ::write(m_master, piece.bytes.data(), piece.bytes.size()) < 0)
                return;
        }
    }
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (m_stop)
                return;
        }
        Receive(std::chrono::milliseconds(20));
    }
}

std::vector<std::uint8_t> FakeModem::Transcript(std::size_t expectedLength)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (m_received.size() >= expectedLength || !m_mismatch.empty())
                break;
        }
        if (std::chrono::steady_clock::now() >= end)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // Bytes the program should not have written would arrive right behind the expected ones.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    Stop();
    while (Receive(std::chrono::milliseconds(0))) {
    }
    std::lock_guard lock(m_mutex);
    return m_received;
}

bool FakeModem::ScriptMatched()
{
    std::lock_guard lock(m_mutex);
    return m_mismatch.empty();
}

std::string FakeModem::Mismatch()
{
    std::lock_guard lock(m_mutex);
    return m_mismatch;
}

std::string Printable(const std::vector<std::uint8_t>& bytes)
{
    std::string out = "\"";
    for (const std::uint8_t b : bytes) {
        if (b >= 0x20 && b < 0x7F && b != '\\' && b != '"') {
            out += static_cast<char>(b);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", b);
            out += buf;
        }
    }
    return out + "\"";
}

void FakeModem::Behave(Phone phone)
{
    m_thread = std::thread([this, p = std::move(phone)]() mutable { Act(std::move(p)); });
}

std::vector<FakeModem::Sms> FakeModem::Messages()
{
    std::lock_guard lock(m_mutex);
    return m_messages;
}

std::vector<std::string> FakeModem::Pins()
{
    std::lock_guard lock(m_mutex);
    return m_pins;
}

void FakeModem::Answer(Phone& phone, const std::string& bytes)
{
    if (phone.silent)
        return;
    std::string out;
    if (!phone.unsolicited.empty()) {
        out = "\r\n" + phone.unsolicited.front() + "\r\n";
        phone.unsolicited.erase(phone.unsolicited.begin());
    }
    out += bytes;
    if (::write(m_master, out.data(), out.size()) < 0)
        return;
}

std::string FakeModem::Command(Phone& phone, const std::string& command)
{
    auto ok = [](const std::string& line) { return "\r\n" + line + "\r\n\r\nOK\r\n"; };
    if (command == "at+cpin?")
        return phone.cpinError.empty() ? ok(phone.cpin) : "\r\n" + phone.cpinError + "\r\n";
    if (command.rfind("at+cpin=\"", 0) == 0 && command.size() > 9 && command.back() == '"') {
        const std::string given = command.substr(9, command.size() - 10);
        {
            std::lock_guard lock(m_mutex);
            m_pins.push_back(given);
        }
        if (given != phone.pin) {
            --phone.pinTries;
            return "\r\n+CME ERROR: 16\r\n";
        }
        phone.cpin = "+CPIN: READY";
        return "\r\nOK\r\n";
    }
    if (command == "at+cpinr=\"SIM PIN\"")
        return ok("+CPINR: SIM PIN," + std::to_string(phone.pinTries) + ",3");
    if (command == "at+cmgf=0" && phone.refusePdu)
        return "\r\nERROR\r\n";
    if (command == "at+cmgf=0" || command == "at+cmgf=1") {
        m_pduMode = command.back() == '0';
        return "\r\nOK\r\n";
    }
    if (command.rfind("at+cmgs=", 0) == 0) {
        if (++m_starts == phone.noPrompt)
            return {};
        m_current = Sms{};
        m_current.pdu = m_pduMode;
        const std::string arg = command.substr(8);
        if (m_pduMode) {
            m_current.announced = std::atoi(arg.c_str());
        } else {
            if (arg.size() < 2 || arg.front() != '"' || arg.back() != '"')
                return "\r\nERROR\r\n";
            m_current.number = arg.substr(1, arg.size() - 2);
        }
        m_input = true;
        return "\r\n> ";
    }
    if (command.rfind("at+csmp=", 0) == 0) {
        std::lock_guard lock(m_mutex);
        m_parameters.push_back(command.substr(8));
        return "\r\nOK\r\n";
    }
    if (command == "at+cgmi")
        return ok(phone.maker);
    if (command == "at+cgmm")
        return ok(phone.model);
    if (command == "at+creg?")
        return ok(phone.creg);
    if (command == "at+csq")
        return ok(phone.csq);
    return "\r\nERROR\r\n";
}

std::string FakeModem::Take(Phone& phone)
{
    Sms sms = m_current;
    if (!sms.pdu) {
        std::lock_guard lock(m_mutex);
        sms.parameters = m_parameters.empty() ? std::string() : m_parameters.back();
    }
    int count = 0;
    {
        std::lock_guard lock(m_mutex);
        count = static_cast<int>(m_messages.size()) + 1;
    }
    std::string answer = "\r\n+CMGS: " + std::to_string(count) + "\r\n\r\nOK\r\n";
    if (sms.pdu) {
        sms.decoded = DecodeSubmit(sms.body);
        // A PDU the phone cannot read, or whose announced length is wrong, is refused as a real
        // phone refuses it.
        if (!sms.decoded.ok || sms.decoded.tpduLength != sms.announced) {
            sms.refused = true;
            answer = "\r\n+CMS ERROR: 304\r\n";
        }
    }
    if (count == phone.refuse) {
        sms.refused = true;
        answer = "\r\n+CMS ERROR: 500\r\n";
    }
    std::lock_guard lock(m_mutex);
    m_messages.push_back(std::move(sms));
    return answer;
}

void FakeModem::Act(Phone phone)
{
    std::size_t done = 0;
    for (;;) {
        std::string fresh;
        {
            std::lock_guard lock(m_mutex);
            if (m_stop)
                return;
            fresh.assign(m_received.begin() + static_cast<std::ptrdiff_t>(done), m_received.end());
            done = m_received.size();
        }
        for (const char c : fresh) {
            if (phone.echo && !phone.silent && ::write(m_master, &c, 1) < 0)
                return;
            if (m_input) {
                if (c == '\x1a') {
                    m_input = false;
                    const std::string answer = Take(phone);
                    if (static_cast<int>(Messages().size()) == phone.hangUp) {
                        // Unplugged: the program's side of the terminal hangs up.
                        std::lock_guard lock(m_mutex);
                        ::close(m_master);
                        m_master = -1;
                        return;
                    }
                    Answer(phone, answer);
                } else if (c == '\x1b') {
                    m_input = false; // cancelled: nothing is sent
                } else {
                    m_current.body += c;
                }
            } else if (c == '\r') {
                const std::string command = m_line;
                m_line.clear();
                if (!command.empty())
                    Answer(phone, Command(phone, command));
            } else if (c != '\n' && c != '\x1b' && c != '\x1a') {
                m_line += c;
            }
        }
        Receive(std::chrono::milliseconds(20));
    }
}
