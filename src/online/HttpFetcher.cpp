#include "online/HttpFetcher.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "store/SettingsData.h"
#include "store/Windows1250.h"

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
    CHttpHeadReader reader(m_limits.maxHeader);
    std::string rest;
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
        const std::string_view piece(buffer.data(), static_cast<std::size_t>(n));
        if (!haveHead) {
            const CHttpHeadReader::State state = reader.Feed(piece);
            if (state == CHttpHeadReader::State::Failed)
                return Fail(Result::Failed, "serwer " + m_peer + ": " + reader.Reason());
            if (state == CHttpHeadReader::State::NeedMore) {
                if (closed)
                    return Fail(Result::Failed, server(" nie odpowiedział po HTTP"));
                continue;
            }
            const http_response::Head& head = reader.Head();
            if (head.badFraming || head.badLine)
                return Fail(Result::Failed, server(" nie odpowiedział po HTTP"));
            haveHead = true;
            if (head.status != 200)
                return Fail(Result::Failed, server(" odpowiedział błędem " + std::to_string(head.status)));
            if (head.hasLength && head.length > m_limits.maxBody)
                return Fail(Result::Failed, server(" przysłał za dużą odpowiedź"));
            rest = reader.TakeRest();
        } else {
            rest.append(piece);
        }
        const http_response::Head& head = reader.Head();
        if (head.chunked) {
            const Parse p = http_response::DecodeChunked(rest, m_limits.maxBody, body);
            if (p == Parse::Complete)
                return Result::Ok;
            if (p == Parse::Bad || closed)
                return Fail(Result::Failed, server(" przerwał odpowiedź"));
        } else if (head.hasLength) {
            if (rest.size() >= head.length) {
                body.assign(rest, 0, head.length);
                return Result::Ok;
            }
            if (closed)
                return Fail(Result::Failed, server(" przerwał odpowiedź"));
        } else {
            if (rest.size() > m_limits.maxBody)
                return Fail(Result::Failed, server(" przysłał za dużą odpowiedź"));
            if (closed) {
                body = std::move(rest);
                return Result::Ok;
            }
        }
    }
}
