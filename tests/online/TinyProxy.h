#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>

#include "support/TempDir.h"

// A real HTTP proxy for the tests: tinyproxy on 127.0.0.1 with a free port and a private
// configuration, stopped with the object.
class TinyProxy
{
public:
    static constexpr const char* kBinary = "/usr/bin/tinyproxy";

    TinyProxy();
    ~TinyProxy();
    TinyProxy(const TinyProxy&) = delete;
    TinyProxy& operator=(const TinyProxy&) = delete;

    static bool Installed();
    // False (with the reason) when it did not start to listen.
    bool Start(std::string& error);
    std::uint16_t Port() const { return m_port; }

private:
    TempDir m_dir;
    pid_t m_pid = -1;
    std::uint16_t m_port = 0;
};

std::uint16_t FreeLoopbackPort();
