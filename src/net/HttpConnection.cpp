#include "net/HttpConnection.h"

#include <algorithm>
#include <cctype>

#include "net/TlsStream.h"

namespace {

constexpr std::size_t kMaxHeader = 64 * 1024;

std::string Lower(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// The value of the first header line of that (lower-case) name, or nothing.
std::optional<std::string> HeaderValue(std::string_view header, std::string_view name)
{
    while (!header.empty()) {
        const auto end = header.find("\r\n");
        const std::string_view line = header.substr(0, end);
        const auto colon = line.find(':');
        if (colon != std::string_view::npos && Lower(Trim(line.substr(0, colon))) == name)
            return std::string(Trim(line.substr(colon + 1)));
        if (end == std::string_view::npos)
            break;
        header.remove_prefix(end + 2);
    }
    return std::nullopt;
}

std::optional<std::size_t> ParseLength(const std::string& text)
{
    if (text.empty() || text.size() > 15 ||
        !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c) != 0; }))
        return std::nullopt;
    return static_cast<std::size_t>(std::stoull(text));
}

std::string HostPort(const std::string& host, std::uint16_t port)
{
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

} // namespace

CHttpConnection::CHttpConnection(CTcpSocket::WaitHook hook) : m_socket(std::move(hook)) {}

CHttpConnection::~CHttpConnection()
{
    Close();
}

void CHttpConnection::Close()
{
    m_tls.reset();
    m_socket.Close();
}

bool CHttpConnection::Fail(std::string reason)
{
    m_error = std::move(reason);
    Close();
    return false;
}

bool CHttpConnection::SendAll(std::string_view data)
{
    return m_tls ? m_tls->SendAll(data) : m_socket.SendAll(data);
}

long CHttpConnection::Receive(char* buffer, std::size_t capacity)
{
    return m_tls ? m_tls->Receive(buffer, capacity) : m_socket.Receive(buffer, capacity);
}

bool CHttpConnection::ProxyConnect(const std::string& host, std::uint16_t port)
{
    const std::string target = HostPort(host, port);
    if (!m_socket.SendAll("CONNECT " + target + " HTTP/1.1\r\nHost: " + target + "\r\n\r\n"))
        return Fail(m_socket.FailureReason("proxy"));
    // Byte by byte: whatever follows the proxy's answer belongs to the TLS handshake.
    std::string header;
    char c = 0;
    while (header.size() < 4 || header.compare(header.size() - 4, 4, "\r\n\r\n") != 0) {
        const long n = m_socket.Receive(&c, 1);
        if (n <= 0 || header.size() > kMaxHeader)
            return Fail(n < 0 ? m_socket.FailureReason("proxy")
                              : "serwer proxy zamkn\xB9\xB3 po\xB3\xB9"
                                "czenie");
        header.push_back(c);
    }
    const std::string statusLine = header.substr(0, header.find("\r\n"));
    const auto blank = statusLine.find(' ');
    if (!statusLine.starts_with("HTTP/") || blank == std::string::npos || statusLine.size() < blank + 4 ||
        statusLine[blank + 1] != '2')
        return Fail("serwer proxy odm\xF3wi\xB3 po\xB3\xB9"
                    "czenia z " +
                    target + ": " + statusLine);
    return true;
}

bool CHttpConnection::Open(const std::string& host, std::uint16_t port, bool tls, const std::string& caFile,
                           const std::optional<Proxy>& proxy)
{
    Close();
    m_error.clear();
    m_socket.SetTimeouts(m_timeouts.socket);
    m_socket.SetDeadline(CTcpSocket::Clock::now() + m_timeouts.exchange);
    if (proxy) {
        if (!m_socket.Connect(proxy->host, proxy->port))
            return Fail(m_socket.FailureReason("proxy " + HostPort(proxy->host, proxy->port)));
        if (tls && !ProxyConnect(host, port))
            return false;
    } else if (!m_socket.Connect(host, port)) {
        return Fail(m_socket.FailureReason(HostPort(host, port)));
    }
    if (!tls)
        return true;
    m_tls = std::make_unique<CTlsStream>(m_socket);
    if (!m_tls->Handshake(host, caFile))
        return Fail("TLS: " + m_tls->ErrorText());
    return true;
}

