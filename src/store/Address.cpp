#include "store/Address.h"

#include <cctype>
#include <climits>

#include <atomic>

#include "store/Archive.h"
#include "store/ChangeStamp.h"

namespace {
std::atomic<std::uint64_t> g_lastEdit{0};
} // namespace

const CRuntimeClass& CAddress::RuntimeClass()
{
    static const CRuntimeClass rc{"CAddress", 1, [] { return std::unique_ptr<CObject>(new CAddress); }};
    static const bool registered = (runtime_classes::Register(rc), true);
    (void)registered;
    return rc;
}

std::uint64_t CAddress::LastEdit()
{
    return g_lastEdit.load(std::memory_order_relaxed);
}

void CAddress::Edited()
{
    g_lastEdit.store(change_stamp::Next(), std::memory_order_relaxed);
}

void CAddress::Serialize(CArchive& ar)
{
    ar.Transfer(m_firstName);
    ar.Transfer(m_surname);
    ar.Transfer(m_displayName);
    ar.Transfer(m_countryPrefix);
    ar.Transfer(m_operatorCode);
    ar.Transfer(m_subscriberNumber);
}

std::string CAddress::GetFullNumber() const
{
    return m_countryPrefix + m_operatorCode + m_subscriberNumber;
}

namespace address_rules {
namespace {

// The integer a C runtime's atoi would take from the text: blanks skipped, optional sign,
// digits up to the first other character. Out-of-range values saturate, so they never print back
// as the same text.
long long LeadingInteger(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        if (value > INT_MAX)
            return negative ? LLONG_MIN : LLONG_MAX;
        value = value * 10 + (text[i] - '0');
    }
    return negative ? -value : value;
}

bool AllDigits(const std::string& text)
{
    if (text.empty())
        return false;
    for (const char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

bool PrintsBackAs(const std::string& digits, const std::string& expected)
{
    const long long value = LeadingInteger(digits);
    if (value > INT_MAX || value < INT_MIN)
        return false;
    return std::to_string(value) == expected;
}

} // namespace

std::string DisplayNameFrom(const std::string& firstName, const std::string& surname)
{
    std::string name = firstName;
    if (!surname.empty()) {
        if (!firstName.empty())
            name += ' ';
        name += surname;
    }
    return name;
}

bool IsValidCountryPrefix(const std::string& prefix)
{
    // Only digits after the "+": a sign there ("+-48") would print back the same and yet put a
    // dash in every number dialled.
    if (prefix.empty() || prefix[0] != '+' || !AllDigits(prefix.substr(1)))
        return false;
    return PrintsBackAs(prefix.substr(1), prefix.substr(1));
}

bool IsValidOperatorCode(const std::string& code)
{
    return AllDigits(code) && PrintsBackAs(code, code);
}

Problem Check(const CAddress& entry)
{
    if (!IsValidCountryPrefix(entry.GetCountryPrefix()))
        return Problem::CountryPrefix;
    if (!IsValidOperatorCode(entry.GetOperatorCode()))
        return Problem::OperatorCode;
    if (entry.GetFirstName().empty() && entry.GetSurname().empty() && entry.GetDisplayName().empty())
        return Problem::NoName;
    if (entry.GetSubscriberNumber().empty())
        return Problem::NoSubscriberNumber;
    // Blanks or signs in the number could never be dialled.
    if (!AllDigits(entry.GetSubscriberNumber()))
        return Problem::SubscriberNumber;
    return Problem::None;
}

} // namespace address_rules
