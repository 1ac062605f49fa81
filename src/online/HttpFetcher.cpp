#include "online/HttpFetcher.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "store/SettingsData.h"
#include "store/Windows1250.h"

namespace http_response {
namespace {

std::string Lower(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
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

// Decimal digits only, no sign, no overflow.
bool ParseSize(std::string_view text, std::size_t& value, int base = 10)
{
    if (text.empty() || text.size() > 15)
        return false;
    value = 0;
    for (const char c : text) {
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && std::isxdigit(static_cast<unsigned char>(c)))
            digit = std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
        if (digit < 0)
            return false;
        value = value * static_cast<std::size_t>(base) + static_cast<std::size_t>(digit);
    }
    return true;
}

bool ParseStatusLine(std::string_view line, int& status)
{
    // "HTTP/1.1 200 OK"
    if (line.size() < 12 || line.substr(0, 7) != "HTTP/1." || line[8] != ' ')
        return false;
    const std::string_view code = line.substr(9, 3);
    if (!std::all_of(code.begin(), code.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    if (line.size() > 12 && line[12] != ' ')
        return false;
    status = (code[0] - '0') * 100 + (code[1] - '0') * 10 + (code[2] - '0');
    return true;
}

bool ParseHeader(std::string_view line, Head& head)
{
    const auto colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0)
        return false;
    const std::string name = Lower(Trim(line.substr(0, colon)));
    const std::string_view value = Trim(line.substr(colon + 1));
    if (name == "content-length") {
        std::size_t n = 0;
        if (!ParseSize(value, n) || (head.hasLength && n != head.length))
            return false;
        head.hasLength = true;
        head.length = n;
    } else if (name == "transfer-encoding") {
        const std::string v = Lower(value);
        if (v == "chunked")
            head.chunked = true;
        else if (v != "identity")
            return false; // a coding we cannot undo
    }
    return true;
}

} // namespace

Parse ParseHead(std::string_view raw, Head& head)
{
    const auto end = raw.find("\r\n\r\n");
    if (end == std::string_view::npos)
        return Parse::NeedMore;
    head = Head{};
    head.size = end + 4;
    std::string_view rest = raw.substr(0, end + 2);
    bool first = true;
    while (!rest.empty()) {
        const auto eol = rest.find("\r\n");
        const std::string_view line = rest.substr(0, eol);
        rest.remove_prefix(eol + 2);
        if (first) {
            if (!ParseStatusLine(line, head.status))
                return Parse::Bad;
            first = false;
        } else if (!ParseHeader(line, head)) {
            return Parse::Bad;
        }
    }
    if (head.chunked)
        head.hasLength = false; // the chunking decides where the body ends
    return Parse::Complete;
}

Parse DecodeChunked(std::string_view raw, std::size_t maxBody, std::string& body)
{
    body.clear();
    for (;;) {
        const auto eol = raw.find("\r\n");
        if (eol == std::string_view::npos)
            return raw.size() > 1024 ? Parse::Bad : Parse::NeedMore;
        std::string_view sizeText = raw.substr(0, eol);
        sizeText = Trim(sizeText.substr(0, sizeText.find(';'))); // chunk extensions are ignored
        std::size_t size = 0;
        if (!ParseSize(sizeText, size, 16))
            return Parse::Bad;
        raw.remove_prefix(eol + 2);
        if (size == 0) {
            // Trailer lines up to an empty line.
            const auto end = raw.find("\r\n");
            if (end == 0)
                return Parse::Complete;
            return raw.find("\r\n\r\n") == std::string_view::npos ? Parse::NeedMore : Parse::Complete;
        }
        if (body.size() + size > maxBody)
            return Parse::Bad;
        if (raw.size() < size + 2)
            return Parse::NeedMore;
        if (raw.substr(size, 2) != "\r\n")
            return Parse::Bad;
        body.append(raw.substr(0, size));
        raw.remove_prefix(size + 2);
    }
}

} // namespace http_response

CHttpFetcher::CHttpFetcher(const CSettingsData& settings, std::string serverHost, CTcpSocket::WaitHook hook)
    : CHttpFetcher(settings, std::move(serverHost), std::move(hook), Limits{})
{
}

CHttpFetcher::CHttpFetcher(const CSettingsData& settings, std::string serverHost, CTcpSocket::WaitHook hook,
                           const Limits& limits)
    : m_settings(settings), m_serverHost(std::move(serverHost)), m_hook(std::move(hook)), m_limits(limits)
{
}

std::string CHttpFetcher::BuildRequest(const std::string& serverHost, const std::string& path)
{
    return "GET http://" + serverHost + path +
           " HTTP/1.1\r\n"
           "Proxy-Connection: Keep-Alive\r\n"
           "User-Agent: Mozilla/4.0 (compatible; MSIE 5.0; Windows 98; chip_1098; DigExt\r\n"
           "Host: " +
           serverHost + "\r\nAccept: */*\r\n\r\n";
}

bool CHttpFetcher::ConnectToEndpoint(CTcpSocket& socket)
{
    std::string host;
    std::uint16_t port = 0;
    bool usable = false;
    if (m_settings.GetUseProxy()) {
        const std::int32_t proxyPort = m_settings.GetProxyPort();
        m_peer = "proxy " + m_settings.GetProxyHost() + ":" + std::to_string(proxyPort);
        usable = proxyPort >= 1 && proxyPort <= 65535 &&
                 CTcpSocket::SplitHostPort(m_settings.GetProxyHost(), static_cast<std::uint16_t>(proxyPort),
                                           host, port);
    } else {
        m_peer = m_serverHost;
        usable = CTcpSocket::SplitHostPort(m_serverHost, 80, host, port);
    }
    if (!usable)
        m_reason = windows1250::FromUtf8Lossy("zły adres serwera ") + m_peer;
    else if (!socket.Connect(host, port))
        m_reason = socket.FailureReason(m_peer);
    return m_reason.empty();
}

CHttpFetcher::Result CHttpFetcher::Fail(Result result, std::string reason)
{
    m_reason = std::move(reason);
    return result;
}

CHttpFetcher::Result CHttpFetcher::Get(const std::string& path, std::string& body)
{
    body.clear();
    m_reason.clear();
    const auto now = CTcpSocket::Clock::now();
    if (now >= m_deadline)
        return Fail(Result::NoConnection,
                    windows1250::FromUtf8Lossy("minął czas przeznaczony na aktualizację"));
    CTcpSocket socket(m_hook, m_limits.timeouts);
    socket.SetDeadline(std::min(m_deadline, now + m_limits.exchange));
    if (!ConnectToEndpoint(socket))
        return Result::NoConnection;
    if (!socket.SendAll(BuildRequest(m_serverHost, path)))
        return Fail(Result::Failed, socket.FailureReason(m_peer));
    const Result result = ReadResponse(socket, body);
    socket.Close();
    if (result != Result::Ok)
        body.clear();
    return result;
}

CHttpFetcher::Result CHttpFetcher::ReadResponse(CTcpSocket& socket, std::string& body)
{
    using http_response::Parse;
    std::string raw;
    http_response::Head head;
    bool haveHead = false;
    std::array<char, 16384> buffer{};
    const auto server = [this](const std::string& utf8) {
        return "serwer " + m_peer + windows1250::FromUtf8Lossy(utf8);
    };
    for (;;) {
        const long n = socket.Receive(buffer.data(), buffer.size());
        if (n < 0)
            return Fail(Result::Failed, socket.FailureReason(m_peer)); // the transfer is incomplete
        const bool closed = n == 0;
        raw.append(buffer.data(), static_cast<std::size_t>(n));
        if (!haveHead) {
            const Parse p = http_response::ParseHead(raw, head);
            if (p == Parse::Bad || (p == Parse::NeedMore && (closed || raw.size() > m_limits.maxHeader)))
                return Fail(Result::Failed, server(" nie odpowiedział po HTTP"));
            if (p == Parse::NeedMore)
                continue;
            haveHead = true;
            if (head.status != 200)
                return Fail(Result::Failed, server(" odpowiedział błędem " + std::to_string(head.status)));
            if (head.hasLength && head.length > m_limits.maxBody)
                return Fail(Result::Failed, server(" przysłał za dużą odpowiedź"));
        }
        const std::string_view rest = std::string_view(raw).substr(head.size);
        if (head.chunked) {
            const Parse p = http_response::DecodeChunked(rest, m_limits.maxBody, body);
            if (p == Parse::Complete)
                return Result::Ok;
            if (p == Parse::Bad || closed)
                return Fail(Result::Failed, server(" przerwał odpowiedź"));
        } else if (head.hasLength) {
            if (rest.size() >= head.length) {
                body.assign(rest.substr(0, head.length));
                return Result::Ok;
            }
            if (closed)
                return Fail(Result::Failed, server(" przerwał odpowiedź"));
        } else {
            if (rest.size() > m_limits.maxBody)
                return Fail(Result::Failed, server(" przysłał za dużą odpowiedź"));
            if (closed) {
                body.assign(rest);
                return Result::Ok;
            }
        }
    }
}
