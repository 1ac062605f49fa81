#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/TempDir.h"

// Test certificates made by openssl: a test CA, another CA nobody trusts, a server certificate
// from the test CA for 127.0.0.1 and localhost, and one from the test CA for another name only.
class TestCertificates
{
public:
    // False (with the reason, naming the package) when openssl is missing or fails.
    bool Make(std::string& why);
    std::string CaFile() const { return m_dir.file("ca.pem"); }
    std::string OtherCaFile() const { return m_dir.file("other-ca.pem"); }
    std::string ServerCert() const { return m_dir.file("server.pem"); }
    std::string ServerKey() const { return m_dir.file("server.key"); }
    std::string OtherNameCert() const { return m_dir.file("other-name.pem"); }
    std::string OtherNameKey() const { return m_dir.file("other-name.key"); }

private:
    TempDir m_dir;
};

// An HTTP server on 127.0.0.1 with a free port, over TLS (OpenSSL) when given a certificate and
// plain otherwise: reads each connection's one request (header and Content-Length body), records
// its bytes, and answers with the raw reply set, or never (stalled) until the client goes.
class HttpsTestServer
{
public:
    HttpsTestServer();
    ~HttpsTestServer();
    HttpsTestServer(const HttpsTestServer&) = delete;
    HttpsTestServer& operator=(const HttpsTestServer&) = delete;

    // certFile empty: plain HTTP. oldTlsOnly: speaks TLS 1.1 at most, as servers from before TLS 1.2.
    bool Start(const std::string& certFile, const std::string& keyFile, std::string& why, bool oldTlsOnly);
    bool Start(const std::string& certFile, const std::string& keyFile, std::string& why);
    std::uint16_t Port() const { return m_port; }

    void SetReply(std::string raw);
    void SetStalled(bool stalled) { m_stalled = stalled; }
    // Writes the reply again and again until the client goes (a stream of "100 Continue").
    void SetRepeated(bool repeated) { m_repeated = repeated; }
    // Ends the connection with a reset (TCP RST) right after the reply, without a TLS close.
    void SetReset(bool reset) { m_reset = reset; }
    // Writes the reply a byte at a time, this many milliseconds apart (a dripping gateway).
    void SetDrip(int milliseconds) { m_drip = milliseconds; }
    std::vector<std::string> Requests() const;

    static std::string Reply(int status, const std::string& reason, const std::string& body);

private:
    void Serve();
    void Handle(int fd);

    void* m_context = nullptr; // SSL_CTX
    int m_listen = -1;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_stalled{false};
    std::atomic<bool> m_repeated{false};
    std::atomic<bool> m_reset{false};
    std::atomic<int> m_drip{0};
    mutable std::mutex m_mutex;
    std::string m_reply;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};
