#pragma once

// The serial link moved to phone/, where the device side of the phone route lives; this name
// stays for the code that still includes it from here.
#include "phone/SerialLink.h"
