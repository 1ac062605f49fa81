#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Plays the maker's web server (or a proxy) on 127.0.0.1 with a free port: answers each
// connection's one request with the reply given for its path, and records the raw requests.
class TestHttpServer
{
public:
    struct Reply
    {
        std::string raw;           // the whole response, head and body, sent as given
        std::size_t pieceSize = 0; // > 0: written in pieces of this size, one after another
        bool keepOpen = false;     // after the reply, hold the connection until the client closes
        bool silent = false;       // never answer; hold the connection until the client closes
    };

    TestHttpServer();
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    std::uint16_t Port() const { return m_port; }
    std::string HostPort() const { return "127.0.0.1:" + std::to_string(m_port); }

    // Paths without a reply get a 404 with an error page.
    void Route(const std::string& path, Reply reply);
    std::vector<std::string> Requests() const;
    // The paths asked for, in order.
    std::vector<std::string> Paths() const;

    static std::string Response(int status, const std::string& body, bool withLength = true);
    static Reply Ok(const std::string& body) { return {Response(200, body), 0, false, false}; }

private:
    void Serve();
    void Handle(int fd);
    bool WaitReadable(int fd) const;

    int m_listen = -1;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::map<std::string, Reply> m_routes;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};

// The path of a request's target, absolute ("http://host/x") or origin form ("/x").
std::string RequestPath(const std::string& request);
