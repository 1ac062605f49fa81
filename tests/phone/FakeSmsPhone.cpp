#include "phone/FakeSmsPhone.h"

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// The TPDU's length as "+CMGL" announces it: the octets after the service centre's address.
int TpduLength(const std::string& pdu)
{
    const int centre = std::stoi(pdu.substr(0, 2), nullptr, 16);
    return static_cast<int>(pdu.size() / 2) - 1 - centre;
}

std::string Quoted(const std::string& s)
{
    return "\"" + s + "\"";
}

} // namespace

FakeSmsPhone::FakeSmsPhone(Options options) : m_options(std::move(options))
{
    m_storage["SM"].resize(m_options.capacity);
    if (m_options.hasPhoneMemory)
        m_storage["ME"].resize(m_options.capacity);
    char name[256] = {};
    if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        m_master = m_slave = -1;
        return;
    }
    termios t{};
    ::tcgetattr(m_slave, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(m_slave, TCSANOW, &t);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_path = name;
    m_thread = std::thread([this] { Loop(); });
}

FakeSmsPhone::~FakeSmsPhone()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    if (m_thread.joinable())
        m_thread.join();
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
}

void FakeSmsPhone::SetOptions(const Options& options)
{
    std::lock_guard lock(m_mutex);
    m_options.echo = options.echo;
    m_options.refuseDelete = options.refuseDelete;
    m_options.cutListingAfter = options.cutListingAfter;
    m_options.deliverDuringListing = options.deliverDuringListing;
    m_options.silentAfter = options.silentAfter;
    m_options.lineInListing = options.lineInListing;
    m_commands.clear();
}

void FakeSmsPhone::ReleaseExclusive()
{
    ::ioctl(m_slave, TIOCNXCL);
}

void FakeSmsPhone::Put(const std::string& storage, const std::string& pdu, int slot)
{
    std::lock_guard lock(m_mutex);
    auto& slots = m_storage[storage];
    if (slot > 0) {
        slots.at(static_cast<std::size_t>(slot - 1)) = pdu;
        return;
    }
    for (auto& s : slots) {
        if (s.empty()) {
            s = pdu;
            return;
        }
    }
}

void FakeSmsPhone::Deliver(const std::string& pdu)
{
    std::lock_guard lock(m_mutex);
    DeliverLocked(pdu);
}

void FakeSmsPhone::DeliverLocked(const std::string& pdu)
{
    auto& slots = m_storage[m_receive];
    for (std::size_t i = 0; i < slots.size(); ++i) {
        if (slots[i].empty()) {
            slots[i] = pdu;
            if (m_notices)
                Write("\r\n+CMTI: " + Quoted(m_receive) + "," + std::to_string(i + 1) + "\r\n");
            return;
        }
    }
    m_network.push_back(pdu);
}

int FakeSmsPhone::Used(const std::string& storage)
{
    std::lock_guard lock(m_mutex);
    int used = 0;
    for (const auto& s : m_storage[storage])
        used += s.empty() ? 0 : 1;
    return used;
}

std::vector<std::string> FakeSmsPhone::Commands()
{
    std::lock_guard lock(m_mutex);
    return m_commands;
}

void FakeSmsPhone::Write(const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else {
            pollfd p{m_master, POLLOUT, 0};
            if (::poll(&p, 1, 1000) <= 0)
                return;
        }
    }
}

void FakeSmsPhone::Loop()
{
    std::string line;
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (m_stop)
                return;
        }
        pollfd p{m_master, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0)
            continue;
        char buffer[512];
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0)
            continue;
        std::lock_guard lock(m_mutex);
        // The echo goes back as the bytes came, up to each command's end.
        std::string echo;
        for (ssize_t i = 0; i < n; ++i) {
            const char c = buffer[i];
            const bool silent =
                m_options.silentAfter >= 0 && static_cast<int>(m_commands.size()) >= m_options.silentAfter;
            if (m_options.echo && !silent)
                echo += c;
            if (c == '\r') {
                Write(echo);
                echo.clear();
                if (!line.empty()) {
                    m_commands.push_back(line);
                    if (!silent)
                        Write(Command(line));
                }
                line.clear();
            } else if (c != '\n') {
                line += c;
            }
        }
        Write(echo);
    }
}

