#pragma once

#include <optional>
#include <string>

// The writer's claim on a data file, held with flock for as long as this object lives. The lock
// files live in the user's runtime folder, so they can be made even where the data file's folder
// is read-only. Two are held: one named after the file's device and inode, which every name of
// the file shares (symbolic and hard links), and one named after its real path, which stays the
// same while a save replaces the file by a new one. The kernel drops the locks when the process
// ends, so a crash never leaves a stale lock behind. The holder writes who it is into them.
class CDataFileLock
{
public:
    CDataFileLock() = default;
    ~CDataFileLock();
    CDataFileLock(const CDataFileLock&) = delete;
    CDataFileLock& operator=(const CDataFileLock&) = delete;

    enum class Holder
    {
        Program,
        CommandLine
    };
    enum class Result { Acquired, HeldByAnother, Failed };
    Result Acquire(const std::string& dataFilePath, Holder holder = Holder::Program);
    // After a save that replaced the file (a new inode) or made it: the lock moves to the file
    // the path now names. False when another process holds that file.
    bool Follow(const std::string& dataFilePath);
    void Release();
    // Why the last Acquire failed (errno), 0 when it did not.
    int GetErrorCode() const { return m_error; }

    // Who holds the lock of a data file, as the holder wrote it; nothing when no one says.
    struct HolderInfo
    {
        Holder holder = Holder::Program;
        long pid = 0;
    };
    static std::optional<HolderInfo> HolderOf(const std::string& dataFilePath);

    // The lock file for a data file: named after its device and inode when it exists, after its
    // real path when not. Empty when the user's runtime folder cannot be had (errno set).
    static std::string LockPathFor(const std::string& dataFilePath);

private:
    int m_pathFd = -1;
    int m_fileFd = -1;
    unsigned long long m_device = 0;
    unsigned long long m_inode = 0;
    Holder m_holder = Holder::Program;
    int m_error = 0;
};
