#include <gtest/gtest.h>

#include "HttpsTestServer.h"
#include "SendTestSupport.h"
#include "gateway-sim/GatewaySimulator.h"
#include "send/ERASender.h"
#include "send/IdeaSender.h"
#include "send/MarkerScanner.h"
#include "send/PLUSSender.h"
#include "store/Windows1250.h"

namespace {

using Sim = CGatewaySimulator;

const std::string kUA = "User-Agent: Mozilla/4.0 (compatible; MSIE 5.0; Windows 98; chip_1098; DigExt\r\n";

class GatewayTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.Start());
        host = sim.HostValue();
        env.SetHosts(host, host, host);
        env.signature = "Jan";
        era.SetTimeouts(ShortTimeouts());
        idea.SetTimeouts(ShortTimeouts());
        plus.SetTimeouts(ShortTimeouts());
    }
    // Plays the proxy itself, so the requests that reach it are exactly what the client sent.
    void ThroughSimulatorAsProxy()
    {
        env.UseProxy("127.0.0.1", sim.Port());
        host = "gateway.example";
        env.SetHosts(host, host, host);
    }
    std::vector<std::string> Requests(std::size_t count)
    {
        EXPECT_TRUE(sim.WaitForRequests(count));
        return sim.Requests();
    }

    Sim sim;
    TestSendEnvironment env;
    std::string host;
    CERASender era{env};
    CIdeaSender idea{env};
    CPLUSSender plus{env};
};

std::string EraEntry(const std::string& target, const std::string& host)
{
    return "GET " + target + " HTTP/1.1\r\nProxy-Connection: Keep-Alive\r\n" + kUA + "Host: " + host +
           "\r\nAccept: */*\r\n\r\n";
}

std::string EraForm(const std::string& target, const std::string& cookie, const std::string& host)
{
    return "GET " + target + " HTTP/1.1\r\nCookie: $Version=\"1\";" + cookie + "; $Patch=\"/\"\r\n" +
           "Proxy-Connection: Keep-Alive\r\n" + kUA + "Host: " + host + "\r\nAccept: */*\r\n\r\n";
}

std::string EraPost(const std::string& target, const std::string& cookie, const std::string& host,
                    const std::string& length, const std::string& body)
{
    return "POST " + target + " HTTP/1.1\r\nCookie: $Version=\"1\";" + cookie + "; $Patch=\"/\"\r\n" +
           "Referer: http://" + host + "\r\nProxy-Connection: Keep-Alive\r\n" + kUA + "Host: " + host +
           "\r\nAccept: */*\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: " + length +
           "\r\n\r\n" + body + "\r\n";
}

const std::string kEraBody =
    "bookopen=+&numer=602123456&ksiazka=&message=Ala+ma+kot%B9%21&podpis=Jan+%26+Co%3D1"
    "&kontakt=&code=K1001&Nadaj=Nadaj";
const std::string kCookie = "ASPSESSIONIDGQGQGRCT=SIMSESSION";

TEST_F(GatewayTest, EraSendsItsThreeRequestsDirectlyByteForByte)
{
    env.signature = "Jan & Co=1";
    ASSERT_TRUE(era.Send("+48602123456", "Ala ma kot\xB9!"));
    const auto r = Requests(3);
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0], EraEntry("/sms/sms.asp", host));
    EXPECT_EQ(r[1], EraForm("/sms/sendsms.asp", kCookie, host));
    EXPECT_EQ(r[2], EraPost("/sms/sendsms.asp", kCookie, host, "114", kEraBody));
    ASSERT_EQ(sim.MessageCount(), 1u);
    EXPECT_EQ(sim.Messages()[0].number, "602123456");
    EXPECT_EQ(sim.Messages()[0].text, "Ala ma kot\xB9!");
    EXPECT_EQ(sim.Messages()[0].sender, "Jan & Co=1");
}

TEST_F(GatewayTest, EraNamesTheWholeAddressWhenAProxyGetsTheRequests)
{
    ThroughSimulatorAsProxy();
    env.signature = "Jan & Co=1";
    ASSERT_TRUE(era.Send("+48602123456", "Ala ma kot\xB9!"));
    const auto r = Requests(3);
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[0], EraEntry("http://gateway.example/sms/sms.asp", "gateway.example"));
    EXPECT_EQ(r[1], EraForm("http://gateway.example/sms/sendsms.asp", kCookie, "gateway.example"));
    EXPECT_EQ(r[2],
              EraPost("http://gateway.example/sms/sendsms.asp", kCookie, "gateway.example", "114", kEraBody));
}

