#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace contacts {

// A telephone number split the way the address book keeps it.
struct PhoneParts
{
    std::string countryPrefix;    // "+48"
    std::string operatorCode;     // "602"
    std::string subscriberNumber; // "123456"
};

enum class NumberKind
{
    Mobile,     // a Polish mobile number
    Foreign,    // another country's number; whether it is mobile cannot be told from the digits
    NotMobile,  // a Polish number outside the mobile ranges (a landline, a service number)
    Unreadable, // letters, short codes, wrong length
};

struct ParsedNumber
{
    NumberKind kind = NumberKind::Unreadable;
    PhoneParts parts; // filled for Mobile and Foreign
};

// Reads a number as people and phones write it: "+48 602 123 456", "+48-602-123-456",
// "0048602123456", "602123456", "(+48) 602123456", "tel:+48-602-123-456". A number without a
// country code is taken as Polish.
ParsedNumber ParsePhoneNumber(std::string_view text);

} // namespace contacts
