#include <gtest/gtest.h>

#include "SendTestSupport.h"
#include "gateway-sim/GatewaySimulator.h"
#include "send/ERASender.h"
#include "send/IdeaSender.h"
#include "send/MarkerScanner.h"
#include "send/PLUSSender.h"
#include "send/Sender.h"

namespace {

TEST(UrlEncodeTest, KeepsLettersAndDigitsTurnsSpacesToPlusAndEscapesTheRest)
{
    EXPECT_EQ(CSMSMessageSender::UrlEncode(""), "");
    EXPECT_EQ(CSMSMessageSender::UrlEncode("a b!\xB9"), "a+b%21%B9");
    EXPECT_EQ(CSMSMessageSender::UrlEncode("\xBF\xF3\xB3\xE6"), "%BF%F3%B3%E6");
    EXPECT_EQ(CSMSMessageSender::UrlEncode("   "), "+++");
    EXPECT_EQ(CSMSMessageSender::UrlEncode("AZaz09"), "AZaz09");
    EXPECT_EQ(CSMSMessageSender::UrlEncode("+&=%\r\n\x7F"), "%2B%26%3D%25%0D%0A%7F");
    EXPECT_EQ(CSMSMessageSender::UrlEncode(std::string(1, '\0')), "%00");
}

TEST(PrefixTest, EachGatewayServesItsOwnPrefixesAtTheStartOnly)
{
    TestSendEnvironment env;
    CERASender era(env);
    CIdeaSender idea(env);
    CPLUSSender plus(env);
    for (const char* n : {"+48602", "+48604", "+48606", "+48608", "+48610"}) {
        EXPECT_TRUE(era.SupportsNumber(std::string(n) + "123456")) << n;
        EXPECT_FALSE(idea.SupportsNumber(std::string(n) + "123456")) << n;
        EXPECT_FALSE(plus.SupportsNumber(std::string(n) + "123456")) << n;
    }
    for (const char* n : {"+48501", "+48502", "+48503", "+48504", "+48505"})
        EXPECT_TRUE(idea.SupportsNumber(std::string(n) + "123456")) << n;
    for (const char* n : {"+48601", "+48603", "+48605", "+48607", "+48609"})
        EXPECT_TRUE(plus.SupportsNumber(std::string(n) + "123456")) << n;
    EXPECT_FALSE(era.SupportsNumber("+481602123"));
    EXPECT_FALSE(era.SupportsNumber("+4860"));
    EXPECT_FALSE(era.SupportsNumber(""));
    EXPECT_FALSE(idea.SupportsNumber("+48506123456"));
    EXPECT_FALSE(plus.SupportsNumber("+48600123456"));
    EXPECT_FALSE(plus.SupportsNumber("48601123456"));
}

TEST(MarkerScannerTest, FindsAMarkerWhereverThePiecesAreCut)
{
    const std::string reply = "<p>Wiadomo\x9C\x9C zosta\xB3"
                              "a wys\xB3"
                              "ana!</p>";
    const std::string marker = "zosta\xB3"
                               "a wys\xB3"
                               "ana!";
    for (std::size_t cut = 0; cut <= reply.size(); ++cut) {
        CMarkerScanner scanner(marker);
        const bool first = scanner.Feed(reply.substr(0, cut));
        const bool done = first || scanner.Feed(reply.substr(cut));
        EXPECT_TRUE(done && scanner.Found()) << cut;
    }
    CMarkerScanner absent(marker);
    EXPECT_FALSE(absent.Feed("zosta\xB3"
                             "a wys"));
    EXPECT_FALSE(absent.Feed("\xB3"
                             "ana"));
    EXPECT_FALSE(absent.Found());
}

TEST(MarkerScannerTest, CollectsTheValueAfterTheMarkerUpToItsTerminator)
{
    const std::string marker = "name=\"code\" value=\"";
    const std::string page = "<input type=\"hidden\" name=\"code\" value=\"K77A\"><p>";
    for (std::size_t cut = 0; cut <= page.size(); ++cut) {
        CMarkerScanner scanner(marker, '"', 64);
        if (!scanner.Feed(page.substr(0, cut)))
            scanner.Feed(page.substr(cut));
        ASSERT_TRUE(scanner.Found()) << cut;
        EXPECT_EQ(scanner.Value(), "K77A") << cut;
    }
    CMarkerScanner open(marker, '"', 64);
    EXPECT_FALSE(open.Feed("value=\"K7"));
    EXPECT_FALSE(open.Feed(marker + "K7"));
    EXPECT_TRUE(open.MarkerSeen());
    EXPECT_FALSE(open.Found());
    EXPECT_EQ(open.Value(), "K7");
    CMarkerScanner tooLong(marker, '"', 4);
    EXPECT_TRUE(tooLong.Feed(marker + "123456"));
    EXPECT_TRUE(tooLong.TooLong());
}

class DispatcherTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.Start());
        env.SetHosts(sim.HostValue(), sim.HostValue(), sim.HostValue());
        sender.SetTimeouts(ShortTimeouts());
    }
    CGatewaySimulator sim;
    TestSendEnvironment env;
    CSender sender{env};
};

