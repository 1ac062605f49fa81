#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

class CTcpSocket;
typedef struct ssl_st SSL;
typedef struct ssl_ctx_st SSL_CTX;

// TLS over a connected CTcpSocket, with the socket's time-outs and wait hook. The server's
// certificate chain and host name (or IP address) are verified against the system's trusted
// certificates, or against one CA file when a caller names it (the tests do).
class CTlsStream
{
public:
    explicit CTlsStream(CTcpSocket& socket);
    ~CTlsStream();
    CTlsStream(const CTlsStream&) = delete;
    CTlsStream& operator=(const CTlsStream&) = delete;

    // The handshake with verification; false with ErrorText() saying why.
    bool Handshake(const std::string& host, const std::string& caFile);
    bool SendAll(std::string_view data);
    // As CTcpSocket::Receive: the count read, 0 when the peer closed, -1 on a failure or time-out.
    long Receive(char* buffer, std::size_t capacity);

    // A short English reason for the last failure.
    const std::string& ErrorText() const { return m_error; }

private:
    bool Configure(const std::string& host, const std::string& caFile);
    // Waits for what OpenSSL asked for after a call returned result; false on a real failure.
    bool WaitAfter(int result, std::chrono::milliseconds timeout);
    bool Fail(const std::string& reason);
    std::string OpenSslReason(const std::string& fallback);

    CTcpSocket& m_socket;
    SSL_CTX* m_context = nullptr;
    SSL* m_ssl = nullptr;
    bool m_closed = false;
    std::string m_error;
};