TEST_F(GatewayTest, EraWithoutACookieSendsTwoSemicolonsInARow)
{
    sim.SetBehaviour(Sim::Behaviour::NoCookie);
    ASSERT_TRUE(era.Send("+48604000111", "x"));
    const auto r = Requests(3);
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[1], EraForm("/sms/sendsms.asp", "", host));
    EXPECT_NE(r[2].find("Cookie: $Version=\"1\";; $Patch=\"/\"\r\n"), std::string::npos);
}

TEST_F(GatewayTest, EraFormPageWithoutTheCodeEndsTheSendWithoutPosting)
{
    sim.SetBehaviour(Sim::Behaviour::NoCode);
    EXPECT_EQ(era.Send("+48602123456", "x").reason,
              windows1250::FromUtf8Lossy("w odpowiedzi bramki nie ma kodu formularza"));
    EXPECT_EQ(Requests(2).size(), 2u);
    EXPECT_EQ(sim.MessageCount(), 0u);
}

TEST_F(GatewayTest, IdeaPostsItsFormByteForByteWithAndWithoutAProxy)
{
    const std::string body =
        "LANGUAGE=pl&NETWORK=smsc1&DELIVERY_TIME=955378800000&SENDER=Jan&RECIPIENT=504123456&VALIDITY_PERIOD="
        "24"
        "&DELIVERY_DATE=5&DELIVERY_MONTH=3&DELIVERY_YEAR=2024&DELIVERY_HOUR=14&DELIVERY_MIN=60"
        "&NOTIFICATION_FLAG=false&NOTIFICATION_ADDRESS_VISIBLE=Jan&ILE_SMSOW=1&ILE_ZNAKOW=629"
        "&SHORT_MESSAGE=Ala+ma+kota";
    const auto expected = [&](const std::string& h) {
        return "POST http://" + h +
               "/servlet/cmg.vasp.smlp.ShortMessageLaunchPad HTTP/1.0\r\n"
               "Accept: application/msword, application/vnd.ms-excel, application/vnd.ms-powerpoint, "
               "application/x-comet, image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*\r\n"
               "Referer: http://" +
               h +
               "/servlet/cmg.vasp.smlp.ShortMessageLaunchPad?LANGUAGE=pl&PAGE=launch\r\n"
               "Accept-Language: pl,en-us;q=0.5\r\n"
               "Content-Type: application/x-www-form-urlencoded\r\n"
               "Accept-Encoding: gzip, deflate\r\n" +
               kUA + "Host: " + h + "\r\nContent-Length: 297\r\nProxy-Connection: Keep-Alive\r\n" +
               "Pragma: no-cache\r\n\r\n" + body;
    };
    ASSERT_TRUE(idea.Send("+48504123456", "Ala ma kota"));
    ASSERT_EQ(Requests(1).size(), 1u);
    EXPECT_EQ(sim.Requests()[0], expected(host));

    ThroughSimulatorAsProxy();
    ASSERT_TRUE(idea.Send("+48504123456", "Ala ma kota"));
    ASSERT_EQ(Requests(2).size(), 2u);
    EXPECT_EQ(sim.Requests()[1], expected("gateway.example"));
}

TEST_F(GatewayTest, IdeaBodyCountsCharactersLeftAndEncodesTheSignature)
{
    std::tm t{};
    t.tm_year = 99;
    t.tm_mon = 11;
    t.tm_mday = 31;
    t.tm_hour = 23;
    t.tm_min = 59;
    const std::string body = CIdeaSender::Body("+48501000000", std::string(160, 'a'), "A&B C", t);
    EXPECT_NE(body.find("&SENDER=A%26B+C&RECIPIENT=501000000&"), std::string::npos);
    EXPECT_NE(
        body.find("&DELIVERY_DATE=31&DELIVERY_MONTH=12&DELIVERY_YEAR=1999&DELIVERY_HOUR=23&DELIVERY_MIN=61&"),
        std::string::npos);
    EXPECT_NE(body.find("&NOTIFICATION_ADDRESS_VISIBLE=A%26B+C&ILE_SMSOW=1&ILE_ZNAKOW=480&"),
              std::string::npos);
    EXPECT_NE(CIdeaSender::Body("+48501000000", "", "", t).find("&ILE_ZNAKOW=640&SHORT_MESSAGE="),
              std::string::npos);
}

