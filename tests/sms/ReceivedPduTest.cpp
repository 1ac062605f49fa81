// Received PDUs written out by hand from 3GPP TS 23.040 (layout) and TS 23.038 (alphabets), field
// by field. 7-bit user data was packed septet by septet, least significant bit first.
#include <gtest/gtest.h>

#include <initializer_list>

#include "sms/ReceivedPdu.h"
#include "support/TempDir.h"

namespace {

using sms::PduKind;
using sms::ReadPdu;
using sms::TextCoding;

std::string Pdu(std::initializer_list<std::string> fields)
{
    std::string hex;
    for (const auto& f : fields)
        hex += f;
    return hex;
}

// Service centre +48602951111: 7 octets, international, digits swapped with an F filler.
const std::string kCentre = "07918406921511F1";
const std::string kNoCentre = "00";
// Sender +48602123456: 11 digits, international.
const std::string kSender = "0B918406123254F6";
// 2026-12-08 21:05:30 at +01:00 (four quarter hours).
const std::string kTime = "62218012500340";
constexpr std::int64_t kTimeUtc = 1796760330; // 2026-12-08 20:05:30 UTC
const std::string kDeliver = "04";            // no more messages waiting
const std::string kDeliverWithHeader = "44";
const std::string kGsm7 = "0000"; // PID, DCS
const std::string kUcs2 = "0008";

// 14 septets: @ £ $ ¥ and the escaped € [ ] { }.
const std::string kSpecials =
    Pdu({kCentre, kDeliver, kSender, kGsm7, kTime, "0E", "808060B0296F781BDF06B54901"});

TEST(ReceivedPdu, ReadsSevenBitTextWithExtensionCharacters)
{
    const auto pdu = ReadPdu(kSpecials);
    ASSERT_TRUE(pdu.ok) << pdu.reason;
    EXPECT_EQ(pdu.kind, PduKind::Deliver);
    EXPECT_EQ(pdu.centre, "+48602951111");
    EXPECT_EQ(pdu.address, "+48602123456");
    EXPECT_FALSE(pdu.alphanumeric);
    EXPECT_EQ(pdu.coding, TextCoding::Gsm7);
    EXPECT_EQ(pdu.text, "@£$¥€[]{}");
    EXPECT_FALSE(pdu.part.present);
    EXPECT_FALSE(pdu.flash);
    EXPECT_EQ(pdu.raw, kSpecials);
}

TEST(ReceivedPdu, ReadsTheCentreTimeWithItsZone)
{
    struct Case
    {
        std::string zone;
        std::int64_t utc;
        int minutes;
    };
    const Case cases[] = {
        {"40", kTimeUtc, 60},                 // +4 quarters
        {"0A", kTimeUtc + 6 * 3600, -300},    // sign bit, 20 quarters west
        {"00", kTimeUtc + 3600, 0},           // UTC
        {"62", kTimeUtc + 3600 - 23400, 390}, // 26 quarters: +06:30
    };
    for (const auto& c : cases) {
        const auto pdu = ReadPdu(Pdu({kNoCentre, kDeliver, kSender, kGsm7, "622180125003", c.zone, "00"}));
        ASSERT_TRUE(pdu.ok) << c.zone << ": " << pdu.reason;
        ASSERT_TRUE(pdu.time.valid) << c.zone;
        EXPECT_EQ(pdu.time.utc, c.utc) << c.zone;
        EXPECT_EQ(pdu.time.zoneMinutes, c.minutes) << c.zone;
    }
    // A month 13 drops the time, not the message.
    const auto bad = ReadPdu(Pdu({kNoCentre, kDeliver, kSender, kGsm7, "62318012500340", "00"}));
    EXPECT_TRUE(bad.ok);
    EXPECT_FALSE(bad.time.valid);
}

TEST(ReceivedPdu, ReadsAnAlphanumericSender)
{
    // "Orange": 6 septets in 6 octets, 11 useful semi-octets, type D0; text "hellohello".
    const auto pdu =
        ReadPdu(Pdu({kNoCentre, kDeliver, "0BD04F79D87D2E03", kGsm7, kTime, "0A", "E8329BFD4697D9EC37"}));
    ASSERT_TRUE(pdu.ok) << pdu.reason;
    EXPECT_TRUE(pdu.alphanumeric);
    EXPECT_EQ(pdu.address, "Orange");
    EXPECT_EQ(pdu.centre, "");
    EXPECT_EQ(pdu.text, "hellohello");
}

TEST(ReceivedPdu, ReadsUcs2PolishTextAndSurrogatePairs)
{
    struct Case
    {
        std::string length;
        std::string data;
        std::string text;
    };
    const Case cases[] = {
        {"22", "005A0061017C00F301420107002000670119015B006C01050020006A0061017A0144", "Zażółć gęślą jaźń"},
        {"0C", "00480065006A0020D83DDE00", "Hej 😀"},
        // A high surrogate without its low half is shown as the replacement character.
        {"04", "D83D0041",
         "\xEF\xBF\xBD"
         "A"},
    };
    for (const auto& c : cases) {
        const auto pdu = ReadPdu(Pdu({kNoCentre, kDeliver, kSender, kUcs2, kTime, c.length, c.data}));
        ASSERT_TRUE(pdu.ok) << pdu.reason;
        EXPECT_EQ(pdu.coding, TextCoding::Ucs2);
        EXPECT_EQ(pdu.text, c.text);
    }
}

TEST(ReceivedPdu, KeepsTheHalvesOfACharacterSplitBetweenPartsAside)
{
    // Part 1 of 2 ends with the high half of U+1F600, part 2 begins with the low half.
    const auto first = ReadPdu(
        Pdu({kNoCentre, kDeliverWithHeader, kSender, kUcs2, kTime, "0A", "0500030702", "01", "0041D83D"}));
    ASSERT_TRUE(first.ok) << first.reason;
    EXPECT_EQ(first.text, "A");
    EXPECT_EQ(first.trailingHighSurrogate, 0xD83D);
    EXPECT_EQ(first.leadingLowSurrogate, 0);
    const auto second = ReadPdu(
        Pdu({kNoCentre, kDeliverWithHeader, kSender, kUcs2, kTime, "0A", "0500030702", "02", "DE000042"}));
    ASSERT_TRUE(second.ok) << second.reason;
    EXPECT_EQ(second.text, "B");
    EXPECT_EQ(second.leadingLowSurrogate, 0xDE00);
    // In a whole message a lone half is a fault of the sender, shown as the replacement character.
    const auto whole = ReadPdu(Pdu({kNoCentre, kDeliver, kSender, kUcs2, kTime, "04", "0041D83D"}));
    EXPECT_EQ(whole.text, "A\xEF\xBF\xBD");
}

TEST(ReceivedPdu, ShowsEightBitDataAsHex)
{
    const auto pdu = ReadPdu(Pdu({kNoCentre, kDeliver, kSender, "0004", kTime, "03", "00FF7F"}));
    ASSERT_TRUE(pdu.ok) << pdu.reason;
    EXPECT_EQ(pdu.coding, TextCoding::Data8);
    EXPECT_EQ(pdu.text, "00FF7F");
}

TEST(ReceivedPdu, ReadsThreePartsWithASixteenBitReference)
{
    // Header 06 08 04 1234 03 nn is 7 octets, exactly 8 septets, so the text starts without fill
    // bits; the length counts the header's septets too.
    struct Case
    {
        std::string length;
        std::string header;
        std::string data;
        std::string text;
    };
    const Case cases[] = {
        {"12", "06080412340301", "D0B09C0E7ABBCB2C10", "Part one, "},
        {"12", "06080412340302", "F0B09C0EA2DFDF2C10", "part two, "},
        {"13", "06080412340303", "F0B09C0EA2A3E5E5B20B", "part three."},
    };
    int sequence = 0;
    for (const auto& c : cases) {
        const auto pdu =
            ReadPdu(Pdu({kNoCentre, kDeliverWithHeader, kSender, kGsm7, kTime, c.length, c.header, c.data}));
        ASSERT_TRUE(pdu.ok) << pdu.reason;
        EXPECT_EQ(pdu.text, c.text);
        ASSERT_TRUE(pdu.part.present);
        EXPECT_TRUE(pdu.part.wideReference);
        EXPECT_EQ(pdu.part.reference, 0x1234);
        EXPECT_EQ(pdu.part.total, 3);
        EXPECT_EQ(pdu.part.sequence, ++sequence);
    }
}

TEST(ReceivedPdu, SkipsFillBitsAndOtherHeaderElements)
{
    // The 8-bit concatenation header 05 00 03 2A 02 01 is 6 octets: 7 septets, the last with one
    // fill bit in front of the text "Ala ".
    const auto pdu = ReadPdu(
        Pdu({kNoCentre, kDeliverWithHeader, kSender, kGsm7, kTime, "0B", "0500032A0201", "82EC3008"}));
    ASSERT_TRUE(pdu.ok) << pdu.reason;
    EXPECT_EQ(pdu.text, "Ala ");
    EXPECT_EQ(pdu.part.reference, 0x2A);
    EXPECT_FALSE(pdu.part.wideReference);

    // UCS-2 with a port element and a single-shift element before the concatenation, both
    // skipped by their lengths.
    const auto ucs = ReadPdu(Pdu({kNoCentre, kDeliverWithHeader, kSender, kUcs2, kTime, "11", "0E",
                                  "0504162A0000", "240101", "00032A0202", "0041"}));
    ASSERT_TRUE(ucs.ok) << ucs.reason;
    EXPECT_EQ(ucs.text, "A");
    EXPECT_EQ(ucs.singleShiftLanguage, 1);
    EXPECT_EQ(ucs.part.sequence, 2);
}

TEST(ReceivedPdu, FlagsAFlashMessage)
{
    struct Case
    {
        std::string dcs;
        bool flash;
    };
    // 10: class 0 in the general group; F0: class 0 in the data coding group; 00 and 11: not.
    const Case cases[] = {{"10", true}, {"F0", true}, {"00", false}, {"11", false}};
    for (const auto& c : cases) {
        const auto pdu =
            ReadPdu(Pdu({kNoCentre, kDeliver, kSender, "00", c.dcs, kTime, "06", "4676788E0E01"}));
        ASSERT_TRUE(pdu.ok) << pdu.reason;
        EXPECT_EQ(pdu.flash, c.flash) << c.dcs;
        EXPECT_EQ(pdu.text, "Flash!");
    }
}

TEST(ReceivedPdu, ReadsAStatusReport)
{
    // FO 06 (STATUS-REPORT), MR 2A, the recipient, the centre's time, the discharge time one
    // minute later, status 00 (delivered).
    const auto pdu = ReadPdu(Pdu({kNoCentre, "06", "2A", kSender, kTime, "62218012600340", "00"}));
    ASSERT_TRUE(pdu.ok) << pdu.reason;
    EXPECT_EQ(pdu.kind, PduKind::StatusReport);
    EXPECT_EQ(pdu.messageReference, 0x2A);
    EXPECT_EQ(pdu.address, "+48602123456");
    EXPECT_EQ(pdu.status, 0);
    EXPECT_EQ(pdu.discharge.utc, kTimeUtc + 60);
}

TEST(ReceivedPdu, KeepsBrokenPdusRawWithAReason)
{
    struct Case
    {
        const char* what;
        std::string hex;
    };
    const Case cases[] = {
        {"length past the bytes",
         Pdu({kNoCentre, kDeliver, kSender, kGsm7, kTime, "20", "E8329BFD4697D9EC37"})},
        {"odd UCS-2", Pdu({kNoCentre, kDeliver, kSender, kUcs2, kTime, "03", "004100"})},
        {"header past the data",
         Pdu({kNoCentre, kDeliverWithHeader, kSender, kUcs2, kTime, "04", "09000301"})},
        {"element past the header",
         Pdu({kNoCentre, kDeliverWithHeader, kSender, kUcs2, kTime, "04", "03000301"})},
        {"not hexadecimal", "0004ZZ"},
        {"odd digit count", "000"},
        {"a SUBMIT", Pdu({kNoCentre, "01", "00", kSender, kGsm7, "00"})},
        {"compressed", Pdu({kNoCentre, kDeliver, kSender, "0020", kTime, "01", "00"})},
        {"empty", ""},
    };
    for (const auto& c : cases) {
        const auto pdu = ReadPdu(c.hex);
        EXPECT_FALSE(pdu.ok) << c.what;
        EXPECT_FALSE(pdu.reason.empty()) << c.what;
        EXPECT_EQ(pdu.raw, c.hex) << c.what;
    }
}

TEST(ReceivedPdu, IgnoresAConcatenationElementOutsideItsCount)
{
    const char* headers[] = {"0500032A0305", "0500032A0001", "0500032A0300"}; // 5 of 3, total 0, part 0
    for (const char* header : headers) {
        const auto pdu =
            ReadPdu(Pdu({kNoCentre, kDeliverWithHeader, kSender, kGsm7, kTime, "0B", header, "82EC3008"}));
        ASSERT_TRUE(pdu.ok) << header << ": " << pdu.reason;
        EXPECT_FALSE(pdu.part.present) << header;
        EXPECT_FALSE(pdu.note.empty()) << header;
        EXPECT_EQ(pdu.text, "Ala ") << header;
    }
}

TEST(ReceivedPdu, EveryCutOfAGoodPduIsRefused)
{
    for (std::size_t length = 0; length < kSpecials.size(); length += 2) {
        const auto pdu = ReadPdu(kSpecials.substr(0, length));
        EXPECT_FALSE(pdu.ok) << length / 2 << " octets";
        EXPECT_FALSE(pdu.reason.empty()) << length / 2 << " octets";
    }
}

// The fuzz target's seeds and every input it ever found wrong read without a fault (the
// sanitizer build is what catches one).
TEST(ReceivedPdu, ReadsTheFuzzSeedsAndFindings)
{
    int seen = 0;
    for (const char* folder : {"pdu-seeds", "pdu-found"}) {
        const std::string dir = std::string(BRIVANTEL_FUZZ_DIR) + "/" + folder;
        for (const auto& name : ListDirectory(dir)) {
            if (name == ".keep")
                continue;
            const auto pdu = ReadPdu(ReadFileBytes(dir + "/" + name));
            EXPECT_TRUE(pdu.ok || !pdu.reason.empty()) << name;
            ++seen;
        }
    }
    EXPECT_GE(seen, 6);
}

} // namespace
