#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>

#include "support/TempDir.h"

// The tests' own peers listen on 127.0.0.1 only, at ports the system picks.

// A listening socket on 127.0.0.1 and its port; -1 when the system refuses one.
int ListenOnLoopback(std::uint16_t& port, int backlog = 8);
// A port on 127.0.0.1 where nobody listens: it was free a moment ago.
std::uint16_t UnusedPort();

// A real HTTP proxy: tinyproxy on 127.0.0.1 with a private configuration, stopped with the object.
class Tinyproxy
{
public:
    Tinyproxy() = default;
    ~Tinyproxy();
    Tinyproxy(const Tinyproxy&) = delete;
    Tinyproxy& operator=(const Tinyproxy&) = delete;

    // False (and a message naming the package) when tinyproxy is missing or does not start.
    bool Start(std::string& why);
    std::uint16_t Port() const { return m_port; }

private:
    TempDir m_dir;
    pid_t m_pid = -1;
    std::uint16_t m_port = 0;
};
