#include "HttpsTestServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/err.h>
#include <openssl/ssl.h>

#include "support/Loopback.h"

namespace {

bool Run(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

bool WaitReadable(int fd, const std::atomic<bool>& stop, int totalMs)
{
    for (int waited = 0; waited < totalMs && !stop; waited += 50) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) > 0)
            return true;
    }
    return false;
}

} // namespace

bool TestCertificates::Make(std::string& why)
{
    if (!Run("openssl version")) {
        why = "openssl is not installed (Debian package openssl)";
        return false;
    }
    const std::string d = m_dir.path();
    const std::string ec = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
    const auto issue = [&](const std::string& name, const std::string& subject, const std::string& san) {
        if (!Run("openssl req" + ec + " -keyout " + d + "/" + name + ".key -out " + d + "/" + name +
                 ".csr -subj '/CN=" + subject + "'"))
            return false;
        std::ofstream(d + "/" + name + ".ext") << "subjectAltName=" << san << "\n";
        return Run("openssl x509 -req -in " + d + "/" + name + ".csr -CA " + d + "/ca.pem -CAkey " + d +
                   "/ca.key -CAcreateserial -out " + d + "/" + name + ".pem -days 2 -extfile " + d + "/" +
                   name + ".ext");
    };
    const bool ok = Run("openssl req -x509" + ec + " -keyout " + d + "/ca.key -out " + d +
                        "/ca.pem -days 2 -subj '/CN=Brivantel Test CA'") &&
                    Run("openssl req -x509" + ec + " -keyout " + d + "/other-ca.key -out " + d +
                        "/other-ca.pem -days 2 -subj '/CN=Brivantel Other CA'") &&
                    issue("server", "127.0.0.1", "IP:127.0.0.1,DNS:localhost") &&
                    issue("other-name", "sms.other.example", "DNS:sms.other.example");
    if (!ok)
        why = "could not make the test certificates with openssl";
    return ok;
}

HttpsTestServer::HttpsTestServer()
{
    m_reply = Reply(200, "OK", "OK");
}

HttpsTestServer::~HttpsTestServer()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_listen >= 0)
        ::close(m_listen);
    if (m_context)
        ::SSL_CTX_free(static_cast<SSL_CTX*>(m_context));
}

std::string HttpsTestServer::Reply(int status, const std::string& reason, const std::string& body)
{
    return "HTTP/1.1 " + std::to_string(status) + " " + reason +
           "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

bool HttpsTestServer::Start(const std::string& certFile, const std::string& keyFile, std::string& why)
{
    return Start(certFile, keyFile, why, false);
}

bool HttpsTestServer::Start(const std::string& certFile, const std::string& keyFile, std::string& why,
                            bool oldTlsOnly)
{
    // A client that goes while a reply is still being written must not end the test program.
    ::signal(SIGPIPE, SIG_IGN);
    if (!certFile.empty()) {
        SSL_CTX* context = ::SSL_CTX_new(::TLS_server_method());
        m_context = context;
        if (!context || ::SSL_CTX_use_certificate_file(context, certFile.c_str(), SSL_FILETYPE_PEM) != 1 ||
            ::SSL_CTX_use_PrivateKey_file(context, keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
            why = "the test server cannot load its certificate";
            return false;
        }
        if (oldTlsOnly) {
            ::SSL_CTX_set_min_proto_version(context, TLS1_VERSION);
            ::SSL_CTX_set_max_proto_version(context, TLS1_1_VERSION);
            ::SSL_CTX_set_cipher_list(context, "DEFAULT@SECLEVEL=0");
        }
    }
    m_listen = ListenOnLoopback(m_port);
    if (m_listen < 0) {
        why = "the test server cannot listen on 127.0.0.1";
        return false;
    }
    m_thread = std::thread([this] { Serve(); });
    return true;
}

void HttpsTestServer::SetReply(std::string raw)
{
    std::lock_guard lock(m_mutex);
    m_reply = std::move(raw);
}

std::vector<std::string> HttpsTestServer::Requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

void HttpsTestServer::Serve()
{
    while (!m_stop) {
        if (!WaitReadable(m_listen, m_stop, 50))
            continue;
        const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        timeval limit{5, 0}; // a client that stops talking does not hold the server for ever
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        Handle(fd);
        ::close(fd);
    }
}

void HttpsTestServer::Handle(int fd)
{
    SSL* ssl = nullptr;
    if (m_context) {
        ssl = ::SSL_new(static_cast<SSL_CTX*>(m_context));
        ::SSL_set_fd(ssl, fd);
        if (::SSL_accept(ssl) != 1) { // the client refused our certificate, or spoke no TLS
            ::ERR_clear_error();
            ::SSL_free(ssl);
            return;
        }
    }
    const auto read = [&](char* buffer, int size) {
        return ssl ? ::SSL_read(ssl, buffer, size) : static_cast<int>(::recv(fd, buffer, size, 0));
    };
    std::string request;
    char buffer[4096];
    std::size_t want = std::string::npos;
    while (request.size() < want) {
        const int n = read(buffer, sizeof buffer);
        if (n <= 0)
            break;
        request.append(buffer, static_cast<std::size_t>(n));
        const auto end = request.find("\r\n\r\n");
        if (want == std::string::npos && end != std::string::npos) {
            std::size_t length = 0;
            const auto at = request.find("\r\nContent-Length: ");
            if (at != std::string::npos && at < end)
                length = std::stoul(request.substr(at + 18));
            want = end + 4 + length;
        }
    }
    std::string reply;
    {
        std::lock_guard lock(m_mutex);
        m_requests.push_back(request);
        reply = m_reply;
    }
    if (m_stalled) {
        // Holds the connection, answering nothing, until the client gives up.
        while (!m_stop) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 50) > 0) {
                char drop[256];
                const ssize_t n = ::recv(fd, drop, sizeof drop, MSG_DONTWAIT);
                if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
                    break;
            }
        }
    } else {
        const auto write = [&](const char* data, std::size_t size) {
            return ssl ? ::SSL_write(ssl, data, static_cast<int>(size)) > 0
                       : ::send(fd, data, size, MSG_NOSIGNAL) == static_cast<ssize_t>(size);
        };
        bool open = true;
        do {
            if (m_drip > 0) {
                for (std::size_t i = 0; open && i < reply.size() && !m_stop; ++i) {
                    open = write(&reply[i], 1);
                    std::this_thread::sleep_for(std::chrono::milliseconds(m_drip));
                }
            } else {
                open = write(reply.data(), reply.size());
            }
        } while (m_repeated && open && !m_stop);
        if (m_reset) {
            const linger hard{1, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        } else if (ssl) {
            ::SSL_shutdown(ssl);
        }
    }
    if (ssl)
        ::SSL_free(ssl);
}
