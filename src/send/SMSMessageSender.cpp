#include "send/SMSMessageSender.h"

#include <algorithm>

#include "net/HttpHead.h"
#include "send/MarkerScanner.h"
#include "send/SendEnvironment.h"
#include "store/SettingsData.h"
#include "store/Windows1250.h"

namespace {
constexpr int kReadRetries = 3;

std::string Polish(std::string_view utf8)
{
    return windows1250::FromUtf8Lossy(utf8);
}
} // namespace

std::tm CSendEnvironment::LocalTime() const
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

CSMSMessageSender::CSMSMessageSender(CSendEnvironment& environment)
    : m_environment(environment), m_socket([this] { m_environment.SendWaitHook(); })
{
}

CSMSMessageSender::~CSMSMessageSender() = default;

bool CSMSMessageSender::SupportsNumber(const std::string&) const
{
    return false;
}

COutcome CSMSMessageSender::Send(const std::string&, const std::string&)
{
    return COutcome::Failed(Polish("bramka nie obsługuje tego numeru"));
}

bool CSMSMessageSender::SignatureIsEmail() const
{
    return true;
}

std::string CSMSMessageSender::GetGatewayAddress() const
{
    return {};
}

std::string CSMSMessageSender::UrlEncode(std::string_view text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9')) {
            out.push_back(c);
        } else if (byte == ' ') {
            out.push_back('+');
        } else {
            out.push_back('%');
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 0x0F]);
        }
    }
    return out;
}

bool CSMSMessageSender::HasPrefix(const std::string& number, std::initializer_list<std::string_view> prefixes)
{
    for (const auto prefix : prefixes) {
        if (std::string_view(number).substr(0, prefix.size()) == prefix)
            return true;
    }
    return false;
}

bool CSMSMessageSender::UsesProxy() const
{
    return m_environment.GetSendSettings().GetUseProxy();
}

bool CSMSMessageSender::Connect(const std::string& gatewayHost)
{
    m_socket.SetTimeouts(m_timeouts.socket);
    const auto start = CTcpSocket::Clock::now();
    m_socket.SetDeadline(start + m_timeouts.exchange);
    m_reason.clear();
    const CSettingsData& settings = m_environment.GetSendSettings();
    if (settings.GetUseProxy()) {
        // Never falls back to a direct connection: the user asked for the proxy.
        const std::int32_t port = settings.GetProxyPort();
        if (settings.GetProxyHost().empty() || port < 1 || port > 65535)
            return Fail(Polish("nieprawidłowy adres serwera proxy"));
        m_peer = "proxy " + settings.GetProxyHost() + ":" + std::to_string(port);
        return m_socket.Connect(settings.GetProxyHost(), static_cast<std::uint16_t>(port)) ||
               SocketFailed(start);
    }
    std::string host;
    std::uint16_t port = 80;
    if (!CTcpSocket::SplitHostPort(gatewayHost, 80, host, port))
        return Fail(Polish("nieprawidłowy adres bramki ") + gatewayHost);
    m_peer = host + ":" + std::to_string(port);
    return m_socket.Connect(host, port) || SocketFailed(start);
}

bool CSMSMessageSender::SendRequest(const std::string& request)
{
    const auto start = CTcpSocket::Clock::now();
    return m_socket.SendAll(request) || SocketFailed(start);
}

bool CSMSMessageSender::Fail(std::string reason)
{
    m_reason = std::move(reason);
    return false;
}

