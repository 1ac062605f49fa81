#include "gateway-sim/GatewaySimulator.h"

#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "store/Windows1250.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr const char* kSessionCookie = "ASPSESSIONIDGQGQGRCT=SIMSESSION";
constexpr std::size_t kMaxRequest = 1 << 20;
constexpr std::size_t kFloodSize = 10 << 20;

std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// The value of a header line, by case-insensitive name; empty when missing.
std::string HeaderValue(const std::string& head, const std::string& name)
{
    const std::string lower = Lower(head);
    const std::string key = "\r\n" + Lower(name) + ":";
    const auto at = lower.find(key);
    if (at == std::string::npos)
        return {};
    auto from = at + key.size();
    while (from < head.size() && head[from] == ' ')
        ++from;
    const auto end = head.find("\r\n", from);
    return head.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

// The path of the request line's target, in origin or absolute form, without the query.
std::string TargetPath(const std::string& target)
{
    std::string path = target;
    if (path.rfind("http://", 0) == 0) {
        const auto slash = path.find('/', 7);
        path = slash == std::string::npos ? "/" : path.substr(slash);
    }
    return path.substr(0, path.find('?'));
}

std::string Page(const std::string& head, const std::string& html, const char* status = "200 OK")
{
    return std::string("HTTP/1.1 ") + status + "\r\n" + head +
           "Content-Type: text/html; charset=windows-1250\r\nContent-Length: " + std::to_string(html.size()) +
           "\r\nConnection: close\r\n\r\n" + html;
}

std::string Html(const std::string& inner)
{
    return "<html><head><title>SMS</title></head><body>" + inner + "</body></html>\r\n";
}

std::string NotFound()
{
    const std::string html = Html("Nie znaleziono.");
    return "HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: " +
           std::to_string(html.size()) + "\r\nConnection: close\r\n\r\n" + html;
}

void SendAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return; // the client went away; nothing more to say
        data.remove_prefix(static_cast<std::size_t>(n));
    }
}

} // namespace

CGatewaySimulator::CGatewaySimulator() = default;

CGatewaySimulator::~CGatewaySimulator()
{
    Stop();
}

bool CGatewaySimulator::Start(std::uint16_t port, const std::string& address)
{
    m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listen < 0)
        return false;
    const int one = 1;
    ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    if (::inet_pton(AF_INET, address.c_str(), &a.sin_addr) != 1 ||
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(m_listen, 16) != 0) {
        ::close(m_listen);
        m_listen = -1;
        return false;
    }
    socklen_t len = sizeof a;
    ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&a), &len);
    m_port = ntohs(a.sin_port);
    m_stop = false;
    m_thread = std::thread([this] { Serve(); });
    return true;
}

void CGatewaySimulator::Stop()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_listen >= 0) {
        ::close(m_listen);
        m_listen = -1;
    }
}

std::string CGatewaySimulator::HostValue() const
{
    return "127.0.0.1:" + std::to_string(m_port);
}

void CGatewaySimulator::SetLog(std::function<void(const Message&)> log)
{
    std::lock_guard lock(m_mutex);
    m_log = std::move(log);
}

std::vector<std::string> CGatewaySimulator::Requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

std::vector<CGatewaySimulator::Message> CGatewaySimulator::Messages() const
{
    std::lock_guard lock(m_mutex);
    return m_messages;
}

std::size_t CGatewaySimulator::MessageCount() const
{
    std::lock_guard lock(m_mutex);
    return m_messageCount;
}

bool CGatewaySimulator::WaitForRequests(std::size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_mutex);
    return m_recorded.wait_for(lock, timeout, [&] { return m_requestCount >= count; });
}

std::string CGatewaySimulator::UrlDecode(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out.push_back(' ');
        } else if (text[i] == '%' && i + 2 < text.size() &&
                   std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
                   std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out.push_back(static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

std::string CGatewaySimulator::FormField(const std::string& body, const std::string& name)
{
    std::size_t from = 0;
    while (from <= body.size()) {
        auto end = body.find('&', from);
        if (end == std::string::npos)
            end = body.size();
        const std::string pair = body.substr(from, end - from);
        const auto eq = pair.find('=');
        if (pair.substr(0, eq) == name)
            return eq == std::string::npos ? std::string() : UrlDecode(pair.substr(eq + 1));
        from = end + 1;
    }
    return {};
}

bool CGatewaySimulator::WaitReadable(int fd, Clock::time_point end) const
{
    while (!m_stop && Clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) > 0)
            return true;
    }
    return false;
}

void CGatewaySimulator::Serve()
{
    while (!m_stop) {
        pollfd p{m_listen, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        if (m_behaviour == Behaviour::CloseAtOnce) {
            ::close(fd);
            continue;
        }
        Handle(fd);
        ::close(fd);
    }
}

void CGatewaySimulator::Handle(int fd)
{
    const auto end = Clock::now() + 10s;
    std::string raw;
    char buffer[65536];
    // The header, then as much body as Content-Length says.
    std::size_t wanted = std::string::npos;
    while (raw.size() < wanted && raw.size() < kMaxRequest) {
        if (!WaitReadable(fd, end))
            break;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        raw.append(buffer, static_cast<std::size_t>(n));
        const auto headEnd = raw.find("\r\n\r\n");
        if (wanted == std::string::npos && headEnd != std::string::npos) {
            const std::string length = HeaderValue(raw.substr(0, headEnd + 2), "Content-Length");
            wanted = headEnd + 4 + (length.empty() ? 0 : std::stoul(length));
        }
    }
    if (wanted == std::string::npos || raw.size() < wanted) {
        Record(std::move(raw));
        return;
    }
    if (m_behaviour == Behaviour::NeverAnswer) {
        Record(raw);
        while (WaitReadable(fd, Clock::time_point::max()) && ::recv(fd, buffer, sizeof buffer, 0) > 0) {
        }
        return;
    }
    std::string confirmation;
    const std::string reply = Answer(raw, confirmation);
    const auto split = confirmation.empty() ? std::string::npos : reply.find(confirmation);
    if (m_behaviour == Behaviour::SplitConfirmation && split != std::string::npos) {
        const auto cut = split + confirmation.size() / 2;
        SendAll(fd, std::string_view(reply).substr(0, cut));
        std::this_thread::sleep_for(200ms); // long enough for the client to read the first half alone
        SendAll(fd, std::string_view(reply).substr(cut));
    } else {
        SendAll(fd, reply);
    }
    ::shutdown(fd, SHUT_WR);
    // Whatever the client sent beyond the body belongs to its request too.
    const auto drainEnd = Clock::now() + 2s;
    while (WaitReadable(fd, drainEnd)) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        raw.append(buffer, static_cast<std::size_t>(n));
    }
    Record(std::move(raw));
}

