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
    ASSERT_TRUE(data_file::Prepare(path, error));
    EXPECT_EQ(data_file::Inspect(path), data_file::State::Writable);
    EXPECT_TRUE(ReadFileBytes(path).empty());
    chmod(path.c_str(), 0400);
    EXPECT_EQ(data_file::Inspect(path), data_file::State::ReadOnly);
    ASSERT_TRUE(data_file::Prepare(path, error));
    EXPECT_EQ(data_file::Inspect(path), data_file::State::Writable);
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
    EXPECT_EQ(CDataFileLock().Acquire(dir.file("no/such/dir/x")), CDataFileLock::Result::Failed);
}
