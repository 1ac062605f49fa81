#include "phone/FakeModem.h"

#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

FakeModem::FakeModem()
{
    char name[256] = {};
    if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        m_master = m_slave = -1;
        return;
    }
    // Raw from the start: a terminal that echoed would send our answers straight back to us.
    termios t{};
    ::tcgetattr(m_slave, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(m_slave, TCSANOW, &t);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_path = name;
}

FakeModem::~FakeModem()
{
    Stop();
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
}

void FakeModem::Run(std::vector<Step> script)
{
    m_thread = std::thread([this, s = std::move(script)]() mutable { Loop(std::move(s)); });
}

void FakeModem::Stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    if (m_thread.joinable())
        m_thread.join();
}

bool FakeModem::Receive(std::chrono::milliseconds wait)
{
    pollfd p{m_master, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(wait.count())) <= 0)
        return false;
    unsigned char buffer[512];
    const ssize_t n = ::read(m_master, buffer, sizeof buffer);
    if (n <= 0)
        return false;
    std::lock_guard lock(m_mutex);
    m_received.insert(m_received.end(), buffer, buffer + n);
    return true;
}

void FakeModem::Loop(std::vector<Step> script)
{
    std::size_t checked = 0;
    for (const Step& step : script) {
        for (;;) {
            {
                std::lock_guard lock(m_mutex);
                if (m_stop)
                    return;
                if (m_received.size() >= checked + step.expect.size())
                    break;
            }
            Receive(std::chrono::milliseconds(20));
        }
        {
            std::lock_guard lock(m_mutex);
            const std::string got(m_received.begin() + static_cast<std::ptrdiff_t>(checked),
                                  m_received.begin() +
                                      static_cast<std::ptrdiff_t>(checked + step.expect.size()));
            if (got != step.expect) {
                m_mismatch = "expected " + Printable({step.expect.begin(), step.expect.end()}) + ", got " +
                             Printable({got.begin(), got.end()});
                return;
            }
        }
        checked += step.expect.size();
        for (const Piece& piece : step.answer) {
            std::this_thread::sleep_for(piece.delay);
            if (!piece.bytes.empty() && ::write(m_master, piece.bytes.data(), piece.bytes.size()) < 0)
                return;
        }
    }
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (m_stop)
                return;
        }
        Receive(std::chrono::milliseconds(20));
    }
}

std::vector<std::uint8_t> FakeModem::Transcript(std::size_t expectedLength)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            if (m_received.size() >= expectedLength || !m_mismatch.empty())
                break;
        }
        if (std::chrono::steady_clock::now() >= end)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    // Bytes the program should not have written would arrive right behind the expected ones.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    Stop();
    while (Receive(std::chrono::milliseconds(0))) {
    }
    std::lock_guard lock(m_mutex);
    return m_received;
}

bool FakeModem::ScriptMatched()
{
    std::lock_guard lock(m_mutex);
    return m_mismatch.empty();
}

std::string FakeModem::Mismatch()
{
    std::lock_guard lock(m_mutex);
    return m_mismatch;
}

std::string Printable(const std::vector<std::uint8_t>& bytes)
{
    std::string out = "\"";
    for (const std::uint8_t b : bytes) {
        if (b >= 0x20 && b < 0x7F && b != '\\' && b != '"') {
            out += static_cast<char>(b);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", b);
            out += buf;
        }
    }
    return out + "\"";
}