std::string FakeSmsPhone::Command(const std::string& command)
{
    const std::string ok = "\r\nOK\r\n";
    const std::string error = "\r\nERROR\r\n";
    auto arg = [&](const char* prefix) -> std::string {
        return command.rfind(prefix, 0) == 0 ? command.substr(std::string(prefix).size())
                                             : std::string("\x01");
    };
    if (command == "AT+CMGF=0" || command == "AT+CMGF=1") {
        m_pdu = command.back() == '0';
        return ok;
    }
    if (command == "AT+CGSN")
        return "\r\n356938035643809\r\n" + ok;
    if (const std::string a = arg("AT+CPMS="); a != "\x01") {
        std::vector<std::string> names;
        std::size_t start = 0;
        for (;;) {
            const auto comma = a.find(',', start);
            std::string name =
                a.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
            if (name.size() >= 2 && name.front() == '"')
                name = name.substr(1, name.size() - 2);
            names.push_back(name);
            if (comma == std::string::npos)
                break;
            start = comma + 1;
        }
        for (const auto& name : names)
            if (!m_storage.count(name) || m_storage[name].empty())
                return "\r\n+CMS ERROR: 302\r\n";
        m_read = names.front();
        m_receive = names.back();
        std::string counts;
        for (const auto& name : names) {
            int used = 0;
            for (const auto& s : m_storage[name])
                used += s.empty() ? 0 : 1;
            counts += (counts.empty() ? "" : ",") + std::to_string(used) + "," +
                      std::to_string(m_storage[name].size());
        }
        return "\r\n+CPMS: " + counts + "\r\n" + ok;
    }
    if (command == "AT+CNMI=2,1,0,0,0" || command == "AT+CNMI=2,1,0,2,0") {
        if (!m_options.cnmiAnswer.empty())
            return "\r\n" + m_options.cnmiAnswer + "\r\n";
        m_notices = true;
        return ok;
    }
    if (command == "AT+CMGL=4") {
        if (!m_pdu)
            return error;
        const auto& slots = m_storage[m_read];
        std::string out;
        int listed = 0;
        for (std::size_t i = 0; i < slots.size(); ++i) {
            if (slots[i].empty())
                continue;
            const std::string head = "\r\n+CMGL: " + std::to_string(i + 1) + ",1,," +
                                     std::to_string(TpduLength(slots[i])) + "\r\n";
            if (listed == m_options.cutListingAfter)
                return out + head + slots[i].substr(0, slots[i].size() / 2);
            out += head;
            if (listed == 0 && !m_options.lineInListing.empty())
                out += m_options.lineInListing + "\r\n";
            out += slots[i];
            if (++listed == 1 && !m_options.deliverDuringListing.empty()) {
                Write(out);
                out.clear();
                for (const auto& pdu : m_options.deliverDuringListing)
                    DeliverLocked(pdu);
                m_options.deliverDuringListing.clear();
            }
        }
        return out + "\r\n" + ok;
    }
    if (const std::string a = arg("AT+CMGR="); a != "\x01") {
        const std::size_t slot = static_cast<std::size_t>(std::stoi(a));
        const auto& slots = m_storage[m_read];
        if (slot < 1 || slot > slots.size() || slots[slot - 1].empty())
            return "\r\n+CMS ERROR: 321\r\n";
        return "\r\n+CMGR: 0,," + std::to_string(TpduLength(slots[slot - 1])) + "\r\n" + slots[slot - 1] +
               "\r\n" + ok;
    }
    if (const std::string a = arg("AT+CMGD="); a != "\x01") {
        const int slot = std::stoi(a);
        auto& slots = m_storage[m_read];
        if (slot < 1 || static_cast<std::size_t>(slot) > slots.size() || m_options.refuseDelete.count(slot))
            return "\r\n+CMS ERROR: 321\r\n";
        slots[static_cast<std::size_t>(slot - 1)].clear();
        std::string answer = ok;
        // Room again: the network hands over what it held back.
        if (!m_network.empty()) {
            Write(answer);
            answer.clear();
            const std::string pdu = m_network.front();
            m_network.pop_front();
            DeliverLocked(pdu);
        }
        return answer;
    }
    return error;
}
