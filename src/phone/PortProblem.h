#pragma once

#include <string>

// Why a serial port could not be opened, told the way a user can act on it. Texts are
// Windows-1250.
namespace port_problem {

// The name of a process that holds the device open ("ModemManager"), or empty when none is
// found or other users' processes cannot be looked into.
std::string Holder(const std::string& device);

// The reason for an open that failed with `error` (an errno value, as CSerialLink::OpenError
// gives it). heldByService: the system's modem service says the port is one of its modems'.
std::string Describe(const std::string& device, int error, bool heldByService = false);

} // namespace port_problem
