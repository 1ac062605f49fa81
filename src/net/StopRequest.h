#pragma once

// A process-wide request to stop waiting, set when the program is told to end (a signal, the end
// of the desktop session). Every socket and serial-port wait then ends at its next slice as if
// it had timed out, so the operation in progress files what it has and the program can end in
// order. Request() is safe inside a signal handler.
namespace net_stop {

void Request() noexcept;
bool Requested() noexcept;
void Clear() noexcept;

} // namespace net_stop
