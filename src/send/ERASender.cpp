#include "send/ERASender.h"

#include "send/MarkerScanner.h"
#include "send/SendEnvironment.h"
#include "store/Windows1250.h"

namespace {

constexpr const char* kEntryPath = "/sms/sms.asp";
constexpr const char* kFormPath = "/sms/sendsms.asp";
constexpr const char* kCodeMarker = "<input type=\"hidden\" name=\"code\" value=\"";
constexpr std::size_t kMaxCode = 4096;

std::string CookieLine(const std::string& cookie)
{
    // The gateway has always been sent these attribute names; an empty cookie leaves ";;".
    return "Cookie: $Version=\"1\";" + cookie + "; $Patch=\"/\"\r\n";
}

// The session cookie: what follows "Set-Cookie: " up to its first ";" or the end of its line.
std::string CookieFromHeader(const std::string& header)
{
    const std::string marker = "Set-Cookie: ";
    const auto at = header.find(marker);
    if (at == std::string::npos)
        return {};
    const auto from = at + marker.size();
    const auto end = header.find_first_of(";\r\n", from);
    return header.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

} // namespace

CERASender::CERASender(CSendEnvironment& environment) : CSMSMessageSender(environment)
{
    m_name = "Era GSM";
    m_prefixText = "+48 602; +48 604; +48 606; +48 606; +48 608; +48 610";
    SetChunkSize(64384);
}

bool CERASender::SupportsNumber(const std::string& number) const
{
    return HasPrefix(number, {"+48602", "+48604", "+48606", "+48608", "+48610"});
}

std::string CERASender::GetGatewayAddress() const
{
    return "http://" + GetHost(GatewayHost::Era) + kEntryPath;
}

std::string CERASender::Target(const std::string& host, const char* path) const
{
    return UsesProxy() ? "http://" + host + path : std::string(path);
}

std::optional<std::string> CERASender::Cookie(const std::string& host)
{
    const std::string request = "GET " + Target(host, kEntryPath) +
                                " HTTP/1.1\r\nProxy-Connection: Keep-Alive\r\n" +
                                std::string(kGatewayUserAgent) + "Host: " + host + "\r\nAccept: */*\r\n\r\n";
    if (!SendRequest(request))
        return std::nullopt;
    const auto header = ReadHeader();
    if (!header)
        return std::nullopt;
    return CookieFromHeader(*header);
}

std::optional<std::string> CERASender::FormCode(const std::string& host, const std::string& cookie)
{
    const std::string request = "GET " + Target(host, kFormPath) + " HTTP/1.1\r\n" + CookieLine(cookie) +
                                "Proxy-Connection: Keep-Alive\r\n" + std::string(kGatewayUserAgent) +
                                "Host: " + host + "\r\nAccept: */*\r\n\r\n";
    if (!SendRequest(request))
        return std::nullopt;
    CMarkerScanner scanner(kCodeMarker, '"', kMaxCode);
    // A page that ends without the code leaves nothing to post.
    if (!ReadWith(scanner))
        return std::nullopt;
    if (!scanner.MarkerSeen() || scanner.TooLong()) {
        Fail(windows1250::FromUtf8Lossy("w odpowiedzi bramki nie ma kodu formularza"));
        return std::nullopt;
    }
    return scanner.Value();
}

bool CERASender::PostForm(const std::string& host, const std::string& cookie, const std::string& body)
{
    const std::string request = "POST " + Target(host, kFormPath) + " HTTP/1.1\r\n" + CookieLine(cookie) +
                                "Referer: http://" + host + "\r\nProxy-Connection: Keep-Alive\r\n" +
                                std::string(kGatewayUserAgent) + "Host: " + host +
                                "\r\nAccept: */*\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                                "Content-Length: " +
                                std::to_string(body.size()) + "\r\n\r\n" + body + "\r\n";
    if (!SendRequest(request))
        return false;
    return ReadVerdict(windows1250::FromUtf8Lossy("została wysłana!"));
}

COutcome CERASender::Send(const std::string& number, const std::string& text)
{
    if (number.size() < 3)
        return CSMSMessageSender::Send(number, text);
    const std::string host = GetHost(GatewayHost::Era);
    const std::string localNumber = number.substr(3);

    if (!Connect(host))
        return Result(false);
    const auto cookie = Cookie(host);
    Close();
    if (!cookie)
        return Result(false);

    if (!Connect(host))
        return Result(false);
    const auto code = FormCode(host, *cookie);
    Close();
    if (!code)
        return Result(false);

    if (!Connect(host))
        return Result(false);
    const std::string body = "bookopen=+&numer=" + UrlEncode(localNumber) +
                             "&ksiazka=&message=" + UrlEncode(text) + "&podpis=" + UrlEncode(GetSignature()) +
                             "&kontakt=&code=" + *code + "&Nadaj=Nadaj";
    const bool sent = PostForm(host, *cookie, body);
    Close();
    return Result(sent);
}