bool CHttpConnection::DecodeChunked(std::string_view data, std::string& body)
{
    body.clear();
    for (;;) {
        const auto lineEnd = data.find("\r\n");
        if (lineEnd == std::string_view::npos)
            return false;
        std::string_view sizeText = data.substr(0, lineEnd);
        sizeText = Trim(sizeText.substr(0, sizeText.find(';')));
        std::size_t size = 0;
        if (sizeText.empty() || sizeText.size() > 8)
            return false;
        for (const char c : sizeText) {
            const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                              : (std::tolower(static_cast<unsigned char>(c)) >= 'a' &&
                                 std::tolower(static_cast<unsigned char>(c)) <= 'f')
                                  ? std::tolower(static_cast<unsigned char>(c)) - 'a' + 10
                                  : -1;
            if (digit < 0)
                return false;
            size = size * 16 + static_cast<std::size_t>(digit);
        }
        data.remove_prefix(lineEnd + 2);
        if (size == 0) // the last chunk; then trailer lines up to an empty one
            return data.starts_with("\r\n") || data.find("\r\n\r\n") != std::string_view::npos;
        if (data.size() < size + 2)
            return false;
        body.append(data.substr(0, size));
        data.remove_prefix(size + 2);
    }
}

std::optional<HttpResponse> CHttpConnection::Exchange(std::string_view request)
{
    if (!SendAll(request)) {
        Fail(m_tls ? "TLS: " + m_tls->ErrorText() : m_socket.FailureReason("bramki"));
        return std::nullopt;
    }
    std::string data;
    HttpResponse response;
    std::size_t bodyStart = std::string::npos;
    std::optional<std::size_t> length;
    bool chunked = false;
    char buffer[8192];
    for (;;) {
        if (bodyStart == std::string::npos) {
            const auto end = data.find("\r\n\r\n");
            if (end != std::string::npos) {
                const std::string head = data.substr(0, end + 2);
                const auto lineEnd = head.find("\r\n");
                response.statusLine = head.substr(0, lineEnd);
                response.header = head.substr(lineEnd + 2);
                const auto blank = response.statusLine.find(' ');
                const std::string code =
                    blank == std::string::npos ? std::string() : response.statusLine.substr(blank + 1, 3);
                if (!response.statusLine.starts_with("HTTP/") || code.size() != 3 ||
                    !std::all_of(code.begin(), code.end(),
                                 [](unsigned char c) { return std::isdigit(c) != 0; })) {
                    Fail("serwer nie odpowiedzia\xB3 po HTTP");
                    return std::nullopt;
                }
                response.status = std::stoi(code);
                if (response.status >= 100 &&
                    response.status < 200) { // an interim answer: the real one follows
                    data.erase(0, end + 4);
                    continue;
                }
                bodyStart = end + 4;
                chunked =
                    Lower(HeaderValue(response.header, "transfer-encoding").value_or("")).find("chunked") !=
                    std::string::npos;
                if (!chunked)
                    length = ParseLength(HeaderValue(response.header, "content-length").value_or(""));
                if (response.status == 204 || response.status == 304)
                    length = 0;
            } else if (data.size() > kMaxHeader) {
                Fail("nag\xB3\xF3wek odpowiedzi serwera jest za d\xB3ugi");
                return std::nullopt;
            }
        }
        if (bodyStart != std::string::npos) {
            const std::string_view rest = std::string_view(data).substr(bodyStart);
            if (chunked && DecodeChunked(rest, response.body))
                break;
            if (!chunked && length && rest.size() >= *length) {
                response.body = rest.substr(0, *length);
                break;
            }
            if (rest.size() >= kMaxBody) {
                if (!chunked)
                    response.body = rest.substr(0, kMaxBody);
                break;
            }
        }
        const long n = Receive(buffer, sizeof buffer);
        if (n < 0) {
            Fail(m_tls ? "TLS: " + m_tls->ErrorText() : m_socket.FailureReason("bramki"));
            return std::nullopt;
        }
        if (n == 0) {
            if (bodyStart == std::string::npos) {
                Fail("serwer zamkn\xB9\xB3 po\xB3\xB9"
                     "czenie bez odpowiedzi");
                return std::nullopt;
            }
            // The server ended the reply by closing: the body is what arrived.
            const std::string_view rest = std::string_view(data).substr(bodyStart);
            if (!chunked || !DecodeChunked(rest, response.body))
                response.body = chunked ? response.body : std::string(rest);
            break;
        }
        data.append(buffer, static_cast<std::size_t>(n));
    }
    Close();
    return response;
}
