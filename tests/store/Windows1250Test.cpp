#include <gtest/gtest.h>

#include "store/Windows1250.h"

TEST(Windows1250, EveryDefinedByteRoundTripsThroughUtf8)
{
    int undefined = 0;
    for (int b = 1; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        const auto back = windows1250::FromUtf8(windows1250::ToUtf8(one));
        if (windows1250::ToCodePoint(static_cast<unsigned char>(b)) == 0xFFFD) {
            ++undefined;
            EXPECT_FALSE(back.has_value()) << b;
        } else {
            ASSERT_TRUE(back.has_value()) << b;
            EXPECT_EQ(*back, one) << b;
        }
    }
    EXPECT_EQ(undefined, 5); // 0x81, 0x83, 0x88, 0x90, 0x98
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
