#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mailwatch/Pop3Options.h"
#include "net/Outcome.h"
#include "net/TcpSocket.h"

class CTlsStream;

// Where the server text points: "host" (port 110), "host:port", or "pop3s://host[:port]" for TLS
// from the first byte (port 995 unless given).
struct CPop3Address
{
    std::string host;
    std::uint16_t port = 110;
    bool tls = false;

    static std::optional<CPop3Address> Parse(const std::string& server);
};

// One connection to a POP3 mailbox for one check: Login, commands, Quit. Every operation returns
// true on success; after a failure GetErrorText() says why (it is only ever replaced, never
// cleared), as the error box has always put it; Login and Stat also give a short Polish reason.
// Replies are read whole, each wait is bounded, and the password appears in no text.
class CPop3Client
{
public:
    explicit CPop3Client(CPop3Options options = {});
    ~CPop3Client();
    CPop3Client(const CPop3Client&) = delete;
    CPop3Client& operator=(const CPop3Client&) = delete;

    COutcome Login(const std::string& server, const std::string& user, const std::string& password);
    COutcome Stat();
    bool List();
    bool Retr(int message);
    bool Dele(int message);
    bool Noop();
    bool Rset();
    bool Quit();

    std::int32_t GetMessageCount() const { return m_messageCount; }
    std::int64_t GetMailboxSize() const { return m_mailboxSize; }
    std::string GetErrorText() const { return m_errorText; }
    // The stop flag of the options was raised during an operation.
    bool WasStopped() const { return (m_options.stop && m_options.stop->load()) || net_stop::Requested(); }
    const std::string& GetMessageText() const { return m_messageText; }
    const std::vector<std::uint64_t>& GetListing() const { return m_listing; }
    // The listed size of the message at position (from 1, like message numbers); 0 outside.
    std::uint64_t GetMessageSize(std::size_t position) const;


private:
    enum class Reply
    {
        Accepted,
        Refused,
        Broken
    };

    bool Connect(const std::string& server);
    bool LoginSteps(const std::string& server, const std::string& user, const std::string& password);
    // Sends one command line and reads its status line; Broken when either failed.
    Reply Command(const std::string& line);
    bool Command(const std::string& line, const char* word);
    bool Refuse(const char* word);
    // Sets the reason (Windows-1250) and returns false.
    bool Fail(std::string reason);
    // The socket's reason for its last failure, naming the server.
    bool SocketFailed();
    bool SendLine(const std::string& line);
    bool ReadLine(std::string& line, std::size_t limit);
    // The lines up to the terminating "." line, dot-unstuffing each, with their CR LF ends.
    bool ReadMultiLine(std::string& body);
    bool Fill();
    void Drop();
    // False when the reply is not "+OK count [size]".
    bool ParseStat(const std::string& reply);
    void ParseListing(const std::string& body);

    CPop3Options m_options;
    std::string m_errorText;
    std::string m_reason;
    std::string m_peer; // "host:port", for the reasons
    std::int32_t m_messageCount = 0;
    std::int64_t m_mailboxSize = 0;
    std::vector<std::uint64_t> m_listing;
    std::string m_messageText;
    CTcpSocket m_socket;
    std::unique_ptr<CTlsStream> m_tls;
    std::string m_pending; // bytes received and not yet taken as lines
    std::string m_lastReply;
    CTcpSocket::Clock::time_point m_checkEnd = CTcpSocket::Clock::time_point::max();
};
