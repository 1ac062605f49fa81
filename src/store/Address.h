#pragma once

#include <cstdint>
#include <string>

#include "store/Object.h"

// One address-book entry: the person's names and a number in three parts.
class CAddress final : public CObject
{
public:
    CAddress() = default;

    static const CRuntimeClass& RuntimeClass();
    const CRuntimeClass& GetRuntimeClass() const override { return RuntimeClass(); }
    void Serialize(CArchive& ar) override;
    std::unique_ptr<CObject> Clone() const override { return std::make_unique<CAddress>(*this); }

    const std::string& GetFirstName() const { return m_firstName; }
    const std::string& GetSurname() const { return m_surname; }
    const std::string& GetDisplayName() const { return m_displayName; }
    const std::string& GetCountryPrefix() const { return m_countryPrefix; }
    const std::string& GetOperatorCode() const { return m_operatorCode; }
    const std::string& GetSubscriberNumber() const { return m_subscriberNumber; }
    void SetFirstName(std::string v)
    {
        m_firstName = std::move(v);
        Edited();
    }
    void SetSurname(std::string v)
    {
        m_surname = std::move(v);
        Edited();
    }
    void SetDisplayName(std::string v)
    {
        m_displayName = std::move(v);
        Edited();
    }
    void SetCountryPrefix(std::string v)
    {
        m_countryPrefix = std::move(v);
        Edited();
    }
    void SetOperatorCode(std::string v)
    {
        m_operatorCode = std::move(v);
        Edited();
    }
    void SetSubscriberNumber(std::string v)
    {
        m_subscriberNumber = std::move(v);
        Edited();
    }

    // The stamp of the last change made to any entry in place (see CMessage::LastEdit).
    static std::uint64_t LastEdit();

    // Prefix, operator code and subscriber number joined with nothing between them.
    std::string GetFullNumber() const;

private:
    static void Edited();

    std::string m_firstName;
    std::string m_surname;
    std::string m_displayName;
    std::string m_subscriberNumber;
    std::string m_countryPrefix;
    std::string m_operatorCode;
};

// The entry editor's rules, shared by every place that accepts a new or edited entry.
namespace address_rules {

// The name the editor proposes from the first name and the surname.
std::string DisplayNameFrom(const std::string& firstName, const std::string& surname);

// "+" and a decimal number written as printf would write it back, digits only ("+48" yes; "+048",
// "48", "+48 ", "+-48" no).
bool IsValidCountryPrefix(const std::string& prefix);
// A decimal number written as printf would write it back, digits only ("602" yes; "0602", "60a",
// "-602" no).
bool IsValidOperatorCode(const std::string& code);

enum class Problem
{
    None,
    CountryPrefix,
    OperatorCode,
    NoName,
    NoSubscriberNumber,
    SubscriberNumber
};
// What keeps the editor's OK disabled for this entry, the first problem found.
Problem Check(const CAddress& entry);

} // namespace address_rules
