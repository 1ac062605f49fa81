#include "phone/PortSearch.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <string_view>
#include <unistd.h>

#include "phone/PortProblem.h"
#include "phone/SerialLink.h"
#include "store/Windows1250.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string Polish(std::string_view utf8)
{
    return windows1250::FromUtf8Lossy(utf8);
}

std::string RealPath(const std::string& path)
{
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

std::string FirstLine(const std::string& path)
{
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return windows1250::FromUtf8Lossy(line);
}

// The USB device above a tty in sysfs: the first parent directory that has an idVendor.
void UsbNames(const std::string& sysRoot, const std::string& deviceName, port_search::Port& port)
{
    std::string dir = RealPath(sysRoot + "/class/tty/" + deviceName + "/device");
    while (dir.size() > sysRoot.size()) {
        if (::access((dir + "/idVendor").c_str(), R_OK) == 0) {
            port.maker = FirstLine(dir + "/manufacturer");
            port.model = FirstLine(dir + "/product");
            return;
        }
        dir.erase(dir.rfind('/'));
    }
}

struct Answer
{
    bool final = false; // "OK" or an error ended it
    bool ok = false;
    std::vector<std::string> lines;
};

Answer Ask(CSerialLink& link, const std::string& command, std::chrono::milliseconds wait)
{
    link.Write(command.data(), static_cast<int>(command.size()));
    const auto end = Clock::now() + wait;
    std::string reply;
    Answer answer;
    for (;;) {
        char buffer[256];
        const int n = link.Read(buffer, sizeof buffer);
        if (n > 0)
            reply.append(buffer, static_cast<std::size_t>(n));
        // Whole lines only; the echo of the command is not an answer.
        answer.lines.clear();
        std::size_t at = 0;
        for (std::size_t eol; (eol = reply.find_first_of("\r\n", at)) != std::string::npos; at = eol + 1) {
            const std::string line = reply.substr(at, eol - at);
            if (line.empty() || line + "\r" == command)
                continue;
            if (line == "OK" || line == "ERROR" || line.rfind("+CME ERROR", 0) == 0) {
                answer.final = true;
                answer.ok = line == "OK";
                return answer;
            }
            answer.lines.push_back(line);
        }
        if (n > 0)
            continue;
        const auto now = Clock::now();
        if (now >= end || link.HungUp())
            return answer;
        link.WaitReadable(std::chrono::duration_cast<std::chrono::milliseconds>(end - now));
    }
}

std::string Value(const std::vector<std::string>& lines, const char* prefix)
{
    for (const auto& line : lines) {
        if (line.rfind(prefix, 0) == 0) {
            std::string value = line.substr(std::char_traits<char>::length(prefix));
            value.erase(0, value.find_first_not_of(' '));
            return value;
        }
    }
    return lines.empty() ? std::string() : lines.front();
}

} // namespace

namespace port_search {

std::vector<Port> ListPorts(const std::string& byIdDir, const std::string& sysRoot)
{
    std::vector<Port> ports;
    DIR* dir = ::opendir(byIdDir.c_str());
    if (!dir)
        return ports; // no serial device plugged in
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        Port port;
        port.path = byIdDir + "/" + name;
        port.device = RealPath(port.path);
        if (port.device.empty())
            continue; // a link to a device that has gone
        UsbNames(sysRoot, port.device.substr(port.device.rfind('/') + 1), port);
        ports.push_back(std::move(port));
    }
    ::closedir(dir);
    std::sort(ports.begin(), ports.end(), [](const Port& a, const Port& b) { return a.path < b.path; });
    return ports;
}

Probe ProbePort(const std::string& device, std::chrono::milliseconds each)
{
    Probe probe;
    CSerialLink link;
    if (!link.OpenDevice(device, 9600)) {
        probe.problem = port_problem::Describe(device, link.OpenError());
        return probe;
    }
    const Answer at = Ask(link, "at\r", each);
    if (!at.final) {
        probe.problem =
            Polish(link.HungUp() ? "Telefon został odłączony." : "Nie odpowiada na polecenia AT.");
        return probe;
    }
    probe.answered = true;
    const Answer maker = Ask(link, "at+cgmi\r", each);
    if (maker.ok)
        probe.maker = windows1250::FromUtf8Lossy(Value(maker.lines, "+CGMI:"));
    const Answer pin = Ask(link, "at+cpin?\r", each);
    const std::string state = Value(pin.lines, "+CPIN:");
    if (pin.ok && state == "READY")
        probe.sim = Polish("gotowa");
    else if (pin.ok && state == "SIM PIN")
        probe.sim = Polish("czeka na kod PIN");
    else if (pin.ok && state == "SIM PUK")
        probe.sim = Polish("czeka na kod PUK");
    else if (pin.final)
        probe.sim = Polish("brak karty albo nie jest gotowa");
    return probe;
}

} // namespace port_search