void CGatewaySimulator::Record(std::string raw)
{
    {
        std::lock_guard lock(m_mutex);
        ++m_requestCount;
        if (m_keep)
            m_requests.push_back(std::move(raw));
    }
    m_recorded.notify_all();
}

void CGatewaySimulator::Accepted(Message message)
{
    std::function<void(const Message&)> log;
    {
        std::lock_guard lock(m_mutex);
        ++m_messageCount;
        if (m_keep)
            m_messages.push_back(message);
        log = m_log;
    }
    if (log)
        log(message);
}

std::string CGatewaySimulator::Answer(const std::string& request, std::string& confirmation)
{
    const auto headEnd = request.find("\r\n\r\n");
    const std::string head = request.substr(0, headEnd + 2);
    const std::string body = request.substr(headEnd + 4);
    const auto firstSpace = head.find(' ');
    const auto secondSpace = head.find(' ', firstSpace + 1);
    if (firstSpace == std::string::npos || secondSpace == std::string::npos)
        return NotFound();
    const std::string method = head.substr(0, firstSpace);
    const std::string path = TargetPath(head.substr(firstSpace + 1, secondSpace - firstSpace - 1));
    const Behaviour behaviour = m_behaviour;
    const auto confirm = [&](const std::string& text) {
        if (behaviour == Behaviour::Flood)
            return std::string(kFloodSize, 'x');
        if (behaviour == Behaviour::NoConfirmation)
            return Html(windows1250::FromUtf8Lossy("Wystąpił błąd. Spróbuj ponownie później."));
        confirmation = text;
        return Html(windows1250::FromUtf8Lossy("Wiadomość ") + text);
    };
    const auto refuse = [] { return Page("", Html(windows1250::FromUtf8Lossy("Błędne dane formularza."))); };
    // The reply to a posted form: the confirmation page, or the way a failing gateway answers.
    const auto reply = [&](Message message, const std::string& text) {
        if (behaviour == Behaviour::NotSent) {
            // The refusal holds the confirmation text after "nie".
            std::string refusal = text;
            const auto blank = refusal.find(' ');
            refusal.insert(blank == std::string::npos || text.starts_with("zosta") ? 0 : blank + 1, "nie ");
            return Page("", Html(windows1250::FromUtf8Lossy("Wiadomość ") + refusal));
        }
        if (behaviour == Behaviour::ServerError)
            return Page("", confirm(text), "500 Internal Server Error");
        Accepted(std::move(message));
        return Page("", confirm(text));
    };

    if (method == "GET" && path == "/sms/sms.asp") {
        const std::string cookie = behaviour == Behaviour::NoCookie
                                       ? ""
                                       : "Set-Cookie: " + std::string(kSessionCookie) + "; path=/\r\n";
        return Page(cookie, Html("<a href=\"sendsms.asp\">Wysylanie SMS</a>"));
    }
    if (method == "GET" && path == "/sms/sendsms.asp") {
        m_lastCode = "K" + std::to_string(1000 + m_nextCode++);
        const std::string hidden = behaviour == Behaviour::NoCode
                                       ? ""
                                       : "<input type=\"hidden\" name=\"code\" value=\"" + m_lastCode + "\">";
        return Page("", Html("<form method=\"post\" action=\"sendsms.asp\">" + hidden +
                             "<input name=\"numer\"><textarea name=\"message\"></textarea></form>"));
    }
    if (method == "POST" && path == "/sms/sendsms.asp") {
        const std::string cookie = HeaderValue(head, "Cookie");
        const bool session =
            behaviour == Behaviour::NoCookie || cookie.find(kSessionCookie) != std::string::npos;
        const std::string number = FormField(body, "numer");
        if (!session || number.empty() || FormField(body, "code") != m_lastCode)
            return refuse();
        return reply({"Era", number, FormField(body, "message"), FormField(body, "podpis")},
                     windows1250::FromUtf8Lossy("została wysłana!"));
    }
    if (method == "POST" && path == "/servlet/cmg.vasp.smlp.ShortMessageLaunchPad") {
        const std::string number = FormField(body, "RECIPIENT");
        if (number.empty())
            return refuse();
        return reply({"Idea", number, FormField(body, "SHORT_MESSAGE"), FormField(body, "SENDER")},
                     windows1250::FromUtf8Lossy("została wysłana"));
    }
    if (method == "POST" && path == "/cgi-bin/mail2sms.pl") {
        const std::string number = FormField(body, "numer");
        if (number.empty())
            return refuse();
        return reply({"Plus", number, FormField(body, "tekst"), FormField(body, "mail")},
                     windows1250::FromUtf8Lossy("SMS został wysłany!!!"));
    }
    return NotFound();
}