TEST_F(GatewayTest, PlusPostsItsFormByteForByteWithAndWithoutAProxy)
{
    env.signature = "Jan Kowalski";
    const auto expected = [&](const std::string& h) {
        return "POST http://" + h + "/cgi-bin/mail2sms.pl HTTP/1.0\r\n" +
               "Accept: application/msword, application/vnd.ms-excel, application/vnd.ms-powerpoint, "
               "*/*\r\n" +
               "Referer: http://" + h + "/sms/\r\nAccept-Language: pl\r\n" +
               "Content-Type: application/x-www-form-urlencoded\r\nAccept-Encoding: gzip, deflate\r\n" + kUA +
               "Host: " + h +
               "\r\nContent-Length: 106\r\nProxy-Connection: Keep-Alive\r\nPragma: No-Cache\r\n\r\n" +
               "numer=%2B48601123456&mail=sms%40orvella%2Epl&tekst=Ala+ma+kota%5CJan+Kowalski"
               "&dzien=dzisiaj&godz=14&min=58";
    };
    ASSERT_TRUE(plus.Send("+48601123456", "Ala ma kota"));
    ASSERT_EQ(Requests(1).size(), 1u);
    EXPECT_EQ(sim.Requests()[0], expected(host));
    EXPECT_EQ(sim.Messages()[0].text, "Ala ma kota\\Jan Kowalski");

    ThroughSimulatorAsProxy();
    ASSERT_TRUE(plus.Send("+48601123456", "Ala ma kota"));
    ASSERT_EQ(Requests(2).size(), 2u);
    EXPECT_EQ(sim.Requests()[1], expected("gateway.example"));
}

TEST_F(GatewayTest, PlusUsesAnAddressSignatureAsTheMailAndKeepsTheText)
{
    std::tm t{};
    EXPECT_EQ(CPLUSSender::Body("+48609000001", "Hej", "jan@poczta.pl", t),
              "numer=%2B48609000001&mail=jan%40poczta%2Epl&tekst=Hej&dzien=dzisiaj&godz=0&min=0");
    EXPECT_EQ(CPLUSSender::Body("+48609000001", "Hej", "", t),
              "numer=%2B48609000001&mail=sms%40orvella%2Epl&tekst=Hej%5C&dzien=dzisiaj&godz=0&min=0");
    EXPECT_TRUE(CPLUSSender::LooksLikeEmail("jan@poczta.pl"));
    EXPECT_TRUE(CPLUSSender::LooksLikeEmail("jan.kowalski@poczta"));
    EXPECT_FALSE(CPLUSSender::LooksLikeEmail(""));
    EXPECT_FALSE(CPLUSSender::LooksLikeEmail("@poczta.pl"));
    EXPECT_FALSE(CPLUSSender::LooksLikeEmail("jan.kowalski@"));
    EXPECT_FALSE(CPLUSSender::LooksLikeEmail("Jan Kowalski"));
    EXPECT_FALSE(CPLUSSender::LooksLikeEmail(".@"));
    env.signature = "jan@poczta.pl";
    EXPECT_TRUE(plus.SignatureIsEmail());
    EXPECT_TRUE(era.SignatureIsEmail());
    env.signature = "Jan";
    EXPECT_FALSE(plus.SignatureIsEmail());
}

TEST_F(GatewayTest, ConfirmationSplitAcrossTwoReadsIsStillFound)
{
    sim.SetBehaviour(Sim::Behaviour::SplitConfirmation);
    EXPECT_TRUE(era.Send("+48602123456", "x"));
    EXPECT_TRUE(idea.Send("+48501123456", "x"));
    EXPECT_TRUE(plus.Send("+48601123456", "x"));
}

