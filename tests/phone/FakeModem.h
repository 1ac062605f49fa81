#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "phone/PduDecoder.h"

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

    // A phone that behaves on its own, in text and PDU mode, instead of following a script.
    struct Phone
    {
        bool echo = true;
        bool silent = false;                  // answers nothing at all
        std::string cpin = "+CPIN: READY";    // the answer to "at+cpin?"
        std::string cpinError;                // given instead, when not empty ("+CME ERROR: 10")
        int refuse = 0;                       // the n-th message taken (from 1) is refused
        int noPrompt = 0;                     // the n-th "at+cmgs=" (from 1) gets no prompt
        int hangUp = 0;                       // unplugged instead of answering the n-th message
        bool refusePdu = false;               // an old phone: "at+cmgf=0" is an error
        std::string pin = "1234";             // what "at+cpin=" must give to make the SIM ready
        int pinTries = 3;                     // told by "at+cpinr"
        std::vector<std::string> unsolicited; // one line slipped in before each answer while they last
        std::string maker = "Fakecom";
        std::string model = "FM-1";
        std::string creg = "+CREG: 0,1";
        std::string csq = "+CSQ: 20,99";
    };
    // One message the phone took (refused ones included).
    struct Sms
    {
        bool pdu = false;
        std::string number; // text mode: between the quotes of "at+cmgs="
        std::string body;   // what came before the Ctrl-Z: the text's bytes, or the PDU in hexadecimal
        int announced = 0;  // PDU mode: the length "at+cmgs=" gave
        bool refused = false;
        DecodedSubmit decoded; // PDU mode
        std::string parameters; // text mode: the last "at+csmp=" given before it, if any
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
    void Behave(Phone phone);
    std::vector<Sms> Messages();
    // Every PIN the program gave, in order.
    std::vector<std::string> Pins();
    // Everything the program wrote: waits (boundedly) until at least expectedLength bytes are
    // there, then a little more so that stray extra bytes show up too. Stops the modem.
    std::vector<std::uint8_t> Transcript(std::size_t expectedLength);
    // False when a command differed from the script; Mismatch() says how.
    bool ScriptMatched();
    std::string Mismatch();

private:
    void Loop(std::vector<Step> script);
    void Act(Phone phone);
    void Answer(Phone& phone, const std::string& bytes);
    std::string Command(Phone& phone, const std::string& command);
    std::string Take(Phone& phone);
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
    std::vector<Sms> m_messages;
    std::vector<std::string> m_parameters; // each "at+csmp=" argument, in order
    bool m_pduMode = false;
    bool m_input = false; // between the prompt and the Ctrl-Z
    int m_starts = 0;     // "at+cmgs=" commands so far
    std::vector<std::string> m_pins;
    std::string m_line;
    Sms m_current;
};

std::string Printable(const std::vector<std::uint8_t>& bytes);
