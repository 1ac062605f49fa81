#pragma once

#include <string>

// The writer's claim on a data file, held with flock for as long as this object lives. The lock
// file lives in the user's runtime folder, named after the data file's real path, so it can be
// made even where the data file's folder is read-only, and two paths to one file (a symbolic
// link) share it. The kernel drops the lock when the process ends, so a crash never leaves a
// stale lock behind.
class CDataFileLock
{
public:
    CDataFileLock() = default;
    ~CDataFileLock();
    CDataFileLock(const CDataFileLock&) = delete;
    CDataFileLock& operator=(const CDataFileLock&) = delete;

    enum class Result { Acquired, HeldByAnother, Failed };
    Result Acquire(const std::string& dataFilePath);
    void Release();
    // Why the last Acquire failed (errno), 0 when it did not.
    int GetErrorCode() const { return m_error; }

    // The lock file for a data file; empty when the user's runtime folder cannot be had (errno set).
    static std::string LockPathFor(const std::string& dataFilePath);

private:
    int m_fd = -1;
    int m_error = 0;
};