TEST(ConfirmationScanner, NegatedConfirmationIsARefusal)
{
    const std::string era = windows1250::FromUtf8Lossy("została wysłana!");
    const struct
    {
        const char* page; // UTF-8
        bool confirmed;
    } cases[] = {
        {"<p>Wiadomość została wysłana!</p>", true},
        {"Wiadomość nie została wysłana!", false},
        {"Wiadomość NIE\r\n  została wysłana!", false},
        {"<b>nie</b> <font color=red>została wysłana!</font>", false},
        {"nie&nbsp;została wysłana!", false},
        {"Informacja została wysłana!", true}, // a word ending in "nie" is not the negation
        {"Wysłanie: została wysłana!", true},
        {"została wysłana!", true},
        {"brak potwierdzenia", false},
    };
    for (const auto& c : cases) {
        const std::string page = windows1250::FromUtf8Lossy(c.page);
        CConfirmationScanner whole(era);
        whole.Feed(page);
        EXPECT_EQ(whole.Confirmed(), c.confirmed) << c.page;
        // The same page a byte at a time.
        CConfirmationScanner drip(era);
        for (const char ch : page)
            drip.Feed(std::string_view(&ch, 1));
        EXPECT_EQ(drip.Confirmed(), c.confirmed) << c.page;
    }
}

// Each way a gateway fails is named; a gateway that says it did not send accepted nothing.
TEST_F(GatewayTest, EachFailureSaysWhy)
{
    const struct
    {
        Sim::Behaviour behaviour;
        std::string senders; // E, I, P
        std::string reason;  // UTF-8; empty: any (a close may come as an end, a reset or a refused write)
    } cases[] = {
        {Sim::Behaviour::NotSent, "EI", "bramka odpowiedziała, że wiadomość nie została wysłana"},
        // Plus confirms with another text, which the refusal page does not hold.
        {Sim::Behaviour::NotSent, "P", "w odpowiedzi bramki nie ma potwierdzenia wysłania"},
        {Sim::Behaviour::ServerError, "EIP", "bramka odpowiedziała kodem 500"},
        {Sim::Behaviour::NoConfirmation, "EIP", "w odpowiedzi bramki nie ma potwierdzenia wysłania"},
        {Sim::Behaviour::Flood, "IP", "w odpowiedzi bramki nie ma potwierdzenia wysłania"},
        {Sim::Behaviour::NeverAnswer, "EIP", "serwer " + host + " nie odpowiedział w ciągu 1 s"},
        {Sim::Behaviour::CloseAtOnce, "EIP", ""},
    };
    for (const auto& c : cases) {
        sim.SetBehaviour(c.behaviour);
        const std::tuple<char, CSMSMessageSender*, const char*> senders[] = {
            {'E', &era, "+48602123456"}, {'I', &idea, "+48501123456"}, {'P', &plus, "+48601123456"}};
        for (const auto& [letter, sender, number] : senders) {
            if (c.senders.find(letter) == std::string::npos)
                continue;
            const COutcome outcome = sender->Send(number, "x");
            EXPECT_FALSE(outcome) << sender->GetName();
            EXPECT_FALSE(outcome.reason.empty()) << sender->GetName();
            EXPECT_TRUE(c.reason.empty() || windows1250::ToUtf8(outcome.reason) == c.reason)
                << sender->GetName() << ": " << windows1250::ToUtf8(outcome.reason);
        }
        EXPECT_TRUE(c.behaviour != Sim::Behaviour::ServerError || sim.MessageCount() == 0u);
    }
    EXPECT_GT(env.waits, 0);
}

TEST_F(GatewayTest, UnreachableGatewayOrProxyFailsWithoutTryingTheOther)
{
    env.SetHosts("127.0.0.1:" + std::to_string(UnusedPort()), "127.0.0.1:" + std::to_string(UnusedPort()),
                 "127.0.0.1:" + std::to_string(UnusedPort()));
    EXPECT_FALSE(era.Send("+48602123456", "x"));
    EXPECT_FALSE(idea.Send("+48501123456", "x"));
    EXPECT_FALSE(plus.Send("+48601123456", "x"));

    // The gateways answer, the proxy does not: nothing goes to the gateways directly.
    env.SetHosts(host, host, host);
    env.UseProxy("127.0.0.1", UnusedPort());
    EXPECT_FALSE(era.Send("+48602123456", "x"));
    EXPECT_FALSE(idea.Send("+48501123456", "x"));
    EXPECT_FALSE(plus.Send("+48601123456", "x"));
    env.UseProxy("127.0.0.1", 0);
    EXPECT_FALSE(plus.Send("+48601123456", "x"));
    EXPECT_TRUE(sim.Requests().empty());
}

