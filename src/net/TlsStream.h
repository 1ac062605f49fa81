#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

class CTcpSocket;
typedef struct ssl_st SSL;
typedef struct ssl_ctx_st SSL_CTX;

// TLS over a connected CTcpSocket, with the socket's time-outs and wait hook: TLS 1.2 or newer,
// the host name sent for SNI, the server's certificate chain and host name (or IP address)
// verified against the system's trusted certificates, or against one CA file when a caller names
// it (a provider's private CA, the tests). The POP3 client and the HTTPS gateway share it.
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
    // As CTcpSocket::Receive: the count read, 0 when the peer closed, -1 on a failure, a reset or
    // a time-out.
    long Receive(char* buffer, std::size_t capacity);

    // The reason for the last failure, in Polish (Windows-1250).
    const std::string& ErrorText() const { return m_error; }

    // The Polish reason for a certificate verification result.
    static std::string VerifyReason(long verifyResult);

private:
    bool Configure(const std::string& host, const std::string& caFile);
    // Waits for what OpenSSL asked for after a call returned result; false on a real failure.
    bool WaitAfter(int result, std::chrono::milliseconds timeout);
    bool Fail(const std::string& reason);
    std::string OpenSslReason(const std::string& fallback);
    std::string SocketReason() const;

    CTcpSocket& m_socket;
    SSL_CTX* m_context = nullptr;
    SSL* m_ssl = nullptr;
    bool m_closed = false; // no close_notify is to be sent
    bool m_ended = false;  // the peer closed in order
    std::string m_error;
};
