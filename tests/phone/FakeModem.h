#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A phone on the far side of a pseudo-terminal. The program opens the terminal's device path as
// its serial port; the modem thread waits for each scripted command, checks its exact bytes, and
// answers with scripted pieces, each after its own delay.
class FakeModem
{
public:
    struct Piece
    {
        std::chrono::milliseconds delay{0};
        std::string bytes;
    };
    struct Step
    {
        std::string expect;        // the exact bytes the program must write
        std::vector<Piece> answer; // written once they have all arrived
    };

    FakeModem();
    ~FakeModem();
    FakeModem(const FakeModem&) = delete;
    FakeModem& operator=(const FakeModem&) = delete;

    bool IsReady() const { return m_master >= 0; }
    const std::string& DevicePath() const { return m_path; }
    // The program's side, kept open by the test so the terminal lives while the program's link
    // is closed, and so its settings can be inspected.
    int ProgramSide() const { return m_slave; }
    int ModemSide() const { return m_master; }

    void Run(std::vector<Step> script);
    // Everything the program wrote: waits (boundedly) until at least expectedLength bytes are
    // there, then a little more so that stray extra bytes show up too. Stops the modem.
    std::vector<std::uint8_t> Transcript(std::size_t expectedLength);
    // False when a command differed from the script; Mismatch() says how.
    bool ScriptMatched();
    std::string Mismatch();

private:
    void Loop(std::vector<Step> script);
    bool Receive(std::chrono::milliseconds wait);
    void Stop();

    int m_master = -1;
    int m_slave = -1;
    std::string m_path;
    std::thread m_thread;
    std::mutex m_mutex;
    std::vector<std::uint8_t> m_received;
    std::string m_mismatch;
    bool m_stop = false;
};

std::string Printable(const std::vector<std::uint8_t>& bytes);