TEST_F(GatewayTest, EveryGatewayDeliversThroughARealProxy)
{
    Tinyproxy proxy;
    std::string why;
    ASSERT_TRUE(proxy.Start(why)) << why;
    env.UseProxy("127.0.0.1", proxy.Port());
    env.signature = "Jan K.";
    EXPECT_TRUE(era.Send("+48602123456", "Ala ma kot\xB9"));
    EXPECT_TRUE(idea.Send("+48503123456", "Idea przez proxy"));
    EXPECT_TRUE(plus.Send("+48607123456", "Plus przez proxy"));
    const auto m = sim.Messages();
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(m[0].gateway, "Era");
    EXPECT_EQ(m[0].number, "602123456");
    EXPECT_EQ(m[0].text, "Ala ma kot\xB9");
    EXPECT_EQ(m[0].sender, "Jan K.");
    EXPECT_EQ(m[1].gateway, "Idea");
    EXPECT_EQ(m[1].number, "503123456");
    EXPECT_EQ(m[2].gateway, "Plus");
    EXPECT_EQ(m[2].number, "+48607123456");
    EXPECT_EQ(m[2].text, "Plus przez proxy\\Jan K.");
}

} // namespace

namespace {

// A Plus gateway played by a plain server that answers with the raw reply given.
class MisbehavingGatewayTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string why;
        ASSERT_TRUE(server.Start("", "", why)) << why;
        const std::string host = "127.0.0.1:" + std::to_string(server.Port());
        env.SetHosts(host, host, host);
        plus.SetTimeouts(ShortTimeouts());
    }
    std::string Peer() const { return "127.0.0.1:" + std::to_string(server.Port()); }

    HttpsTestServer server;
    TestSendEnvironment env;
    CPLUSSender plus{env};
};

// Old gateways end their header lines with a bare LF; a head that never ends is a failure of its
// own, never the "no confirmation" that would queue a delivered message again.
TEST_F(MisbehavingGatewayTest, HeadEndsAtLfLfAndAnOverlongHeadSaysSo)
{
    const std::string page = windows1250::FromUtf8Lossy("<html>SMS został wysłany!!!</html>");
    const struct
    {
        std::string reply;
        bool sent;
        std::string reason; // UTF-8
    } cases[] = {
        {"HTTP/1.0 200 OK\nContent-Type: text/html\n\n" + page, true, ""},
        {"HTTP/1.0 200 OK\r\nContent-Type: text/html\n\r\n" + page, true, ""},
        {"HTTP/1.1 100 Continue\n\nHTTP/1.0 200 OK\n\n" + page, true, ""},
        {"HTTP/1.0 200 OK\r\nX-Filler: " + std::string(70000, 'a') + "\r\n\r\n" + page, false,
         "nagłówek odpowiedzi serwera jest dłuższy niż 64 KiB"},
    };
    for (const auto& c : cases) {
        server.SetReply(c.reply);
        const COutcome outcome = plus.Send("+48601123456", "x");
        EXPECT_EQ(outcome.done, c.sent) << c.reply.substr(0, 60);
        EXPECT_EQ(windows1250::ToUtf8(outcome.reason), c.reason) << c.reply.substr(0, 60);
    }
}

// A gateway that drips its page runs into the limit of the whole exchange, and the reason names
// that limit rather than the last short wait.
TEST_F(MisbehavingGatewayTest, DrippingGatewayNamesTheWholeExchangesLimit)
{
    using namespace std::chrono_literals;
    GatewayTimeouts timeouts = ShortTimeouts();
    timeouts.exchange = 1000ms;
    plus.SetTimeouts(timeouts);
    server.SetReply("HTTP/1.0 200 OK\r\n\r\n" + std::string(500, ' '));
    server.SetDrip(20);
    const COutcome outcome = plus.Send("+48601123456", "x");
    EXPECT_FALSE(outcome);
    EXPECT_EQ(windows1250::ToUtf8(outcome.reason), "wymiana z serwerem " + Peer() + " trwała dłużej niż 1 s");
}

} // namespace
