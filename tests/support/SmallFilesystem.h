#pragma once

#include <string>

#include "support/TempDir.h"

// A tmpfs of a few hundred kilobytes mounted on a fresh directory, for saves that meet a full
// disk. Mounting needs the privilege to do so (root here); without it Mounted() is false and the
// test skips with Why().
class SmallFilesystem
{
public:
    explicit SmallFilesystem(unsigned kilobytes);
    ~SmallFilesystem();
    SmallFilesystem(const SmallFilesystem&) = delete;
    SmallFilesystem& operator=(const SmallFilesystem&) = delete;

    bool Mounted() const { return m_mounted; }
    const std::string& Why() const { return m_why; }
    std::string file(const std::string& name) const { return m_dir.file(name); }
    // Fills what is left with a file of its own, so that the next byte written fails with ENOSPC.
    void Fill();

private:
    TempDir m_dir;
    bool m_mounted = false;
    std::string m_why;
};
