#pragma once

#include <chrono>
#include <string>
#include <vector>

// Finding the phone's AT port among the serial devices: the stable names under
// /dev/serial/by-id with the USB device's maker and model from sysfs, and a short AT probe of
// one port. Texts are Windows-1250.
namespace port_search {

struct Port
{
    std::string path;   // as the user would keep it: /dev/serial/by-id/usb-...-if02-port0
    std::string device; // what it points to: /dev/ttyUSB2
    std::string maker;  // from sysfs, when the device is a USB one
    std::string model;
};

// Every entry of byIdDir, sorted by name; sysRoot is where sysfs is mounted.
std::vector<Port> ListPorts(const std::string& byIdDir = "/dev/serial/by-id",
                            const std::string& sysRoot = "/sys");

struct Probe
{
    bool answered = false; // an AT port: it gave a final result to "AT"
    std::string maker;     // its answer to AT+CGMI
    std::string sim;       // its answer to AT+CPIN?, in Polish
    std::string problem;   // why it could not be asked: the port's open failed, or silence
};

// "AT", "AT+CGMI", "AT+CPIN?", each waiting at most `each`; a port silent to the first is asked
// nothing more. Safe to run on a worker thread (one port per thread).
Probe ProbePort(const std::string& device, std::chrono::milliseconds each = std::chrono::seconds(2));

} // namespace port_search
