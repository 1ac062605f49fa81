#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "net/TcpSocket.h"

class CTlsStream;

// A reply as the server sent it: the status line (without its line break), the header lines after
// it (as received, each ended by CR LF) and the body, already freed of the chunked coding.
struct HttpResponse
{
    std::string statusLine;
    int status = 0;
    std::string header;
    std::string body;
};

// One HTTP/1.1 exchange, over TCP or TLS, directly or through an HTTP proxy (a TLS connection goes
// through the proxy with CONNECT; a plain one is the caller's absolute-form request). Every wait
// is bounded: connecting, each read and write, and the whole exchange from Open on. Reasons for a
// failure are in Polish (Windows-1250) and never quote the request.
class CHttpConnection
{
public:
    struct Proxy
    {
        std::string host;
        std::uint16_t port = 0;
    };
    struct Timeouts
    {
        SocketTimeouts socket;
        std::chrono::milliseconds exchange{90000};
    };

    // The most of a reply body that is kept; the rest is read no further.
    static constexpr std::size_t kMaxBody = 1024 * 1024;

    explicit CHttpConnection(CTcpSocket::WaitHook hook = {});
    ~CHttpConnection();
    CHttpConnection(const CHttpConnection&) = delete;
    CHttpConnection& operator=(const CHttpConnection&) = delete;

    void SetTimeouts(const Timeouts& timeouts) { m_timeouts = timeouts; }

    // Opens the way to host:port, with TLS verified against caFile (the system's certificates when
    // empty); false with ErrorText() saying why.
    bool Open(const std::string& host, std::uint16_t port, bool tls, const std::string& caFile,
              const std::optional<Proxy>& proxy);
    // Sends the request in one piece and reads the whole reply: up to its length, its last chunk,
    // or the server's close. A reply cut before its length or its last chunk, or ended by a reset,
    // is a failure.
    std::optional<HttpResponse> Exchange(std::string_view request);
    void Close();

    const std::string& ErrorText() const { return m_error; }

private:
    bool SendAll(std::string_view data);
    long Receive(char* buffer, std::size_t capacity);
    bool Fail(std::string reason);
    // Why the last send or read failed: the TLS layer's reason, or the socket's.
    std::string ReadFailure() const;
    bool ProxyConnect(const std::string& host, std::uint16_t port);

    CTcpSocket m_socket;
    std::unique_ptr<CTlsStream> m_tls;
    Timeouts m_timeouts;
    std::string m_peer; // "host:port" of the server, for the reasons
    std::string m_error;
};
