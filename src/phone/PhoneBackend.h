#pragma once

#include <string>
#include <vector>

#include "phone/ModemService.h"

// "Settings"/"PhoneBackend": who talks to the phone. Auto sends through the system's modem
// service when it manages the configured port's modem (or the only modem, with no port set) and
// opens the port directly otherwise.
enum class PhoneBackend
{
    Auto,
    ModemManager,
    Serial
};

namespace phone_backend {

// "modemmanager", "serial"; anything else (the default "auto", nothing) is Auto.
PhoneBackend FromSetting(const std::string& setting);
// True for the three names a user may give.
bool IsName(const std::string& name);

// The device name a port's path comes down to: "/dev/serial/by-id/usb-...-if02-port0" and
// "/dev/ttyUSB2" are both "ttyUSB2" when the one links to the other.
std::string DeviceName(const std::string& device);
// The modem whose ports include the device; with no device, the only modem. Nullptr when none.
const ModemInfo* ModemFor(const std::vector<ModemInfo>& modems, const std::string& device);
// True when one of the modems lists the device among its ports.
bool ServiceHolds(const std::vector<ModemInfo>& modems, const std::string& device);

} // namespace phone_backend
