#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "net/Outcome.h"
#include "net/TcpSocket.h"

class CMarkerScanner;
class CSendEnvironment;
enum class GatewayHost;

struct GatewayTimeouts
{
    SocketTimeouts socket;
    // Bounds one whole exchange (connect, request, reply), whatever the single waits say.
    std::chrono::milliseconds exchange{90000};
};

// The common base of the web-gateway senders: what the sending-methods list shows, the socket,
// the form encoding and the way to a gateway, directly or through the proxy of the settings record.
class CSMSMessageSender
{
public:
    explicit CSMSMessageSender(CSendEnvironment& environment);
    virtual ~CSMSMessageSender();
    CSMSMessageSender(const CSMSMessageSender&) = delete;
    CSMSMessageSender& operator=(const CSMSMessageSender&) = delete;

    // Whether this gateway serves the number (a full "+48..." number).
    virtual bool SupportsNumber(const std::string& number) const;
    // Delivers one message: done only when the gateway confirmed it, otherwise the reason why not.
    // Never shows anything.
    virtual COutcome Send(const std::string& number, const std::string& text);
    // Whether the user's signature can serve as the sender's e-mail address.
    virtual bool SignatureIsEmail() const;

    const std::string& GetName() const { return m_name; }
    // The gateway's web address as the sending-methods list shows it.
    virtual std::string GetGatewayAddress() const;
    const std::string& GetPrefixText() const { return m_prefixText; }

    void SetTimeouts(const GatewayTimeouts& timeouts) { m_timeouts = timeouts; }
    const GatewayTimeouts& GetTimeouts() const { return m_timeouts; }

    // Form encoding: letters and digits as they are, a space as "+", every other byte as "%XX".
    static std::string UrlEncode(std::string_view text);
    // True when the number begins with one of the seven-character prefixes.
    static bool HasPrefix(const std::string& number, std::initializer_list<std::string_view> prefixes);

protected:
    // Opens the connection of one exchange with the gateway at host ("name" or "name:port"):
    // to the proxy when the settings record says so, to the gateway (port 80 unless given)
    // otherwise.
    bool Connect(const std::string& gatewayHost);
    // True when the settings record sends through a proxy; read at each send.
    bool UsesProxy() const;
    bool SendRequest(const std::string& request);
    // Reads until the scanner is done or the gateway closes; false on a failed read or time-out.
    bool ReadWith(CMarkerScanner& scanner);
    // Reads the reply's header, up to its empty line (CR LF or a bare LF; all when the gateway
    // closes first), skipping a few interim 1xx replies; what arrived after the empty line goes to
    // rest when given. A head over 64 KiB is a failure with its reason.
    std::optional<std::string> ReadHeader(std::string* rest = nullptr);
    // The gateway's verdict on a posted message: only a 2xx reply whose page holds the
    // confirmation text, not negated, confirms it.
    bool ReadVerdict(const std::string& confirmation);
    // The status code of a reply header's status line ("HTTP/1.x NNN ..."); 0 without one.
    static int StatusCode(std::string_view header);
    void Close() { m_socket.Close(); }
    // Done, or failed with the reason the last step gave (set by the steps above, or by Fail).
    COutcome Result(bool sent) const;
    bool Fail(std::string reason);

    std::string GetHost(GatewayHost gateway) const;
    std::string GetSignature() const;
    CSendEnvironment& Environment() const { return m_environment; }

    // The receive size of each read.
    void SetChunkSize(std::size_t size) { m_chunkSize = size; }

    std::string m_name;
    std::string m_prefixText;

private:
    // One read; retried a few times after an I/O error, never after a time-out or a close.
    long ReceiveChunk(std::string& buffer);
    // The socket's reason for its last failure; a time-out says how long the wait from start was.
    bool SocketFailed(CTcpSocket::Clock::time_point start);

    CSendEnvironment& m_environment;
    CTcpSocket m_socket;
    GatewayTimeouts m_timeouts;
    std::size_t m_chunkSize = 4096;
    std::string m_peer; // "host:port" of the connection, for the reasons
    std::string m_reason;
};

// The browser line every gateway gets; it has no closing parenthesis, as the gateways have always
// seen it.
inline constexpr std::string_view kGatewayUserAgent =
    "User-Agent: Mozilla/4.0 (compatible; MSIE 5.0; Windows 98; chip_1098; DigExt\r\n";
