#pragma once

// A process-wide request to stop waiting, set when the program is told to end (a signal, the end
// of the desktop session). Every socket and serial-port wait then ends at its next slice as if
// it had timed out, so the operation in progress files what it has and the program can end in
// order. Request() is safe inside a signal handler.
namespace net_stop {

void Request() noexcept;
bool Requested() noexcept; // either request: the program's end or the user's stop
void Clear() noexcept;
bool EndRequested() noexcept; // the program's end only

// The user's own stop ("Przerwij" on a send's progress): it ends the waits the same way, but
// only the operation in progress, which reports it and then clears it. An end request that
// comes meanwhile outlives ClearUserRequest().
void RequestByUser() noexcept;
bool RequestedByUser() noexcept;
void ClearUserRequest() noexcept;

} // namespace net_stop
