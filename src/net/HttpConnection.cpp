#include "net/HttpConnection.h"

#include <algorithm>
#include <cctype>

#include "net/HttpHead.h"
#include "net/TlsStream.h"

namespace {

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
    while (http_response::HeadEnd(header, header.size() < 3 ? 0 : header.size() - 3) == std::string::npos) {
        const long n = m_socket.Receive(&c, 1);
        if (n <= 0 || header.size() > CHttpHeadReader::kMaxHead)
            return Fail(n < 0 ? m_socket.FailureReason("proxy")
                              : "serwer proxy zamkn\xB9\xB3 po\xB3\xB9"
                                "czenie");
        header.push_back(c);
    }
    std::string statusLine = header.substr(0, header.find('\n'));
    if (statusLine.ends_with('\r'))
        statusLine.pop_back();
    const int status = http_response::StatusCode(statusLine);
    if (status < 200 || status > 299)
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
    m_peer = HostPort(host, port);
    m_socket.SetTimeouts(m_timeouts.socket);
    m_socket.SetDeadline(CTcpSocket::Clock::now() + m_timeouts.exchange);
    if (proxy) {
        if (!m_socket.Connect(proxy->host, proxy->port))
            return Fail(m_socket.FailureReason("proxy " + HostPort(proxy->host, proxy->port)));
        if (tls && !ProxyConnect(host, port))
            return false;
    } else if (!m_socket.Connect(host, port)) {
        return Fail(m_socket.FailureReason(m_peer));
    }
    if (!tls)
        return true;
    m_tls = std::make_unique<CTlsStream>(m_socket);
    if (!m_tls->Handshake(host, caFile))
        return Fail("TLS: " + m_tls->ErrorText());
    return true;
}

std::string CHttpConnection::ReadFailure() const
{
    if (m_tls && !m_tls->ErrorText().empty())
        return "TLS: " + m_tls->ErrorText();
    return m_socket.FailureReason(m_peer);
}

std::optional<HttpResponse> CHttpConnection::Exchange(std::string_view request)
{
    if (!SendAll(request)) {
        Fail(ReadFailure());
        return std::nullopt;
    }
    CHttpHeadReader reader;
    HttpResponse response;
    std::string rest;
    bool haveHead = false;
    char buffer[8192];
    for (;;) {
        const long n = Receive(buffer, sizeof buffer);
        if (n < 0) {
            // A reset or a time-out cuts the reply: what arrived is never taken for all of it.
            Fail(ReadFailure());
            return std::nullopt;
        }
        const bool closed = n == 0;
        const std::string_view piece(buffer, static_cast<std::size_t>(n));
        if (!haveHead) {
            const CHttpHeadReader::State state = reader.Feed(piece);
            if (state == CHttpHeadReader::State::Failed) {
                Fail(reader.Reason());
                return std::nullopt;
            }
            if (state == CHttpHeadReader::State::NeedMore) {
                if (!closed)
                    continue;
                Fail("serwer zamkn\xB9\xB3 po\xB3\xB9"
                     "czenie bez odpowiedzi");
                return std::nullopt;
            }
            haveHead = true;
            const http_response::Head& head = reader.Head();
            if (head.badFraming) {
                Fail("serwer " + m_peer +
                     " przys\xB3"
                     "a\xB3 odpowied\x9F bez czytelnej d\xB3ugo\x9C"
                     "ci");
                return std::nullopt;
            }
            response.statusLine = head.statusLine;
            response.status = head.status;
            response.header = head.header;
            rest = reader.TakeRest();
        } else {
            rest.append(piece);
        }
        const http_response::Head& head = reader.Head();
        const bool empty = response.status == 204 || response.status == 304;
        if (empty || (head.hasLength && head.length == 0))
            break;
        if (head.chunked) {
            const auto parse = http_response::DecodeChunked(rest, kMaxBody, response.body);
            if (parse == http_response::Parse::Complete)
                break;
            if (parse == http_response::Parse::Bad) {
                Fail("serwer " + m_peer +
                     " przys\xB3"
                     "a\xB3 nieczyteln\xB9 lub za d\xB3ug\xB9 odpowied\x9F");
                return std::nullopt;
            }
            if (closed) {
                Fail("serwer " + m_peer +
                     " przerwa\xB3 odpowied\x9F przed jej ostatni\xB9 cz\xEA\x9C"
                     "ci\xB9");
                return std::nullopt;
            }
            continue;
        }
        const std::size_t wanted = head.hasLength ? std::min(head.length, kMaxBody) : kMaxBody;
        if (rest.size() >= wanted) {
            // Beyond the cap the body is read no further: the verdict needs its beginning only.
            rest.resize(wanted);
            response.body = std::move(rest);
            break;
        }
        if (closed) {
            if (head.hasLength) {
                Fail("serwer " + m_peer +
                     " przerwa\xB3 odpowied\x9F: przys\xB3"
                     "a\xB3 " +
                     std::to_string(rest.size()) + " z " + std::to_string(head.length) + " bajt\xF3w");
                return std::nullopt;
            }
            response.body = std::move(rest); // the server ended the reply by closing
            break;
        }
    }
    Close();
    return response;
}
