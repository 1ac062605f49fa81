#include "send/OwnGatewaySender.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "net/HttpConnection.h"
#include "send/MarkerScanner.h"
#include "send/SendEnvironment.h"
#include "store/SettingsData.h"
#include "store/Windows1250.h"

namespace {

constexpr std::string_view kUserAgent = "User-Agent: Brivantel/1.0\r\n";

std::string Trim(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return std::string(text);
}

std::string Upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The pieces of a filled-in "http://" or "https://" address.
struct Address
{
    bool tls = false;
    std::string authority; // as written: "host" or "host:port"
    std::string host;
    std::uint16_t port = 0;
    std::string target; // path and query, "/" at least
};

std::optional<Address> ParseUrl(const std::string& url)
{
    Address a;
    const std::string lower = Lower(url.substr(0, 8));
    std::size_t start = 0;
    if (lower.starts_with("https://")) {
        a.tls = true;
        start = 8;
    } else if (lower.starts_with("http://")) {
        start = 7;
    } else {
        return std::nullopt;
    }
    const auto end = url.find_first_of("/?#", start);
    a.authority = url.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (a.authority.find('@') != std::string::npos)
        return std::nullopt;
    if (!CTcpSocket::SplitHostPort(a.authority, a.tls ? 443 : 80, a.host, a.port))
        return std::nullopt;
    a.target = end == std::string::npos ? std::string("/") : url.substr(end);
    a.target = a.target.substr(0, a.target.find('#'));
    if (a.target.empty() || a.target.front() != '/')
        a.target.insert(0, "/");
    return a;
}

// The extra header lines, each ended by CR LF; nothing when a line is not "Name: value". The
// lines are never quoted back: they hold the provider's token.
std::optional<std::string> HeaderLines(const std::string& headers, std::size_t& badLine)
{
    std::string out;
    std::size_t number = 0;
    std::size_t from = 0;
    while (from <= headers.size()) {
        const auto end = headers.find('\n', from);
        const std::string line = Trim(std::string_view(headers).substr(
            from, end == std::string::npos ? std::string::npos : end - from));
        from = end == std::string::npos ? headers.size() + 1 : end + 1;
        ++number;
        if (line.empty())
            continue;
        const auto colon = line.find(':');
        const bool control =
            std::any_of(line.begin(), line.end(), [](unsigned char c) { return c < 0x20 && c != '\t'; });
        if (colon == std::string::npos || colon == 0 || control || line.find_first_of(" \t") < colon) {
            badLine = number;
            return std::nullopt;
        }
        out += windows1250::ToUtf8(line) + "\r\n";
    }
    return out;
}

// The rule of the operators' gateways: "Wiadomość nie została wysłana" holds the success text
// too, so a success text preceded by the word "nie" is a refusal.
bool Confirms(const std::string& body, const std::string& success)
{
    CConfirmationScanner scanner(success);
    scanner.Feed(body);
    return scanner.Confirmed();
}

} // namespace

std::string own_gateway::HideHeaderValues(std::string_view headers)
{
    std::string out;
    std::size_t from = 0;
    while (from < headers.size()) {
        const auto end = headers.find('\n', from);
        std::string line =
            Trim(headers.substr(from, end == std::string_view::npos ? std::string_view::npos : end - from));
        from = end == std::string_view::npos ? headers.size() : end + 1;
        if (line.empty())
            continue;
        const auto colon = line.find(':');
        out += (out.empty() ? "" : "\n") +
               (colon == std::string::npos ? std::string("***") : line.substr(0, colon + 1) + " ***");
    }
    return out;
}

COwnGatewaySender::COwnGatewaySender(CSendEnvironment& environment) : CSMSMessageSender(environment) {}

COwnGatewaySender::Config COwnGatewaySender::ReadConfig() const
{
    const OwnGatewaySettings v = Environment().GetOwnGateway();
    return {Trim(v.enabled) == "1",
            v.name,
            Trim(v.url),
            Upper(Trim(v.method)),
            v.body,
            Trim(v.contentType),
            v.headers,
            v.success,
            v.numbers,
            Trim(v.caFile)};
}

