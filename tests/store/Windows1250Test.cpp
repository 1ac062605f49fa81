#include <gtest/gtest.h>

#include "store/Windows1250.h"

TEST(Windows1250, EveryByteRoundTripsThroughUtf8)
{
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        const auto back = windows1250::FromUtf8(windows1250::ToUtf8(one));
        ASSERT_TRUE(back.has_value()) << b;
        EXPECT_EQ(*back, one) << b;
    }
    // The five bytes the code page leaves undefined stand for the C1 control of the same number.
    struct Case
    {
        unsigned char byte;
        char32_t codePoint;
        const char* utf8;
    };
    for (const Case& c :
         {Case{0x81, 0x81, "\xC2\x81"}, Case{0x83, 0x83, "\xC2\x83"}, Case{0x88, 0x88, "\xC2\x88"},
          Case{0x90, 0x90, "\xC2\x90"}, Case{0x98, 0x98, "\xC2\x98"}}) {
        EXPECT_EQ(windows1250::ToCodePoint(c.byte), c.codePoint);
        EXPECT_EQ(windows1250::FromCodePoint(c.codePoint), c.byte);
        EXPECT_EQ(windows1250::ToUtf8(std::string(1, static_cast<char>(c.byte))), c.utf8);
    }
    EXPECT_FALSE(windows1250::FromCodePoint(0xFFFD).has_value());
    EXPECT_FALSE(windows1250::FromCodePoint(0x80).has_value()); // 0x80 is the euro sign, not U+0080
}

TEST(Windows1250, PolishLettersAndRefusals)
{
    EXPECT_EQ(windows1250::FromUtf8("Zażółć gęślą jaźń"), std::string("Za\xBF\xF3\xB3\xE6 g\xEA\x9Cl\xB9 ja\x9F\xF1"));
    EXPECT_EQ(windows1250::FromUtf8("ŁÓDŹ ŚĆŃĘĄŻ"), std::string("\xA3\xD3" "D\x8F \x8C\xC6\xD1\xCA\xA5\xAF"));
    EXPECT_FALSE(windows1250::FromUtf8("emoji \xF0\x9F\x98\x80").has_value());
    EXPECT_FALSE(windows1250::FromUtf8("Ж").has_value());
    EXPECT_FALSE(windows1250::FromUtf8("\xC0\xAF").has_value()); // overlong "/"
    EXPECT_FALSE(windows1250::FromUtf8("\xE2\x82").has_value());  // cut short
    EXPECT_EQ(windows1250::FromUtf8Lossy("aЖb"), "a?b");
}

TEST(Windows1250, LowerCaseFoldsAsciiAndPolishCapitals)
{
    const auto upper = *windows1250::FromUtf8("ABCZ ĄĆĘŁŃÓŚŹŻ ŠŤŽ × ß");
    const auto lower = *windows1250::FromUtf8("abcz ąćęłńóśźż šťž × ß");
    EXPECT_EQ(windows1250::ToLower(upper), lower);
    EXPECT_EQ(windows1250::ToLower(lower), lower);
}
