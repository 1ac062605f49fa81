#pragma once

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "support/Loopback.h" // UnusedPort for the tests that need nobody listening

// A scripted POP3 server on 127.0.0.1 for one connection, for what a real server will not do:
// refusals of our choosing, odd spacing, replies cut into pieces, hanging up, never answering.
// It records every byte the client sends, so the commands can be checked byte for byte.
class FakePop3Server
{
public:
    struct Answer
    {
        std::vector<std::string> pieces; // sent one after another, each in its own write
        bool close = false;              // hang up after sending the pieces
    };
    struct Script
    {
        std::vector<std::string> greeting; // empty: the server never says anything
        std::vector<Answer> answers;       // one per line the client sends; then "+OK\r\n"
        bool closeAfterGreeting = false;
        int pauseMs = 30; // between two pieces; a long pause with one-byte pieces drips a reply
    };

    // The text cut into one-byte pieces, for a server that drips its replies.
    static std::vector<std::string> Drip(const std::string& text);

    explicit FakePop3Server(Script script);
    ~FakePop3Server();
    FakePop3Server(const FakePop3Server&) = delete;
    FakePop3Server& operator=(const FakePop3Server&) = delete;

    std::uint16_t Port() const { return m_port; }
    std::string Address() const { return "127.0.0.1:" + std::to_string(m_port); }
    // Everything the client sent; waits until the client has closed the connection.
    std::string Received();

private:
    void Serve();
    void SendPieces(int fd, const std::vector<std::string>& pieces);

    Script m_script;
    int m_listen = -1;
    std::uint16_t m_port = 0;
    std::string m_received;
    std::thread m_thread;
};
