#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

class CAddressBook;

namespace contacts {

// Larger files are refused before they are read: a phone's whole book is a few megabytes, pictures
// included.
inline constexpr std::size_t kMaxFileSize = 20 * 1024 * 1024;

struct ImportSummary
{
    int added = 0;          // new entries
    int skippedNumbers = 0; // unreadable, not mobile, or on a card without any name
    int alreadyInBook = 0;  // same full number and display name as an entry in the book
    int namesChanged = 0;   // added entries whose names lost characters Windows-1250 cannot hold
};

// Adds every mobile number of every card as an entry of the book, all or nothing: on failure
// error holds the reason (Windows-1250) and the book is untouched. progress gets 0 to 100.
bool ImportVCards(std::string_view bytes, CAddressBook& book, ImportSummary& summary, std::string& error,
                  const std::function<void(int)>& progress = {});

// Reads a file to import, refusing one over kMaxFileSize before reading it.
bool ReadContactsFile(const std::string& path, std::string& bytes, std::string& error);

// "Dodano 120 kontaktów, pominięto 3 numery, 2 kontakty były już w książce." (Windows-1250)
std::string SummaryText(const ImportSummary& summary);

// Every entry of the book as a vCard 4.0 card (N, FN, TEL;TYPE=cell), UTF-8, CR LF lines.
std::string ExportVCards(const CAddressBook& book);

} // namespace contacts
