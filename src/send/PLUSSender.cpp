#include "send/PLUSSender.h"

#include "send/MarkerScanner.h"
#include "send/SendEnvironment.h"
#include "store/Windows1250.h"

namespace {
constexpr const char* kPath = "/cgi-bin/mail2sms.pl";
} // namespace

CPLUSSender::CPLUSSender(CSendEnvironment& environment) : CSMSMessageSender(environment)
{
    m_name = "Plus GSM";
    m_prefixText = "+48 601; +48 603; +48 605; +48 607; +48 609";
    SetChunkSize(4090);
}

bool CPLUSSender::SupportsNumber(const std::string& number) const
{
    return HasPrefix(number, {"+48601", "+48603", "+48605", "+48607", "+48609"});
}

std::string CPLUSSender::GetGatewayAddress() const
{
    return "http://" + GetHost(GatewayHost::Plus) + "/sms/";
}

bool CPLUSSender::LooksLikeEmail(const std::string& signature)
{
    const auto at = signature.find('@');
    return !signature.empty() && at != std::string::npos && at > 0 && at + 1 < signature.size() &&
           signature.find('.', 1) != std::string::npos;
}

bool CPLUSSender::SignatureIsEmail() const
{
    return LooksLikeEmail(GetSignature());
}

std::string CPLUSSender::Body(const std::string& number, const std::string& text,
                              const std::string& signature, const std::tm& now)
{
    std::string sent = text;
    std::string mail = signature;
    if (!LooksLikeEmail(signature)) {
        sent += "\\" + signature;
        mail = kMakerSenderAddress;
    }
    return "numer=" + UrlEncode(number) + "&mail=" + UrlEncode(mail) + "&tekst=" + UrlEncode(sent) +
           "&dzien=dzisiaj&godz=" + std::to_string(now.tm_hour) + "&min=" + std::to_string(now.tm_min);
}

COutcome CPLUSSender::Send(const std::string& number, const std::string& text)
{
    const std::string host = GetHost(GatewayHost::Plus);
    const std::string body = Body(number, text, GetSignature(), Environment().LocalTime());
    const std::string request =
        "POST http://" + host + kPath + " HTTP/1.0\r\n" +
        "Accept: application/msword, application/vnd.ms-excel, application/vnd.ms-powerpoint, */*\r\n" +
        "Referer: http://" + host + "/sms/\r\n" + "Accept-Language: pl\r\n" +
        "Content-Type: application/x-www-form-urlencoded\r\n" + "Accept-Encoding: gzip, deflate\r\n" +
        std::string(kGatewayUserAgent) + "Host: " + host + "\r\n" +
        "Content-Length: " + std::to_string(body.size()) + "\r\n" + "Proxy-Connection: Keep-Alive\r\n" +
        "Pragma: No-Cache\r\n\r\n" + body;
    const bool sent = Connect(host) && SendRequest(request) &&
                      ReadVerdict(windows1250::FromUtf8Lossy("SMS został wysłany!!!"));
    Close();
    return Result(sent);
}
