#include "send/IdeaSender.h"

#include "send/MarkerScanner.h"
#include "send/SendEnvironment.h"
#include "store/Windows1250.h"

namespace {
constexpr const char* kPath = "/servlet/cmg.vasp.smlp.ShortMessageLaunchPad";
} // namespace

CIdeaSender::CIdeaSender(CSendEnvironment& environment) : CSMSMessageSender(environment)
{
    m_name = "Idea Centertel";
    m_prefixText = "+48 501; +48 502; +48 503";
    SetChunkSize(65535);
}

bool CIdeaSender::SupportsNumber(const std::string& number) const
{
    // The list names only the first three; the gateway serves all five.
    return HasPrefix(number, {"+48501", "+48502", "+48503", "+48504", "+48505"});
}

std::string CIdeaSender::GetGatewayAddress() const
{
    return "http://" + GetHost(GatewayHost::IdeaHome) + "/";
}

std::string CIdeaSender::Body(const std::string& number, const std::string& text,
                              const std::string& signature, const std::tm& now)
{
    const std::string sender = UrlEncode(signature);
    const std::string recipient = UrlEncode(number.size() < 3 ? std::string() : number.substr(3));
    const long left = 640 - static_cast<long>(text.size());
    // The gateway has always been sent the minute plus two without a carry into the hour.
    return "LANGUAGE=pl&NETWORK=smsc1&DELIVERY_TIME=955378800000&SENDER=" + sender +
           "&RECIPIENT=" + recipient + "&VALIDITY_PERIOD=24&DELIVERY_DATE=" + std::to_string(now.tm_mday) +
           "&DELIVERY_MONTH=" + std::to_string(now.tm_mon + 1) +
           "&DELIVERY_YEAR=" + std::to_string(now.tm_year + 1900) +
           "&DELIVERY_HOUR=" + std::to_string(now.tm_hour) +
           "&DELIVERY_MIN=" + std::to_string(now.tm_min + 2) +
           "&NOTIFICATION_FLAG=false&NOTIFICATION_ADDRESS_VISIBLE=" + sender +
           "&ILE_SMSOW=1&ILE_ZNAKOW=" + std::to_string(left) + "&SHORT_MESSAGE=" + UrlEncode(text);
}

COutcome CIdeaSender::Send(const std::string& number, const std::string& text)
{
    const std::string host = GetHost(GatewayHost::Idea);
    const std::string body = Body(number, text, GetSignature(), Environment().LocalTime());
    const std::string request =
        "POST http://" + host + kPath + " HTTP/1.0\r\n" +
        "Accept: application/msword, application/vnd.ms-excel, application/vnd.ms-powerpoint, "
        "application/x-comet, "
        "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*\r\n" +
        "Referer: http://" + host + kPath + "?LANGUAGE=pl&PAGE=launch\r\n" +
        "Accept-Language: pl,en-us;q=0.5\r\n" + "Content-Type: application/x-www-form-urlencoded\r\n" +
        "Accept-Encoding: gzip, deflate\r\n" + std::string(kGatewayUserAgent) + "Host: " + host + "\r\n" +
        "Content-Length: " + std::to_string(body.size()) + "\r\n" + "Proxy-Connection: Keep-Alive\r\n" +
        "Pragma: no-cache\r\n\r\n" + body;
    const bool sent =
        Connect(host) && SendRequest(request) && ReadVerdict(windows1250::FromUtf8Lossy("została wysłana"));
    Close();
    return Result(sent);
}
