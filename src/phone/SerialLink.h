#pragma once

#include <chrono>
#include <functional>
#include <string>

// One serial port, opened for one phone dialogue: raw at a given speed, 8 data bits, no parity,
// one stop bit, no flow control, modem lines ignored. Everything runs on the caller's thread.
// Read takes only what has already arrived; Write is bounded to about a second per byte. Waits
// are cut into slices of about 50 ms and the wait hook runs after each slice.
//
// The device is held exclusively (TIOCEXCL and an exclusive flock) so that a port in use by
// another program fails the open instead of mixing two dialogues on one line.
class CSerialLink
{
public:
    using WaitHook = std::function<void()>;

    explicit CSerialLink(WaitHook hook = {});
    ~CSerialLink();
    CSerialLink(const CSerialLink&) = delete;
    CSerialLink& operator=(const CSerialLink&) = delete;

    // The device of the system's n-th serial port counted from 1 (port 1 is /dev/ttyS0); empty
    // for a port number below 1.
    static std::string PortDevice(int port);

    // Opens the n-th serial port (see PortDevice). True at once when already open.
    bool Open(int port, int baud);
    // Opens a device by its path (/dev/ttyUSB0, a pseudo-terminal, ...). True at once when
    // already open. False, with nothing left open, when the device is missing, held by someone
    // else, is not a terminal, or the speed is not one the system offers.
    bool OpenDevice(const std::string& path, int baud);

    // Writes the bytes one at a time, waiting at most the byte time-out for each; errors are not
    // reported. Returns length, or 0 when the link is closed or length is not positive.
    int Write(const char* bytes, int length);
    // What the port has already received, at most capacity bytes; never waits. 0 when nothing
    // is there, on an error, or when the link is closed. The buffer is not terminated.
    int Read(char* buffer, int capacity);
    // Waits until input is there or the time-out passes; true when there is input to read.
    bool WaitReadable(std::chrono::milliseconds timeout);
    // Always true; closes the device when open.
    bool Close();

    bool IsOpen() const { return m_fd >= 0; }
    // The device went away while open (an unplugged USB modem, a closed pseudo-terminal): nothing
    // more will come, so waiting on it is pointless.
    bool HungUp() const { return m_hungUp; }
    // Why the last OpenDevice failed: the errno of the step that failed (ENOTTY for a file that is
    // not a terminal, EBUSY for a port held by another program), 0 after a successful open.
    int OpenError() const { return m_openError; }
    void SetWaitHook(WaitHook hook) { m_hook = std::move(hook); }
    void SetByteTimeout(std::chrono::milliseconds timeout) { m_byteTimeout = timeout; }

private:
    bool Configure(int baud);
    bool WaitFor(short events, std::chrono::milliseconds timeout);

    int m_fd = -1;
    bool m_hungUp = false;
    int m_openError = 0;
    WaitHook m_hook;
    std::chrono::milliseconds m_byteTimeout{1000};
};
