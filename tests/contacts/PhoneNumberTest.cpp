#include <gtest/gtest.h>

#include "contacts/PhoneNumber.h"

using contacts::NumberKind;
using contacts::ParsePhoneNumber;

TEST(PhoneNumber, CommonFormsSplitIntoThreeParts)
{
    struct Case
    {
        const char* text;
        NumberKind kind;
        const char* prefix;
        const char* op;
        const char* subscriber;
    };
    const Case cases[] = {
        {"+48 602 123 456", NumberKind::Mobile, "+48", "602", "123456"},
        {"+48-602-123-456", NumberKind::Mobile, "+48", "602", "123456"},
        {"0048602123456", NumberKind::Mobile, "+48", "602", "123456"},
        {"602123456", NumberKind::Mobile, "+48", "602", "123456"},
        {"(+48) 602123456", NumberKind::Mobile, "+48", "602", "123456"},
        {"+48 (602) 123-456", NumberKind::Mobile, "+48", "602", "123456"},
        {"tel:+48-501-234-567", NumberKind::Mobile, "+48", "501", "234567"},
        {"0601112233", NumberKind::Mobile, "+48", "601", "112233"}, // trunk zero of old phones
        {" 797 000 111 ", NumberKind::Mobile, "+48", "797", "000111"},
        {"+1 212-555-0147", NumberKind::Foreign, "+1", "212", "5550147"},
        {"+44 7700 900123", NumberKind::Foreign, "+44", "770", "0900123"},
        {"00420 603 123 456", NumberKind::Foreign, "+420", "603", "123456"},
        {"+48 22 628 12 34", NumberKind::NotMobile, "", "", ""},
        {"12 345 67 89", NumberKind::NotMobile, "", "", ""},
        {"+48 602 123 45", NumberKind::Unreadable, "", "", ""},
        {"602 123 456 7", NumberKind::Unreadable, "", "", ""},
        {"*100#", NumberKind::Unreadable, "", "", ""},
        {"602123456p123", NumberKind::Unreadable, "", "", ""},
        {"+48+602123456", NumberKind::Unreadable, "", "", ""},
        {"", NumberKind::Unreadable, "", "", ""},
        {"+39 06 1234 5678", NumberKind::Unreadable, "", "", ""}, // no operator code without a leading zero
        {"+1234567890123456", NumberKind::Unreadable, "", "", ""},
    };
    for (const auto& c : cases) {
        const auto n = ParsePhoneNumber(c.text);
        EXPECT_EQ(n.kind, c.kind) << c.text;
        EXPECT_EQ(n.parts.countryPrefix, c.prefix) << c.text;
        EXPECT_EQ(n.parts.operatorCode, c.op) << c.text;
        EXPECT_EQ(n.parts.subscriberNumber, c.subscriber) << c.text;
    }
}
