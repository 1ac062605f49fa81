#pragma once

#include <functional>
#include <string>

#include "net/TcpSocket.h"

// How a POP3 client connects: its waits, the hook run while it waits, and whom it trusts for TLS.
struct CPop3Options
{
    // Connect 20 s, each reply 30 s: a server that accepts and never answers fails the check.
    SocketTimeouts timeouts;
    std::function<void()> waitHook;
    // A CA file that replaces the system's trusted certificates; empty for the system's own.
    std::string caFile;
};
