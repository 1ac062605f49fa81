#include <gtest/gtest.h>

#include "app/TypedNumber.h"

TEST(TypedNumber, NumbersAsPeopleWriteThemAndWhatIsNoNumber)
{
    struct Case
    {
        const char* piece;
        const char* number; // empty: not a number
    };
    const Case cases[] = {
        {"+48602123456", "+48602123456"},
        {"+48 602 123 456", "+48602123456"},
        {"602-123-456", "+48602123456"},
        {"0048602123456", "+48602123456"},
        {"(+48) 602123456", "+48602123456"},
        {"+4915112345678", "+4915112345678"},
        {"8080", "8080"},
        {"112", "112"},
        {"12", ""},
        {"1234567890123456", ""},
        {"Jan", ""},
        {"Jan 602", ""},
        {"602+123", ""},
        {"++48602123456", ""},
        {"", ""},
        {"   ", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(typed_number::NumberOf(c.piece), c.number) << '"' << c.piece << '"';
}
