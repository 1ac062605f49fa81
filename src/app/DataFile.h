#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// File operations on the data file. Saving never truncates the file in place: the new content
// goes to a temporary file beside it, is flushed to disk and renamed over the old one, so a
// failure or a crash half-way leaves the previous file whole.
namespace data_file {

struct Error
{
    int code = 0; // errno
    std::string Describe() const; // Polish, Windows-1250
};

std::optional<std::vector<std::uint8_t>> ReadAll(const std::string& path, Error& error);
bool WriteAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes, Error& error);

// Keeps a copy of a damaged file's original bytes beside it, never overwriting an earlier copy.
// Returns the copy's path.
std::optional<std::string> KeepDamagedCopy(const std::string& path, const std::vector<std::uint8_t>& bytes,
                                           Error& error);

enum class State { Missing, ReadOnly, Writable, Unknown };
State Inspect(const std::string& path);

// Creates an empty file (user-only permissions) when none exists; makes a read-only one writable.
bool Prepare(const std::string& path, Error& error);

} // namespace data_file
