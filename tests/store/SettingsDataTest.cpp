#include <gtest/gtest.h>

#include "store/Archive.h"
#include "store/SettingsData.h"
#include "support/Bytes.h"

namespace {

// Fields 1 to 12 with the given marker, as an older or current file holds them.
Bytes FirstTwelve(const std::string& marker)
{
    Bytes b;
    b.u32(1).shortString("me@example.org").shortString("smtp").shortString("gw");
    b.shortString(marker).u32(7);
    b.shortString("r1").shortString("r2").shortString("r3").shortString("r4");
    b.u32(0).u32(1);
    return b;
}

} // namespace

TEST(SettingsData, NewRecordIsWrittenWithDefaultsAndMarker3)
{
    CSettingsData settings;
    std::vector<std::uint8_t> bytes;
    CArchive ar(bytes, CArchive::Mode::Store);
    settings.Serialize(ar);
    Bytes expected;
    expected.u32(0).shortString("").shortString("").shortString("");
    expected.shortString("3").u32(0);
    expected.shortString("").shortString("").shortString("").shortString("");
    expected.u32(1).u32(0);
    expected.u32(0).shortString("").u32(8080);
    EXPECT_EQ(bytes, expected.vec());
    EXPECT_EQ(settings.GetFormatMarker(), "3");
}

TEST(SettingsData, MarkerDecidesWhetherProxyFieldsFollow)
{
    struct Case
    {
        std::string marker;
        bool proxyFollows;
    };
    for (const Case& c : {Case{"", false}, Case{"1", false}, Case{"2", true}, Case{"3", true},
                          Case{" +2x", true}, Case{"-5", false}, Case{"abc", false}}) {
        Bytes b = FirstTwelve(c.marker);
        if (c.proxyFollows)
            b.u32(1).shortString("proxy.local").u32(3128);
        b.u16(0xBEEF); // the first bytes of the next record
        std::vector<std::uint8_t> bytes = b.vec();
        CArchive ar(bytes, CArchive::Mode::Load);
        CSettingsData s;
        s.Serialize(ar);
        EXPECT_EQ(ar.ReadUInt16(), 0xBEEF) << "marker '" << c.marker << "'";
        EXPECT_EQ(s.GetRoute(), 1);
        EXPECT_EQ(s.GetReservedNumber(), 7);
        EXPECT_TRUE(s.GetEmptyDeletedFolder());
        EXPECT_FALSE(s.GetMoveDeletedMessages());
        if (c.proxyFollows) {
            EXPECT_TRUE(s.GetUseProxy());
            EXPECT_EQ(s.GetProxyHost(), "proxy.local");
            EXPECT_EQ(s.GetProxyPort(), 3128);
        } else {
            EXPECT_FALSE(s.GetUseProxy());
            EXPECT_EQ(s.GetProxyHost(), "");
            EXPECT_EQ(s.GetProxyPort(), 8080);
        }
    }
}

TEST(SettingsData, OlderRecordIsWrittenBackWithMarker3AndProxyFields)
{
    std::vector<std::uint8_t> bytes = FirstTwelve("1").vec();
    CArchive in(bytes, CArchive::Mode::Load);
    CSettingsData s;
    s.Serialize(in);

    std::vector<std::uint8_t> out;
    CArchive ar(out, CArchive::Mode::Store);
    s.Serialize(ar);
    Bytes expected;
    expected.u32(1).shortString("me@example.org").shortString("smtp").shortString("gw");
    expected.shortString("3").u32(7);
    expected.shortString("r1").shortString("r2").shortString("r3").shortString("r4");
    expected.u32(0).u32(1).u32(0).u8(0).u32(8080);
    EXPECT_EQ(out, expected.vec());
}

TEST(SettingsData, BooleanFieldsKeepTheirStoredValue)
{
    Bytes b;
    b.u32(0).u8(0).u8(0).u8(0).shortString("3").u32(0).u8(0).u8(0).u8(0).u8(0);
    b.u32(2).u32(0).u32(5).u8(0).u32(8080);
    std::vector<std::uint8_t> bytes = b.vec();
    CArchive in(bytes, CArchive::Mode::Load);
    CSettingsData s;
    s.Serialize(in);
    EXPECT_TRUE(s.GetMoveDeletedMessages());
    EXPECT_TRUE(s.GetUseProxy());
    std::vector<std::uint8_t> out;
    CArchive ar(out, CArchive::Mode::Store);
    s.Serialize(ar);
    EXPECT_EQ(out, bytes);
}
