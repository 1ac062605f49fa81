#include "net/TlsStream.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
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
constexpr const char* kClosed = "serwer zamkn\xB9\xB3 po\xB3\xB9"
                                "czenie";
constexpr const char* kReset = "serwer zerwa\xB3 po\xB3\xB9"
                               "czenie";
constexpr const char* kStopped = "przerwano po\xB3\xB9"
                                 "czenie, bo program ko\xF1"
                                 "czy prac\xEA";
constexpr const char* kNotTls = "serwer nie odpowiada po TLS";
constexpr const char* kRefused = "serwer odrzuci\xB3 po\xB3\xB9"
                                 "czenie TLS";

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

std::string CTlsStream::VerifyReason(long verifyResult)
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
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return "certyfikat serwera nie jest jeszcze wa\xBFny";
    default:
        return "certyfikat serwera nie przeszed\xB3 sprawdzenia (kod " + std::to_string(verifyResult) + ")";
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
    case SSL_R_WRONG_VERSION_NUMBER:
    case SSL_R_PACKET_LENGTH_TOO_LONG:
    case SSL_R_RECORD_LENGTH_MISMATCH:
        return kNotTls;
    case SSL_R_SSLV3_ALERT_HANDSHAKE_FAILURE:
    case SSL_R_NO_SHARED_CIPHER:
        return kRefused;
    default:
        break;
    }
    // OpenSSL's own texts are English; the code lets a helper look the cause up.
    char hex[32];
    std::snprintf(hex, sizeof hex, "%lX", code);
    return fallback + " (kod OpenSSL " + hex + ")";
}

std::string CTlsStream::SocketReason() const
{
    switch (m_socket.LastFailure()) {
    case CTcpSocket::Failure::Timeout:
        if (m_socket.DeadlinePassed() && m_socket.DeadlineSeconds() > 0)
            return "wymiana z serwerem trwa\xB3"
                   "a d\xB3u\xBF"
                   "ej ni\xBF " +
                   std::to_string(m_socket.DeadlineSeconds()) + " s";
        return kTimedOut;
    case CTcpSocket::Failure::Stopped:
        return kStopped;
    case CTcpSocket::Failure::Closed:
        return kClosed;
    default:
        if (m_socket.LastErrno() == ECONNRESET || m_socket.LastErrno() == EPIPE)
            return kReset;
        return "b\xB3\xB9"
               "d po\xB3\xB9"
               "czenia (kod b\xB3\xEA"
               "du systemu " +
               std::to_string(m_socket.LastErrno()) + ")";
    }
}

bool CTlsStream::Configure(const std::string& host, const std::string& caFile)
{
    m_context = ::SSL_CTX_new(::TLS_client_method());
    if (!m_context)
        return Fail(OpenSslReason("nie mo\xBFna przygotowa\xE6 po\xB3\xB9"
                                  "czenia TLS"));
    ::SSL_CTX_set_min_proto_version(m_context, TLS1_2_VERSION);
    ::SSL_CTX_set_verify(m_context, SSL_VERIFY_PEER, nullptr);
    // Every POP3 reply carries its own end (CR LF or the "." line), so a cut connection is seen
    // without close_notify; many servers simply close.
    ::SSL_CTX_set_options(m_context, SSL_OP_IGNORE_UNEXPECTED_EOF);
    const int loaded = caFile.empty() ? ::SSL_CTX_set_default_verify_paths(m_context)
                                      : ::SSL_CTX_load_verify_locations(m_context, caFile.c_str(), nullptr);
    if (loaded != 1)
        return Fail(OpenSslReason(caFile.empty() ? "nie mo\xBFna wczyta\xE6 zaufanych certyfikat\xF3w systemu"
                                                 : "nie mo\xBFna wczyta\xE6 pliku certyfikatu CA " + caFile));
    m_ssl = ::SSL_new(m_context);
    if (!m_ssl || ::SSL_set_fd(m_ssl, m_socket.NativeHandle()) != 1)
        return Fail(OpenSslReason("nie mo\xBFna przygotowa\xE6 po\xB3\xB9"
                                  "czenia TLS"));
    X509_VERIFY_PARAM* param = ::SSL_get0_param(m_ssl);
    if (IsIpAddress(host)) {
        if (::X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str()) != 1)
            return Fail("nie mo\xBFna sprawdzi\xE6 adresu " + host);
        return true;
    }
    ::X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    if (::SSL_set1_host(m_ssl, host.c_str()) != 1 || ::SSL_set_tlsext_host_name(m_ssl, host.c_str()) != 1)
        return Fail("nie mo\xBFna sprawdzi\xE6 nazwy serwera " + host);
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
    case SSL_ERROR_SYSCALL: {
        // With unexpected ends of file taken as a close, this is a real failure: a reset, most
        // likely. The reply is cut, never whole.
        const int error = errno;
        m_closed = true;
        ::ERR_clear_error();
        return Fail(error == ECONNRESET || error == EPIPE || error == 0 ? kReset : kClosed);
    }
    default:
        return Fail(OpenSslReason("po\xB3\xB9"
                                  "czenie TLS nie powiod\xB3o si\xEA"));
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
            return Fail(VerifyReason(verify));
        }
        if (!m_socket.MayGoOn())
            return Fail(SocketReason());
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
            if (!m_socket.MayGoOn())
                return Fail(SocketReason());
            if (!WaitAfter(rc, Left(end)))
                return false;
        }
        data.remove_prefix(written);
    }
    return true;
}

long CTlsStream::Receive(char* buffer, std::size_t capacity)
{
    if (m_ended)
        return 0;
    if (m_closed)
        return -1;
    const auto end = CTcpSocket::Clock::now() + m_socket.GetTimeouts().read;
    for (;;) {
        // Decrypted data may be waiting on every pass, so no wait would ever see the deadline or
        // the stop request: a server streaming interim replies held the program for minutes.
        if (!m_socket.MayGoOn()) {
            Fail(SocketReason());
            return -1;
        }
        std::size_t got = 0;
        const int rc = ::SSL_read_ex(m_ssl, buffer, capacity, &got);
        if (rc == 1)
            return static_cast<long>(got);
        if (::SSL_get_error(m_ssl, rc) == SSL_ERROR_ZERO_RETURN) {
            m_closed = m_ended = true;
            return 0;
        }
        if (!WaitAfter(rc, Left(end)))
            return -1;
    }
}
