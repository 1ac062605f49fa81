#include <gtest/gtest.h>

#include <algorithm>

#include "phone/PduDecoder.h"
#include "send/SmsEncoding.h"

namespace {

using sms::Coding;

// "+48602123456": 11 digits, international; the digits in swapped pairs, F filling the last.
const std::string kAddressIntl = "0B918406123254F6";
// "602123456": 9 digits, type unknown.
const std::string kAddressPlain = "09810612 3254F6";

std::string NoBlanks(std::string s)
{
    s.erase(std::remove(s.begin(), s.end(), ' '), s.end());
    return s;
}

// The PDU begins with the octets written out.
::testing::AssertionResult Begins(const std::string& hex, const std::string& octets)
{
    const std::string want = NoBlanks(octets);
    if (hex.compare(0, want.size(), want) == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << hex << " does not begin with " << want;
}

} // namespace

TEST(SmsEncoding, EachTextGoesTheWayItNeeds)
{
    struct Case
    {
        std::string text; // Windows-1250
        Coding coding;
        int parts;
    } cases[] = {
        {"Hej, jutro o 10:00?", Coding::Text, 1},
        {"Linia 1\r\nLinia 2 [x] {y} ~|^\\ @$_", Coding::Text, 1},
        {std::string(160, 'a'), Coding::Text, 1},
        {std::string(161, 'a'), Coding::Gsm7, 2},
        {std::string(153 * 2, 'a'), Coding::Gsm7, 2},
        {std::string(153 * 2 + 1, 'a'), Coding::Gsm7, 3},
        {std::string(80, '['), Coding::Text, 1},                        // 160 septets
        {std::string(79, 'a') + std::string(41, '['), Coding::Gsm7, 2}, // 161 septets
        {"B\xe4r \x80", Coding::Gsm7, 1},                               // ä and €: GSM letters, not ASCII
        {"Za\xbf\xf3\xb3\xe6", Coding::Ucs2, 1},                        // Zażółć
        {"a`b", Coding::Ucs2, 1},               // the grave accent is no GSM character
        {"Ala\x1ama\x1bkota", Coding::Ucs2, 1}, // control characters travel in UCS-2
        {std::string(70, '\xb9'), Coding::Ucs2, 1},
        {std::string(71, '\xb9'), Coding::Ucs2, 2},
        {std::string(150, '\xb9'), Coding::Ucs2, 3},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sms::ChooseCoding(c.text), c.coding) << c.text;
        EXPECT_EQ(sms::PartCount(c.text, c.coding), c.parts) << c.text;
    }
}

TEST(SmsEncoding, SubmitPdusMatchTheStandardByteForByte)
{
    struct Case
    {
        const char* what;
        std::string number;
        std::u16string text;
        Coding coding;
        std::string hex;
        int length;
    } cases[] = {
        {"every Polish letter in UCS-2", "+48602123456",
         u"\u0105\u0107\u0119\u0142\u0144\u00F3\u015B\u017A\u017C "
         u"\u0104\u0106\u0118\u0141\u0143\u00D3\u015A\u0179\u017B",
         Coding::Ucs2,
         "00 01 00 " + kAddressIntl +
             " 00 08 26"
             " 0105 0107 0119 0142 0144 00F3 015B 017A 017C 0020 0104 0106 0118 0141 0143 00D3 015A 0179 "
             "017B",
         51},
        {"national number", "602123456", u"\u0105", Coding::Ucs2,
         "00 01 00 " + kAddressPlain + " 00 08 02 0105", 14},
        {"basic and extension table", "+48602123456", u"@\u00A3$\u00A5[]{}\u20AC", Coding::Gsm7,
         "00 01 00 " + kAddressIntl + " 00 00 0E 80 80 60 B0 E1 6D 7C 1B D4 26 B5 29 03", 26},
        {"seven-bit single part", "+48602123456", u"hellohello", Coding::Gsm7,
         "00 01 00 " + kAddressIntl + " 00 00 0A E8 32 9B FD 46 97 D9 EC 37", 22},
    };
    for (const auto& c : cases) {
        const auto pdus = sms::SubmitPdus(c.number, c.text, c.coding, 0x42);
        ASSERT_EQ(pdus.size(), 1u) << c.what;
        EXPECT_EQ(pdus[0].hex, NoBlanks(c.hex)) << c.what;
        EXPECT_EQ(pdus[0].length, c.length) << c.what;
    }
}

TEST(SmsEncoding, LongTextsAreConcatenatedParts)
{
    // 161 septets: 153 in the first part, 8 in the second. The header (05 00 03 ref count part)
    // takes 6 octets and one fill bit, 7 septets; the text starts at bit 49: "a" (0x61) there
    // gives C2, then E1 70 ...
    const auto seven = sms::SubmitPdus("+48602123456", std::u16string(161, u'a'), Coding::Gsm7, 0x42);
    ASSERT_EQ(seven.size(), 2u);
    EXPECT_TRUE(Begins(seven[0].hex, "00 41 00 " + kAddressIntl + " 00 00 A0 05 00 03 42 02 01 C2 E1 70"));
    EXPECT_EQ(seven[0].length, 13 + 140);
    EXPECT_TRUE(Begins(seven[1].hex, "00 41 00 " + kAddressIntl + " 00 00 0F 05 00 03 42 02 02 C2 E1 70"));
    EXPECT_EQ(seven[1].length, 13 + 14);

    // 150 Polish letters: 67 + 67 + 16 characters, 6 header octets in front of each part.
    const auto ucs = sms::SubmitPdus("+48602123456", std::u16string(150, u'\u0105'), Coding::Ucs2, 0x07);
    ASSERT_EQ(ucs.size(), 3u);
    for (int p = 0; p < 3; ++p) {
        const std::string udl = p < 2 ? "8C" : "26";
        EXPECT_TRUE(Begins(ucs[p].hex, "00 41 00 " + kAddressIntl + " 00 08 " + udl + " 05 00 03 07 03 0" +
                                           std::to_string(p + 1) + " 0105 0105"));
    }
    EXPECT_EQ(ucs[0].length, 13 + 140);
    EXPECT_EQ(ucs[2].length, 13 + 6 + 32);

    // An extension character is never torn from its escape at a part's end.
    const auto torn =
        sms::SubmitPdus("+1", std::u16string(152, u'a') + u"[" + std::u16string(10, u'b'), Coding::Gsm7, 1);
    ASSERT_EQ(torn.size(), 2u);
    EXPECT_EQ(DecodeSubmit(torn[0].hex).text, std::string(152, 'a'));
    EXPECT_EQ(DecodeSubmit(torn[1].hex).text, "[" + std::string(10, 'b'));
}

TEST(SmsEncoding, TheTestPhoneReadsWhatTheEncoderWrites)
{
    const std::u16string text = u"Za\u017C\u00F3\u0142\u0107 g\u0119\u015Bl\u0105 ja\u017A\u0144";
    const auto pdus = sms::SubmitPdus("+48602123456", text, Coding::Ucs2, 9);
    ASSERT_EQ(pdus.size(), 1u);
    const DecodedSubmit d = DecodeSubmit(pdus[0].hex);
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(d.number, "+48602123456");
    EXPECT_EQ(d.addressType, 0x91);
    EXPECT_EQ(d.dcs, 0x08);
    EXPECT_FALSE(d.concatenated);
    EXPECT_EQ(d.text, "Zażółć gęślą jaźń");
    EXPECT_EQ(d.tpduLength, pdus[0].length);
}