bool COwnGatewaySender::Served(const Config& config, const std::string& number)
{
    if (number.empty())
        return false;
    bool any = false;
    std::size_t from = 0;
    while (from <= config.numbers.size()) {
        const auto end = config.numbers.find(';', from);
        std::string prefix =
            config.numbers.substr(from, end == std::string::npos ? std::string::npos : end - from);
        prefix.erase(
            std::remove_if(prefix.begin(), prefix.end(), [](unsigned char c) { return std::isspace(c); }),
            prefix.end());
        from = end == std::string::npos ? config.numbers.size() + 1 : end + 1;
        if (prefix.empty())
            continue;
        any = true;
        if (number.starts_with(prefix))
            return true;
    }
    return !any;
}

bool COwnGatewaySender::SupportsNumber(const std::string& number) const
{
    const Config config = ReadConfig();
    return config.enabled && Served(config, number);
}

COutcome COwnGatewaySender::Send(const std::string& number, const std::string& text)
{
    const Outcome& outcome = Deliver(number, text);
    return {outcome.delivered, outcome.reason};
}

std::string COwnGatewaySender::GetGatewayAddress() const
{
    const auto address = ParseUrl(ReadConfig().url);
    return address ? address->host : std::string();
}

std::string COwnGatewaySender::ListName() const
{
    return ReadConfig().name;
}

std::string COwnGatewaySender::ListPrefixes() const
{
    const std::string numbers = Trim(ReadConfig().numbers);
    return numbers.empty() ? "wszystkie" : numbers;
}

std::string COwnGatewaySender::Encode(std::string_view value, Encoding encoding)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        switch (encoding) {
        case Encoding::Url:
        case Encoding::Form:
            if (std::isalnum(byte) && byte < 0x80) {
                out.push_back(c);
            } else if (byte == '-' || byte == '.' || byte == '_' || byte == '~') {
                out.push_back(c);
            } else if (byte == ' ' && encoding == Encoding::Form) {
                out.push_back('+');
            } else {
                out.push_back('%');
                out.push_back(kHex[byte >> 4]);
                out.push_back(kHex[byte & 0x0F]);
            }
            break;
        case Encoding::Json:
            if (byte == '"' || byte == '\\') {
                out.push_back('\\');
                out.push_back(c);
            } else if (byte == '\n') {
                out += "\\n";
            } else if (byte == '\r') {
                out += "\\r";
            } else if (byte == '\t') {
                out += "\\t";
            } else if (byte < 0x20) {
                out += "\\u00";
                out.push_back(kHex[byte >> 4]);
                out.push_back(kHex[byte & 0x0F]);
            } else {
                out.push_back(c);
            }
            break;
        case Encoding::Raw:
            out.push_back(c);
            break;
        }
    }
    return out;
}

COwnGatewaySender::Encoding COwnGatewaySender::BodyEncoding(std::string_view contentType)
{
    const std::string type = Lower(Trim(contentType.substr(0, contentType.find(';'))));
    if (type == "application/x-www-form-urlencoded")
        return Encoding::Form;
    if (type == "application/json" || type.ends_with("+json"))
        return Encoding::Json;
    return Encoding::Raw;
}

std::string COwnGatewaySender::Fill(std::string_view templ, const std::string& number,
                                    const std::string& textUtf8, const std::string& signatureUtf8,
                                    Encoding encoding)
{
    const std::string digits = number.starts_with('+') ? number.substr(1) : number;
    const std::pair<std::string_view, const std::string*> placeholders[] = {{"{number}", &number},
                                                                            {"{number_digits}", &digits},
                                                                            {"{text}", &textUtf8},
                                                                            {"{signature}", &signatureUtf8}};
    std::string out;
    while (!templ.empty()) {
        bool filled = false;
        if (templ.front() == '{') {
            for (const auto& [name, value] : placeholders) {
                if (templ.starts_with(name)) {
                    out += Encode(*value, encoding);
                    templ.remove_prefix(name.size());
                    filled = true;
                    break;
                }
            }
        }
        if (!filled) {
            out.push_back(templ.front());
            templ.remove_prefix(1);
        }
    }
    return out;
}

