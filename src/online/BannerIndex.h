#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "online/BannerInfo.h"

// The banner index file: the banner list written as an archive of an object array.
namespace banner_index {

inline constexpr const char* kFileName = "Brivantel.adv";
// The index and every picture are small; anything larger is not taken from the network or disk.
inline constexpr std::size_t kMaxFileSize = 1024 * 1024;
// Entries of an index beyond this many are ignored: each may cost a download at start-up.
inline constexpr std::size_t kMaxEntries = 100;

// The entries of index bytes, every one as written; false when the bytes are not an index
// (entries is then empty).
bool Parse(std::vector<std::uint8_t> bytes, CBannerList& entries);

enum class FileState
{
    Missing,
    Damaged,
    Read
};
// Reads the index file with every entry, usable or not (for listing).
FileState ReadFile(const std::string& path, CBannerList& entries);

// The program's load: a missing file leaves the list as it is; otherwise the list is replaced by
// those of the file's first kMaxEntries entries whose image name is a plain picture name (a
// damaged file empties it).
// True when the file existed.
bool LoadBannerList(const std::string& dataDir, CBannerList& list);

std::string PathInDataDir(const std::string& dataDir, const std::string& name);

} // namespace banner_index