TEST_F(DispatcherTest, InternetRouteChoosesTheGatewayByPrefix)
{
    EXPECT_TRUE(sender.Send("+48502111222", "a", ROUTE_INTERNET));
    EXPECT_TRUE(sender.Send("+48601111222", "b", ROUTE_INTERNET));
    EXPECT_TRUE(sender.Send("+48602111222", "c", ROUTE_INTERNET));
    EXPECT_FALSE(sender.Send("+48600111222", "d", ROUTE_INTERNET));
    EXPECT_FALSE(sender.Send("", "e", ROUTE_INTERNET));
    const auto m = sim.Messages();
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(m[0].gateway, "Idea");
    EXPECT_EQ(m[1].gateway, "Plus");
    EXPECT_EQ(m[2].gateway, "Era");
}

TEST_F(DispatcherTest, ConfiguredRouteIsReadAtEachSendAndOtherRoutesFail)
{
    env.settings.SetRoute(ROUTE_INTERNET);
    EXPECT_TRUE(sender.Send("+48502111222", "a", ROUTE_CONFIGURED));
    env.settings.SetRoute(7);
    EXPECT_FALSE(sender.Send("+48502111222", "a", ROUTE_CONFIGURED));
    EXPECT_FALSE(sender.Send("+48502111222", "a", 2));
    EXPECT_FALSE(sender.Send("+48502111222", "a", -2));
    EXPECT_EQ(sim.MessageCount(), 1u);
}

TEST_F(DispatcherTest, MethodListShowsEraPlusIdeaWithTheirHostsAndPrefixes)
{
    env.SetHosts("era.example", "", "plus.example:8080");
    env.store.Set(settings_keys::kIdeaHomeHost, "idea.example");
    const auto rows = sender.MethodList();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].name, "Era GSM");
    EXPECT_EQ(rows[0].address, "http://era.example/sms/sms.asp");
    EXPECT_EQ(rows[0].prefixes, "+48 602; +48 604; +48 606; +48 606; +48 608; +48 610");
    EXPECT_EQ(rows[1].name, "Plus GSM");
    EXPECT_EQ(rows[1].address, "http://plus.example:8080/sms/");
    EXPECT_EQ(rows[1].prefixes, "+48 601; +48 603; +48 605; +48 607; +48 609");
    EXPECT_EQ(rows[2].name, "Idea Centertel");
    EXPECT_EQ(rows[2].address, "http://idea.example/");
    EXPECT_EQ(rows[2].prefixes, "+48 501; +48 502; +48 503");
    env.store = {};
    EXPECT_EQ(sender.MethodList()[0].address, "http://www.eraomnix.pl/sms/sms.asp");
}

} // namespace