bool CSMSMessageSender::SocketFailed(CTcpSocket::Clock::time_point start)
{
    if (m_socket.LastFailure() != CTcpSocket::Failure::Timeout)
        return Fail(m_socket.FailureReason(m_peer));
    if (m_socket.DeadlinePassed()) {
        // A gateway that drips its page runs into the limit of the whole exchange: name that one,
        // not the last short wait.
        const auto whole = std::chrono::ceil<std::chrono::seconds>(m_timeouts.exchange).count();
        return Fail("wymiana z serwerem " + m_peer + Polish(" trwała dłużej niż ") +
                    std::to_string(std::max<long long>(whole, 1)) + " s");
    }
    // The waits are cut into short slices, so the time waited rounds to the time-out that ended it.
    const auto waited = std::chrono::round<std::chrono::seconds>(CTcpSocket::Clock::now() - start).count();
    return Fail("serwer " + m_peer + Polish(" nie odpowiedział w ciągu ") +
                std::to_string(std::max<long long>(waited, 1)) + " s");
}

COutcome CSMSMessageSender::Result(bool sent) const
{
    if (sent)
        return COutcome::Done();
    return COutcome::Failed(m_reason.empty() ? Polish("bramka nie przyjęła wiadomości") : m_reason);
}

long CSMSMessageSender::ReceiveChunk(std::string& buffer)
{
    buffer.resize(m_chunkSize);
    long n = -1;
    const auto start = CTcpSocket::Clock::now();
    for (int attempt = 0; attempt < kReadRetries; ++attempt) {
        n = m_socket.Receive(buffer.data(), buffer.size());
        if (n >= 0 || m_socket.LastFailure() != CTcpSocket::Failure::Io)
            break;
    }
    buffer.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    if (n < 0)
        SocketFailed(start);
    return n;
}

bool CSMSMessageSender::ReadWith(CMarkerScanner& scanner)
{
    std::string chunk;
    for (;;) {
        const long n = ReceiveChunk(chunk);
        if (n < 0)
            return false;
        if (n == 0 || scanner.Feed(chunk))
            return true;
    }
}

std::optional<std::string> CSMSMessageSender::ReadHeader(std::string* rest)
{
    CHttpHeadReader reader;
    std::string chunk;
    for (;;) {
        const long n = ReceiveChunk(chunk);
        if (n < 0)
            return std::nullopt;
        if (n == 0) // what arrived before the close, as the gateways have always been read
            return reader.Received();
        switch (reader.Feed(chunk)) {
        case CHttpHeadReader::State::NeedMore:
            continue;
        case CHttpHeadReader::State::Failed:
            Fail(reader.Reason());
            return std::nullopt;
        case CHttpHeadReader::State::Complete:
            if (rest)
                *rest = reader.TakeRest();
            return reader.Head().statusLine + "\r\n" + reader.Head().header;
        }
    }
}

int CSMSMessageSender::StatusCode(std::string_view header)
{
    return http_response::StatusCode(header.substr(0, header.find('\n')));
}

bool CSMSMessageSender::ReadVerdict(const std::string& confirmation)
{
    std::string rest;
    const auto header = ReadHeader(&rest);
    if (!header)
        return false;
    // An error page may well hold the confirmation text; only a success status can confirm.
    const int status = StatusCode(*header);
    if (status == 0)
        return Fail(Polish("bramka nie przysłała odpowiedzi HTTP"));
    if (status < 200 || status > 299)
        return Fail(Polish("bramka odpowiedziała kodem ") + std::to_string(status));
    CConfirmationScanner scanner(confirmation);
    bool decided = scanner.Feed(rest);
    std::string chunk;
    while (!decided) {
        const long n = ReceiveChunk(chunk);
        if (n < 0)
            return false;
        if (n == 0)
            break;
        decided = scanner.Feed(chunk);
    }
    if (scanner.Confirmed())
        return true;
    return Fail(Polish(decided ? "bramka odpowiedziała, że wiadomość nie została wysłana"
                               : "w odpowiedzi bramki nie ma potwierdzenia wysłania"));
}

std::string CSMSMessageSender::GetHost(GatewayHost gateway) const
{
    return m_environment.GetGatewayHost(gateway);
}

std::string CSMSMessageSender::GetSignature() const
{
    return m_environment.GetSendSignature();
}