COwnGatewaySender::Outcome COwnGatewaySender::Deliver(const std::string& number, const std::string& text)
{
    return Deliver(ReadConfig(), number, text);
}

COwnGatewaySender::Outcome COwnGatewaySender::Deliver(const Config& config, const std::string& number,
                                                      const std::string& text)
{
    m_last = {};
    Outcome& outcome = m_last;
    const std::string textUtf8 = windows1250::ToUtf8(text);
    const std::string signatureUtf8 = windows1250::ToUtf8(GetSignature());

    const auto address =
        ParseUrl(Fill(windows1250::ToUtf8(config.url), number, textUtf8, signatureUtf8, Encoding::Url));
    if (!address) {
        outcome.reason =
            "adres bramki musi zaczyna\xE6 si\xEA od http:// albo https:// i wskazywa\xE6 serwer";
        return outcome;
    }
    if (config.method != "GET" && config.method != "POST") {
        outcome.reason = "metoda bramki musi by\xE6 GET albo POST";
        return outcome;
    }
    std::size_t badLine = 0;
    const auto headers = HeaderLines(config.headers, badLine);
    if (!headers) {
        outcome.reason = "wiersz " + std::to_string(badLine) +
                         " dodatkowych nag\xB3\xF3wk\xF3w nie ma postaci \"Nazwa: warto\x9C\xE6\"";
        return outcome;
    }

    std::optional<CHttpConnection::Proxy> proxy;
    const CSettingsData& settings = Environment().GetSendSettings();
    if (settings.GetUseProxy()) {
        // Never falls back to a direct connection: the user asked for the proxy.
        const std::int32_t port = settings.GetProxyPort();
        if (settings.GetProxyHost().empty() || port < 1 || port > 65535) {
            outcome.reason = "nieprawid\xB3owy adres serwera proxy";
            return outcome;
        }
        proxy = CHttpConnection::Proxy{settings.GetProxyHost(), static_cast<std::uint16_t>(port)};
    }

    std::string request = config.method + " ";
    request += proxy && !address->tls ? "http://" + address->authority + address->target : address->target;
    request += " HTTP/1.1\r\nHost: " + address->authority + "\r\n";
    request += kUserAgent;
    std::string body;
    if (config.method == "POST") {
        body = Fill(windows1250::ToUtf8(config.body), number, textUtf8, signatureUtf8,
                    BodyEncoding(config.contentType));
        request += "Content-Type: " + windows1250::ToUtf8(config.contentType) + "\r\n";
        request += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    }
    request += *headers;
    request += "Connection: close\r\n\r\n";
    request += body;

    CHttpConnection connection([this] { Environment().SendWaitHook(); });
    connection.SetTimeouts({GetTimeouts().socket, GetTimeouts().exchange});
    if (!connection.Open(address->host, address->port, address->tls, config.caFile, proxy)) {
        outcome.reason = connection.ErrorText();
        return outcome;
    }
    const auto response = connection.Exchange(request);
    if (!response) {
        outcome.reason = connection.ErrorText();
        return outcome;
    }
    outcome.statusLine = response->statusLine;
    outcome.body = response->body;
    if (response->status >= 300 && response->status < 400) {
        outcome.reason = "bramka odes\xB3"
                         "a\xB3"
                         "a do innego adresu, a program nie idzie za przekierowaniem: " +
                         response->statusLine;
    } else if (response->status < 200 || response->status >= 300) {
        outcome.reason = "bramka odrzuci\xB3"
                         "a wiadomo\x9C\xE6: " +
                         response->statusLine;
    } else if (!config.success.empty() && !Confirms(response->body, windows1250::ToUtf8(config.success))) {
        outcome.reason = "w odpowiedzi bramki nie ma tekstu potwierdzenia";
    } else {
        outcome.delivered = true;
    }
    return outcome;
}
