#include "send/SMSMessageSender.h"

#include "send/MarkerScanner.h"
#include "send/SendEnvironment.h"
#include "store/SettingsData.h"

namespace {
constexpr int kReadRetries = 3;
constexpr std::size_t kMaxHeader = 65536;
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

bool CSMSMessageSender::Send(const std::string&, const std::string&)
{
    return false;
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
    m_socket.SetDeadline(CTcpSocket::Clock::now() + m_timeouts.exchange);
    const CSettingsData& settings = m_environment.GetSendSettings();
    if (settings.GetUseProxy()) {
        // Never falls back to a direct connection: the user asked for the proxy.
        const std::int32_t port = settings.GetProxyPort();
        if (settings.GetProxyHost().empty() || port < 1 || port > 65535)
            return false;
        return m_socket.Connect(settings.GetProxyHost(), static_cast<std::uint16_t>(port));
    }
    std::string host;
    std::uint16_t port = 80;
    if (!CTcpSocket::SplitHostPort(gatewayHost, 80, host, port))
        return false;
    return m_socket.Connect(host, port);
}

bool CSMSMessageSender::SendRequest(const std::string& request)
{
    return m_socket.SendAll(request);
}

long CSMSMessageSender::ReceiveChunk(std::string& buffer)
{
    buffer.resize(m_chunkSize);
    long n = -1;
    for (int attempt = 0; attempt < kReadRetries; ++attempt) {
        n = m_socket.Receive(buffer.data(), buffer.size());
        if (n >= 0 || m_socket.LastFailure() != CTcpSocket::Failure::Io)
            break;
    }
    buffer.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
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
    std::string header;
    std::string chunk;
    for (;;) {
        const long n = ReceiveChunk(chunk);
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            return header;
        const std::size_t from = header.size() < 3 ? 0 : header.size() - 3;
        header += chunk;
        const auto end = header.find("\r\n\r\n", from);
        if (end != std::string::npos) {
            if (rest)
                rest->assign(header, end + 4);
            header.resize(end + 2);
            return header;
        }
        if (header.size() > kMaxHeader)
            return header;
    }
}

int CSMSMessageSender::StatusCode(std::string_view header)
{
    // "HTTP/1.0 200 OK"
    if (!header.starts_with("HTTP/"))
        return 0;
    const auto space = header.find(' ');
    if (space == std::string_view::npos || space > 10 || header.size() < space + 4)
        return 0;
    int code = 0;
    for (std::size_t i = space + 1; i < space + 4; ++i) {
        if (header[i] < '0' || header[i] > '9')
            return 0;
        code = code * 10 + (header[i] - '0');
    }
    if (header.size() > space + 4 && header[space + 4] != ' ' && header[space + 4] != '\r')
        return 0;
    return code;
}

bool CSMSMessageSender::ReadVerdict(const std::string& confirmation)
{
    std::string rest;
    const auto header = ReadHeader(&rest);
    if (!header)
        return false;
    // An error page may well hold the confirmation text; only a success status can confirm.
    const int status = StatusCode(*header);
    if (status < 200 || status > 299)
        return false;
    CConfirmationScanner scanner(confirmation);
    if (scanner.Feed(rest))
        return scanner.Confirmed();
    std::string chunk;
    for (;;) {
        const long n = ReceiveChunk(chunk);
        if (n <= 0)
            return false;
        if (scanner.Feed(chunk))
            return scanner.Confirmed();
    }
}

std::string CSMSMessageSender::GetHost(GatewayHost gateway) const
{
    return m_environment.GetGatewayHost(gateway);
}

std::string CSMSMessageSender::GetSignature() const
{
    return m_environment.GetSendSignature();
}
