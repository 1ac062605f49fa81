#include <gtest/gtest.h>

#include <sys/stat.h>

#include "app/DataFile.h"
#include "app/DataFileLock.h"
#include "support/TempDir.h"

TEST(DataFile, AtomicWriteReplacesContentWithUserOnlyPermissions)
{
    TempDir dir;
    const std::string path = dir.file("Brivantel.vs");
    data_file::Error error;
    ASSERT_TRUE(data_file::WriteAtomically(path, {1, 2, 3}, error));
    ASSERT_TRUE(data_file::WriteAtomically(path, {4, 5}, error));
    EXPECT_EQ(ReadFileBytes(path), (std::vector<std::uint8_t>{4, 5}));
    struct stat st {};
    stat(path.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(ListDirectory(dir.path()).size(), 1u);

    EXPECT_FALSE(data_file::WriteAtomically(dir.file("missing/dir/file"), {1}, error));
    EXPECT_EQ(error.code, ENOENT);
    EXPECT_FALSE(error.Describe().empty());
}

TEST(DataFile, PrepareCreatesAnEmptyFileOrClearsReadOnly)
{
    TempDir dir;
    const std::string path = dir.file("Brivantel.vs");
    data_file::Error error;
    EXPECT_EQ(data_file::Inspect(path), data_file::State::Missing);
    ASSERT_EQ(data_file::Prepare(path, error), data_file::Preparation::Writable);
    EXPECT_EQ(data_file::Inspect(path), data_file::State::Writable);
    EXPECT_TRUE(ReadFileBytes(path).empty());
    chmod(path.c_str(), 0440);
    EXPECT_EQ(data_file::Inspect(path), data_file::State::ReadOnly);
    ASSERT_EQ(data_file::Prepare(path, error), data_file::Preparation::Writable);
    EXPECT_EQ(data_file::Inspect(path), data_file::State::Writable);
    struct stat st
    {
    };
    stat(path.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u); // only the owner's write permission was added

    // Not a file to create or to clear.
    EXPECT_EQ(data_file::Prepare(dir.file("no/such/dir/x"), error), data_file::Preparation::CreateFailed);
    EXPECT_EQ(error.code, ENOENT);
    EXPECT_EQ(data_file::Prepare(dir.path(), error), data_file::Preparation::Failed);
}

TEST(DataFileLock, OneHolderAtATime)
{
    TempDir dir;
    const std::string path = dir.file("Brivantel.vs");
    CDataFileLock a, b;
    EXPECT_EQ(a.Acquire(path), CDataFileLock::Result::Acquired);
    EXPECT_EQ(b.Acquire(path), CDataFileLock::Result::HeldByAnother);
    a.Release();
    EXPECT_EQ(b.Acquire(path), CDataFileLock::Result::Acquired);

    // Two names of one file (a symbolic link) are one data file; the lock lives outside its folder.
    ASSERT_EQ(symlink("Brivantel.vs", dir.file("link.vs").c_str()), 0);
    EXPECT_EQ(a.Acquire(dir.file("link.vs")), CDataFileLock::Result::HeldByAnother);
    EXPECT_EQ(CDataFileLock::LockPathFor(path), CDataFileLock::LockPathFor(dir.file("link.vs")));
    EXPECT_NE(CDataFileLock::LockPathFor(path), CDataFileLock::LockPathFor(dir.file("other.vs")));
    EXPECT_EQ(CDataFileLock::LockPathFor(path).rfind(dir.path(), 0), std::string::npos);
    for (const auto& name : ListDirectory(dir.path()))
        EXPECT_EQ(name.find(".lock"), std::string::npos) << name;
}
