#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "net/HttpHead.h"
#include "net/TcpSocket.h"

class CSettingsData;

// One GET to the maker's web server over a fresh connection, straight or through the user's
// proxy. A response counts only when its status is 200 and its whole body arrived; every wait is
// bounded and the body is capped.
class CHttpFetcher
{
public:
    struct Limits
    {
        std::size_t maxBody = 1024 * 1024;
        std::size_t maxHeader = 64 * 1024;
        SocketTimeouts timeouts{std::chrono::seconds(10), std::chrono::seconds(15), std::chrono::seconds(15)};
        // Bounds one whole exchange, however slowly the data trickles in.
        std::chrono::milliseconds exchange{std::chrono::seconds(60)};
    };

    enum class Result
    {
        Ok,
        NoConnection, // the server or the proxy could not be reached
        Failed,       // connected, but no complete 200 response within the bounds
    };

    // The settings are read at every connection, so a changed proxy takes effect at once.
    // serverHost is the maker's server as "host" or "host:port".
    CHttpFetcher(const CSettingsData& settings, std::string serverHost, CTcpSocket::WaitHook hook = {});
    CHttpFetcher(const CSettingsData& settings, std::string serverHost, CTcpSocket::WaitHook hook,
                 const Limits& limits);

    Result Get(const std::string& path, std::string& body);
    // Why the last Get failed, for the user: Polish, Windows-1250.
    const std::string& FailureReason() const { return m_reason; }

    // Bounds every exchange that follows, whatever the limits say; a Get after it makes no
    // connection at all.
    void SetDeadline(CTcpSocket::Clock::time_point deadline) { m_deadline = deadline; }

    // The request the program sends, the same straight and through a proxy: the absolute address
    // in the request line and the server's name in the Host header. The User-Agent lacks its
    // closing parenthesis; the maker's server has always been sent that value.
    static std::string BuildRequest(const std::string& serverHost, const std::string& path);

private:
    bool ConnectToEndpoint(CTcpSocket& socket);
    Result ReadResponse(CTcpSocket& socket, std::string& body);
    Result Fail(Result result, std::string reason);

    const CSettingsData& m_settings;
    std::string m_serverHost;
    CTcpSocket::WaitHook m_hook;
    Limits m_limits;
    CTcpSocket::Clock::time_point m_deadline = CTcpSocket::Clock::time_point::max();
    std::string m_peer; // the server, or the proxy on the way to it, as the reasons name it
    std::string m_reason;
};
