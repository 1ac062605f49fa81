#include "net/TlsStream.h"

#include <algorithm>
#include <arpa/inet.h>
#include <poll.h>

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include "net/TcpSocket.h"

namespace {

bool IsIpAddress(const std::string& host)
{
    unsigned char buffer[16];
    return ::inet_pton(AF_INET, host.c_str(), buffer) == 1 ||
           ::inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

// The program's words, in Windows-1250.
constexpr const char* kUntrusted = "certyfikat serwera nie jest zaufany";
constexpr const char* kOtherName = "certyfikat wystawiono dla innej nazwy serwera";
constexpr const char* kExpired = "certyfikat wygas\xB3";
constexpr const char* kNoTls12 = "serwer nie obs\xB3uguje TLS 1.2";
constexpr const char* kTimedOut = "serwer nie odpowiedzia\xB3 w wyznaczonym czasie";
constexpr const char* kClosed = "serwer zamkn\xB9\xB3 po\xB3\xB9" "czenie";

std::chrono::milliseconds Left(CTcpSocket::Clock::time_point end)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - CTcpSocket::Clock::now());
    return std::max(left, std::chrono::milliseconds(0));
}

} // namespace

CTlsStream::CTlsStream(CTcpSocket& socket) : m_socket(socket) {}

CTlsStream::~CTlsStream()
{
    if (m_ssl) {
        // A polite close_notify when the socket takes it at once; nobody waits for the answer.
        if (!m_closed && m_socket.IsConnected())
            ::SSL_shutdown(m_ssl);
        ::SSL_free(m_ssl);
    }
    if (m_context)
        ::SSL_CTX_free(m_context);
}

bool CTlsStream::Fail(const std::string& reason)
{
    m_error = reason;
    return false;
}

std::optional<std::string> CTlsStream::VerifyReason(long verifyResult)
{
    switch (verifyResult) {
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_CERT_UNTRUSTED:
    case X509_V_ERR_CERT_REJECTED:
    case X509_V_ERR_CERT_SIGNATURE_FAILURE:
    case X509_V_ERR_INVALID_CA:
        return kUntrusted;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return kOtherName;
    case X509_V_ERR_CERT_HAS_EXPIRED:
        return kExpired;
    default:
        return std::nullopt;
    }
}

std::string CTlsStream::OpenSslReason(const std::string& fallback)
{
    const unsigned long code = ::ERR_get_error();
    ::ERR_clear_error();
    if (code == 0)
        return fallback;
    switch (ERR_GET_REASON(code)) {
    case SSL_R_TLSV1_ALERT_PROTOCOL_VERSION:
    case SSL_R_UNSUPPORTED_PROTOCOL:
    case SSL_R_NO_PROTOCOLS_AVAILABLE:
    case SSL_R_VERSION_TOO_LOW:
        return kNoTls12;
    default:
        break;
    }
    char text[256];
    ::ERR_error_string_n(code, text, sizeof text);
    return text;
}

std::string CTlsStream::SocketReason() const
{
    if (m_socket.LastFailure() == CTcpSocket::Failure::Timeout)
        return kTimedOut;
    return m_socket.LastErrorText();
}

bool CTlsStream::Configure(const std::string& host, const std::string& caFile)
{
    m_context = ::SSL_CTX_new(::TLS_client_method());
    if (!m_context)
        return Fail(OpenSslReason("cannot create a TLS context"));
    ::SSL_CTX_set_min_proto_version(m_context, TLS1_2_VERSION);
    ::SSL_CTX_set_verify(m_context, SSL_VERIFY_PEER, nullptr);
    // Every POP3 reply carries its own end (CR LF or the "." line), so a cut connection is seen
    // without close_notify; many servers simply close.
    ::SSL_CTX_set_options(m_context, SSL_OP_IGNORE_UNEXPECTED_EOF);
    const int loaded = caFile.empty() ? ::SSL_CTX_set_default_verify_paths(m_context)
                                      : ::SSL_CTX_load_verify_locations(m_context, caFile.c_str(), nullptr);
    if (loaded != 1)
        return Fail(OpenSslReason("cannot load the trusted certificates"));
    m_ssl = ::SSL_new(m_context);
    if (!m_ssl || ::SSL_set_fd(m_ssl, m_socket.NativeHandle()) != 1)
        return Fail(OpenSslReason("cannot create a TLS session"));
    X509_VERIFY_PARAM* param = ::SSL_get0_param(m_ssl);
    if (IsIpAddress(host)) {
        if (::X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str()) != 1)
            return Fail("cannot verify the address " + host);
        return true;
    }
    ::X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    if (::SSL_set1_host(m_ssl, host.c_str()) != 1 || ::SSL_set_tlsext_host_name(m_ssl, host.c_str()) != 1)
        return Fail("cannot verify the host name " + host);
    return true;
}

bool CTlsStream::WaitAfter(int result, std::chrono::milliseconds timeout)
{
    switch (::SSL_get_error(m_ssl, result)) {
    case SSL_ERROR_WANT_READ:
        return m_socket.WaitFor(POLLIN, timeout) || Fail(SocketReason());
    case SSL_ERROR_WANT_WRITE:
        return m_socket.WaitFor(POLLOUT, timeout) || Fail(SocketReason());
    case SSL_ERROR_ZERO_RETURN:
        m_closed = true;
        return Fail(kClosed);
    case SSL_ERROR_SYSCALL:
        m_closed = true;
        return Fail(OpenSslReason(kClosed));
    default:
        return Fail(OpenSslReason("TLS failure"));
    }
}

bool CTlsStream::Handshake(const std::string& host, const std::string& caFile)
{
    if (!Configure(host, caFile))
        return false;
    const auto end = CTcpSocket::Clock::now() + m_socket.GetTimeouts().read;
    for (;;) {
        const int rc = ::SSL_connect(m_ssl);
        if (rc == 1)
            return true;
        const long verify = ::SSL_get_verify_result(m_ssl);
        if (verify != X509_V_OK) {
            ::ERR_clear_error();
            return Fail(VerifyReason(verify).value_or(std::string("certificate verify failed: ") +
                                                      ::X509_verify_cert_error_string(verify)));
        }
        if (!WaitAfter(rc, Left(end)))
            return false;
    }
}

bool CTlsStream::SendAll(std::string_view data)
{
    while (!data.empty()) {
        const auto end = CTcpSocket::Clock::now() + m_socket.GetTimeouts().write;
        std::size_t written = 0;
        int rc = 0;
        while ((rc = ::SSL_write_ex(m_ssl, data.data(), data.size(), &written)) != 1) {
            if (!WaitAfter(rc, Left(end)))
                return false;
        }
        data.remove_prefix(written);
    }
    return true;
}

long CTlsStream::Receive(char* buffer, std::size_t capacity)
{
    if (m_closed)
        return 0;
    const auto end = CTcpSocket::Clock::now() + m_socket.GetTimeouts().read;
    for (;;) {
        std::size_t got = 0;
        const int rc = ::SSL_read_ex(m_ssl, buffer, capacity, &got);
        if (rc == 1)
            return static_cast<long>(got);
        if (!WaitAfter(rc, Left(end)))
            return m_closed ? 0 : -1;
    }
}
