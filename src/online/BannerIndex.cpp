#include "online/BannerIndex.h"

#include <fstream>
#include <sys/stat.h>

#include "store/Archive.h"

namespace banner_index {

bool Parse(std::vector<std::uint8_t> bytes, CBannerList& entries)
{
    entries.clear();
    try {
        CArchive ar(bytes, CArchive::Mode::Load);
        SerializeObjectArray(ar, entries);
        return true;
    } catch (const CArchiveException&) {
        entries.clear();
        return false;
    }
}

FileState ReadFile(const std::string& path, CBannerList& entries)
{
    entries.clear();
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0)
        return FileState::Missing;
    if (!S_ISREG(st.st_mode) || static_cast<std::size_t>(st.st_size) > kMaxFileSize)
        return FileState::Damaged;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return FileState::Damaged;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(st.st_size));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (in.gcount() != static_cast<std::streamsize>(bytes.size()))
        return FileState::Damaged;
    return Parse(std::move(bytes), entries) ? FileState::Read : FileState::Damaged;
}

bool LoadBannerList(const std::string& dataDir, CBannerList& list)
{
    CBannerList entries;
    const FileState state = ReadFile(PathInDataDir(dataDir, kFileName), entries);
    if (state == FileState::Missing)
        return false;
    list.clear();
    if (entries.size() > kMaxEntries)
        entries.resize(kMaxEntries);
    for (auto& entry : entries) {
        // An entry whose picture name could point outside the data directory is neither
        // fetched nor shown.
        if (entry->HasPlainImageName())
            list.push_back(std::move(entry));
    }
    return true;
}

std::string PathInDataDir(const std::string& dataDir, const std::string& name)
{
    if (dataDir.empty())
        return name;
    return dataDir.back() == '/' ? dataDir + name : dataDir + "/" + name;
}

} // namespace banner_index
