#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "store/Address.h"
#include "store/ChangeStamp.h"

class CArchive;

using AddressArray = std::vector<std::unique_ptr<CAddress>>;

// The user's address book: entries in the order they were added, with exact lookups by display
// name and full number and a case-insensitive search. Duplicates are allowed; every lookup finds
// the first in book order.
class CAddressBook
{
public:
    // The book takes the entry; on failure (out of memory) it is handed back untouched.
    bool AddAddress(std::unique_ptr<CAddress>& entry);
    void DeleteAddress(const CAddress* entry);
    const AddressArray& GetEntries() const { return m_entries; }

    bool ExistsDisplayName(const std::string& name) const;
    CAddress* FindByDisplayName(const std::string& name) const;
    std::string NameForNumber(const std::string& number) const;
    std::string NumberForName(const std::string& name) const;

    // Substring search, case-insensitive; FindNext goes on after the last match until it
    // returns none, which ends the search.
    CAddress* FindFirst(const std::string& name, const std::string& number);
    CAddress* FindNext();

    void Serialize(CArchive& ar);
    // New after every change to the list of entries; changes inside an entry show in
    // CAddress::LastEdit instead.
    std::uint64_t GetChangeStamp() const { return m_stamp; }
    // The stamp of the last change other than an entry added at the end (see CMessageList).
    std::uint64_t GetReshapeStamp() const { return m_reshaped; }

private:
    bool Matches(const CAddress& entry) const;
    CAddress* WalkFrom(std::size_t start);
    void EndSearch();

    AddressArray m_entries;
    std::string m_searchName;
    std::string m_searchNumber;
    long long m_searchPosition = -1;
    std::uint64_t m_stamp = change_stamp::Next();
    std::uint64_t m_reshaped = m_stamp;
};
