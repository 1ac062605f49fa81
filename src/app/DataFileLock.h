#pragma once

#include <string>

// The writer's claim on a data file: a lock file beside it, held with flock for as long as this
// object lives. The kernel drops the lock when the process ends, so a crash never leaves a stale
// lock behind.
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
    bool IsHeld() const { return m_fd >= 0; }

    static std::string LockPathFor(const std::string& dataFilePath) { return dataFilePath + ".lock"; }

private:
    int m_fd = -1;
};
