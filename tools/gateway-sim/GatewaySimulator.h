#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A small HTTP server that answers the three operators' forms the way their gateways did: Era's
// entry page with a session cookie, its form page with the hidden code and the form post; Idea's
// launch pad; Plus's mail-to-SMS form. Each accepted message is recorded (and reported to the log
// callback); every request is kept byte for byte. One connection at a time, one request each.
class CGatewaySimulator
{
public:
    // How the server misbehaves, for the tests.
    enum class Behaviour
    {
        Normal,
        SplitConfirmation, // the confirmation text comes in two writes with a pause between
        NoConfirmation,    // the reply page lacks the confirmation text
        NeverAnswer,       // reads the request and never answers
        CloseAtOnce,       // closes every connection as soon as it is accepted
        Flood,             // answers with 10 MB without the confirmation text
        NoCookie,          // Era's entry page sets no cookie
        NoCode,            // Era's form page ends without the hidden code
        NotSent,           // the reply page says "Wiadomość nie została wysłana!"; nothing is accepted
        ServerError,       // status 500 over the usual confirmation page; nothing is accepted
    };

    struct Message
    {
        std::string gateway; // "Era", "Idea" or "Plus"
        std::string number;  // as the form carried it, decoded
        std::string text;    // decoded, Windows-1250
        std::string sender;  // the signature or mail field, decoded
    };

    CGatewaySimulator();
    ~CGatewaySimulator();
    CGatewaySimulator(const CGatewaySimulator&) = delete;
    CGatewaySimulator& operator=(const CGatewaySimulator&) = delete;

    // Listens on the address and port (0: any free port) and serves on a thread of its own.
    bool Start(std::uint16_t port = 0, const std::string& address = "127.0.0.1");
    void Stop();
    std::uint16_t Port() const { return m_port; }
    // "127.0.0.1:PORT", the value for the "Hosts" settings.
    std::string HostValue() const;

    void SetBehaviour(Behaviour behaviour) { m_behaviour = behaviour; }
    void SetLog(std::function<void(const Message&)> log);
    // Off: requests and messages are only counted, not kept (long runs, benchmarks).
    void SetKeeping(bool keep) { m_keep = keep; }

    std::vector<std::string> Requests() const;
    std::vector<Message> Messages() const;
    std::size_t MessageCount() const;
    // Waits until that many requests have been recorded in full; false when they did not come.
    bool WaitForRequests(std::size_t count,
                         std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

    // Form decoding: "+" as a space, "%XX" as the byte.
    static std::string UrlDecode(const std::string& text);
    // A field of a form body, decoded; empty when missing.
    static std::string FormField(const std::string& body, const std::string& name);

private:
    void Serve();
    void Handle(int fd);
    std::string Answer(const std::string& request, std::string& body);
    void Record(std::string raw);
    void Accepted(Message message);
    bool WaitReadable(int fd, std::chrono::steady_clock::time_point end) const;

    int m_listen = -1;
    std::uint16_t m_port = 0;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_keep{true};
    std::size_t m_requestCount = 0;
    std::size_t m_messageCount = 0;
    std::atomic<Behaviour> m_behaviour{Behaviour::Normal};
    unsigned m_nextCode = 1;
    std::string m_lastCode;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_recorded;
    std::vector<std::string> m_requests;
    std::vector<Message> m_messages;
    std::function<void(const Message&)> m_log;
};
