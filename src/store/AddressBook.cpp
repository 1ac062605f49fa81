#include "store/AddressBook.h"

#include <new>

#include "store/Archive.h"
#include "store/Windows1250.h"

bool CAddressBook::AddAddress(std::unique_ptr<CAddress>& entry)
{
    if (!entry)
        return false;
    try {
        m_entries.push_back(std::move(entry));
        m_stamp = change_stamp::Next();
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void CAddressBook::DeleteAddress(const CAddress* entry)
{
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        if (it->get() == entry) {
            m_entries.erase(it);
            m_entries.shrink_to_fit();
            m_stamp = m_reshaped = change_stamp::Next();
            return;
        }
    }
}

bool CAddressBook::ExistsDisplayName(const std::string& name) const
{
    return FindByDisplayName(name) != nullptr;
}

CAddress* CAddressBook::FindByDisplayName(const std::string& name) const
{
    for (const auto& entry : m_entries) {
        if (entry->GetDisplayName() == name)
            return entry.get();
    }
    return nullptr;
}

std::string CAddressBook::NameForNumber(const std::string& number) const
{
    for (const auto& entry : m_entries) {
        if (entry->GetFullNumber() == number)
            return entry->GetDisplayName();
    }
    return {};
}

std::string CAddressBook::NumberForName(const std::string& name) const
{
    const CAddress* entry = FindByDisplayName(name);
    return entry ? entry->GetFullNumber() : std::string();
}

CAddress* CAddressBook::FindFirst(const std::string& name, const std::string& number)
{
    if (m_entries.empty())
        return nullptr;
    m_searchName = windows1250::ToLower(name);
    m_searchNumber = windows1250::ToLower(number);
    m_searchPosition = 0;
    CAddress* found = WalkFrom(0);
    if (!found)
        m_searchPosition = static_cast<long long>(m_entries.size());
    return found;
}

CAddress* CAddressBook::FindNext()
{
    if (m_searchPosition < 0 || m_searchPosition >= static_cast<long long>(m_entries.size())) {
        EndSearch();
        return nullptr;
    }
    CAddress* found = WalkFrom(static_cast<std::size_t>(m_searchPosition));
    if (!found)
        EndSearch();
    return found;
}

CAddress* CAddressBook::WalkFrom(std::size_t start)
{
    for (std::size_t i = start; i < m_entries.size(); ++i) {
        if (Matches(*m_entries[i])) {
            m_searchPosition = static_cast<long long>(i) + 1;
            return m_entries[i].get();
        }
    }
    return nullptr;
}

bool CAddressBook::Matches(const CAddress& entry) const
{
    if (m_searchName.empty() && m_searchNumber.empty())
        return false;
    if (!m_searchNumber.empty() &&
        windows1250::ToLower(entry.GetFullNumber()).find(m_searchNumber) == std::string::npos)
        return false;
    if (!m_searchName.empty() &&
        windows1250::ToLower(entry.GetDisplayName()).find(m_searchName) == std::string::npos)
        return false;
    return true;
}

void CAddressBook::EndSearch()
{
    m_searchName.clear();
    m_searchNumber.clear();
    m_searchPosition = -1;
}

void CAddressBook::Serialize(CArchive& ar)
{
    if (ar.IsLoading())
        m_stamp = m_reshaped = change_stamp::Next();
    SerializeObjectArray(ar, m_entries);
}
