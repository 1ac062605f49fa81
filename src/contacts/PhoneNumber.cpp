#include "contacts/PhoneNumber.h"

#include <algorithm>
#include <array>

namespace contacts {
namespace {

constexpr std::string_view kPoland = "48";
constexpr std::size_t kPolishNationalLength = 9;
constexpr std::size_t kOperatorLength = 3;
constexpr std::size_t kMaxInternationalDigits = 15; // E.164

// The first two digits of Polish mobile numbers; every other range is fixed lines and services.
constexpr std::array<std::string_view, 13> kPolishMobileRanges = {"45", "50", "51", "53", "57", "60", "66",
                                                                  "69", "72", "73", "78", "79", "88"};

// Country codes of one and two digits; every other code has three (ITU-T E.164 assignment).
bool IsShortCountryCode(std::string_view code)
{
    static constexpr std::array<std::string_view, 44> kTwoDigit = {
        "20", "27", "30", "31", "32", "33", "34", "36", "39", "40", "41", "43", "44", "45", "46",
        "47", "48", "49", "51", "52", "53", "54", "55", "56", "57", "58", "60", "61", "62", "63",
        "64", "65", "66", "81", "82", "84", "86", "90", "91", "92", "93", "94", "95", "98"};
    if (code.size() == 1)
        return code == "1" || code == "7";
    return code.size() == 2 && std::find(kTwoDigit.begin(), kTwoDigit.end(), code) != kTwoDigit.end();
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The digits of the number with the separators people write dropped; nothing when anything else
// (letters, pause or extension marks, a "+" inside) is in it. international tells whether it
// began with "+" or "00".
std::optional<std::string> Digits(std::string_view text, bool& international)
{
    auto start = text.find_first_not_of(" \t");
    text.remove_prefix(start == std::string_view::npos ? text.size() : start);
    if (text.size() >= 4 && (text.substr(0, 4) == "tel:" || text.substr(0, 4) == "TEL:"))
        text.remove_prefix(4);
    std::string digits;
    international = false;
    bool seenDigit = false;
    for (char c : text) {
        if (IsDigit(c)) {
            digits += c;
            seenDigit = true;
        } else if (c == '+' && !seenDigit && !international) {
            international = true;
        } else if (c != ' ' && c != '-' && c != '.' && c != '(' && c != ')' && c != '/' && c != '\t' &&
                   c != '\xA0') {
            return std::nullopt;
        }
    }
    if (!international && digits.size() > 2 && digits.compare(0, 2, "00") == 0) {
        international = true;
        digits.erase(0, 2);
    }
    return digits;
}

ParsedNumber Polish(const std::string& national)
{
    ParsedNumber result;
    if (national.size() != kPolishNationalLength)
        return result;
    const std::string_view range = std::string_view(national).substr(0, 2);
    if (std::find(kPolishMobileRanges.begin(), kPolishMobileRanges.end(), range) ==
        kPolishMobileRanges.end()) {
        result.kind = NumberKind::NotMobile;
        return result;
    }
    result.kind = NumberKind::Mobile;
    result.parts = {"+48", national.substr(0, kOperatorLength), national.substr(kOperatorLength)};
    return result;
}

ParsedNumber Foreign(const std::string& digits)
{
    ParsedNumber result;
    std::size_t codeLength = 3;
    if (IsShortCountryCode(std::string_view(digits).substr(0, 1)))
        codeLength = 1;
    else if (IsShortCountryCode(std::string_view(digits).substr(0, 2)))
        codeLength = 2;
    const std::string national = digits.substr(std::min(codeLength, digits.size()));
    // The address book wants an operator code without a leading zero and some digits after it.
    if (digits[0] == '0' || national.size() <= kOperatorLength || national[0] == '0')
        return result;
    result.kind = NumberKind::Foreign;
    result.parts = {"+" + digits.substr(0, codeLength), national.substr(0, kOperatorLength),
                    national.substr(kOperatorLength)};
    return result;
}

} // namespace

ParsedNumber ParsePhoneNumber(std::string_view text)
{
    bool international = false;
    const auto digits = Digits(text, international);
    if (!digits || digits->empty())
        return {};
    if (!international) {
        // Old phones kept the trunk zero in front of mobile numbers: "0602 123 456".
        if (digits->size() == kPolishNationalLength + 1 && (*digits)[0] == '0')
            return Polish(digits->substr(1));
        return Polish(*digits);
    }
    if (digits->size() > kMaxInternationalDigits)
        return {};
    if (digits->compare(0, kPoland.size(), kPoland) == 0)
        return Polish(digits->substr(kPoland.size()));
    return Foreign(*digits);
}

} // namespace contacts
