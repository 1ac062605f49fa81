#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <string>

#include "net/TcpSocket.h"

// How a POP3 client connects: its waits, the hook run while it waits, and whom it trusts for TLS.
struct CPop3Options
{
    // Connect 20 s, each reply 30 s: a server that accepts and never answers fails the check.
    SocketTimeouts timeouts;
    // A server that drips its replies a byte at a time would stretch the single waits without end:
    // the login (connection to the answer to PASS) and the whole check (connection to QUIT) have
    // limits of their own.
    std::chrono::milliseconds loginLimit{std::chrono::seconds(60)};
    std::chrono::milliseconds checkLimit{std::chrono::seconds(120)};
    std::function<void()> waitHook;
    // When raised (from another thread or a signal handler) the check ends at once and nothing more
    // goes to the server. Null: the check cannot be interrupted.
    const std::atomic<bool>* stop = nullptr;
    // A CA file that replaces the system's trusted certificates; empty for the system's own.
    std::string caFile;
};
