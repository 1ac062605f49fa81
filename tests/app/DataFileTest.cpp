#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "SampleFile.h"
#include "app/DataFile.h"
#include "app/DataFileLock.h"
#include "app/Document.h"
#include "app/SettingsStore.h"
#include "store/Windows1250.h"
#include "support/RecordingUserInterface.h"
#include "support/SmallFilesystem.h"
#include "support/TempDir.h"

TEST(DataFile, AtomicWriteReplacesContentWithUserOnlyPermissions)
{
    TempDir dir;
    const std::string path = dir.file("Brivantel.vs");
    data_file::Error error;
    ASSERT_TRUE(data_file::WriteAtomically(path, {1, 2, 3}, error));
    ASSERT_TRUE(data_file::WriteAtomically(path, {4, 5}, error));
    EXPECT_EQ(ReadFileBytes(path), (std::vector<std::uint8_t>{4, 5}));
    struct stat st
    {
    };
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

// --- in-place saves --------------------------------------------------------------------------

namespace {

// Recovery copies go to a cache folder of the test's own.
class InPlaceTest : public ::testing::Test
{
protected:
    void SetUp() override { ::setenv("XDG_CACHE_HOME", m_cache.path().c_str(), 1); }
    void TearDown() override { ::unsetenv("XDG_CACHE_HOME"); }

    std::vector<std::string> RecoveryFiles() const
    {
        const std::string dir = m_cache.file("brivantel");
        return FileExists(dir) ? ListDirectory(dir) : std::vector<std::string>{};
    }

    static std::vector<std::uint8_t> Pattern(std::size_t size, std::uint8_t seed)
    {
        std::vector<std::uint8_t> bytes(size);
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<std::uint8_t>(seed + i * 7 + i / 251);
        return bytes;
    }

    // A file this process may write but must not take over: someone else's (as root) or, for
    // anyone else, one with a second name. Either way it is written in place.
    static void MakeInPlace(const std::string& path)
    {
        if (::geteuid() == 0)
            ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
        else
            ASSERT_EQ(::link(path.c_str(), (path + ".second").c_str()), 0);
    }

    TempDir m_cache;
};

} // namespace

TEST_F(InPlaceTest, AFullDiskStopsTheSaveBeforeItTouchesTheFile)
{
    SmallFilesystem fs(512);
    if (!fs.Mounted())
        GTEST_SKIP() << fs.Why();
    const std::string path = fs.file("Brivantel.vs");
    const auto old = Pattern(100 * 1024, 1);
    WriteFileBytes(path, old);
    MakeInPlace(path);
    fs.Fill();
    data_file::Error error;
    EXPECT_FALSE(data_file::WriteAtomically(path, Pattern(300 * 1024, 2), error));
    EXPECT_EQ(error.code, ENOSPC);
    EXPECT_TRUE(error.oldIntact);
    EXPECT_EQ(ReadFileBytes(path), old);
    EXPECT_EQ(RecoveryFiles(), std::vector<std::string>{});
}

TEST_F(InPlaceTest, TheFileSizeLimitStopsTheSaveBeforeItTouchesTheFile)
{
    TempDir dir;
    const std::string path = dir.file("Brivantel.vs");
    const auto old = Pattern(100 * 1024, 3);
    WriteFileBytes(path, old);
    MakeInPlace(path);
    struct rlimit saved
    {
    };
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit limited = saved;
    limited.rlim_cur = 200 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    data_file::Error error;
    const bool written = data_file::WriteAtomically(path, Pattern(300 * 1024, 4), error);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_FALSE(written);
    EXPECT_EQ(error.code, EFBIG);
    EXPECT_TRUE(error.oldIntact);
    EXPECT_EQ(ReadFileBytes(path), old);
    EXPECT_EQ(RecoveryFiles(), std::vector<std::string>{});
}

// A rename would leave the second name with the old content: both names must stay one file.
TEST_F(InPlaceTest, HardLinkedNamesStayOneFile)
{
    TempDir dir;
    const std::string path = dir.file("Brivantel.vs");
    WriteFileBytes(path, Pattern(1000, 5));
    ASSERT_EQ(::link(path.c_str(), dir.file("other.vs").c_str()), 0);
    struct stat before
    {
    };
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    const auto fresh = Pattern(3000, 6);
    data_file::Error error;
    ASSERT_TRUE(data_file::WriteAtomically(path, fresh, error)) << error.Describe();
    EXPECT_EQ(ReadFileBytes(dir.file("other.vs")), fresh);
    struct stat after
    {
    };
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_nlink, 2u);
    EXPECT_EQ(RecoveryFiles(), std::vector<std::string>{});
}

namespace {

// Starts an in-place save of `fresh` (larger than the file) over path in a child and kills it as
// soon as the overwrite has begun (or just after it ended).
void KillInPlaceSave(const std::string& path, const std::vector<std::uint8_t>& fresh)
{
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        data_file::Error error;
        data_file::WriteAtomically(path, fresh, error);
        ::_exit(0);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    bool seen = false;
    while (!seen && std::chrono::steady_clock::now() < deadline) {
        // The room for the new bytes is reserved once the copy is whole: the overwrite begins.
        struct stat st
        {
        };
        seen = ::stat(path.c_str(), &st) == 0 && static_cast<std::size_t>(st.st_size) == fresh.size();
    }
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(seen) << "the save never began to overwrite the file";
}

} // namespace

TEST_F(InPlaceTest, AKilledSaveLeavesTheOldOrTheNewFileOrACopyThatRestoresIt)
{
    TempDir dir;
    const std::string path = dir.file("Brivantel.vs");
    const auto old = Pattern(64 * 1024, 7);
    const auto fresh = Pattern(48 * 1024 * 1024, 8);
    WriteFileBytes(path, old);
    ASSERT_EQ(::link(path.c_str(), dir.file("other.vs").c_str()), 0);
    KillInPlaceSave(path, fresh);
    const auto copy = data_file::FindRecoveryCopy(dir.file("other.vs")); // any name finds it
    if (!copy) {
        const auto now = ReadFileBytes(path);
        EXPECT_TRUE(now == old || now == fresh) << "damaged, and no copy to restore it from";
        return;
    }
    data_file::Error error;
    ASSERT_TRUE(data_file::RestoreRecoveryCopy(path, error)) << error.Describe();
    EXPECT_EQ(ReadFileBytes(path), old);
    EXPECT_EQ(ReadFileBytes(dir.file("other.vs")), old);
    EXPECT_FALSE(data_file::FindRecoveryCopy(path));
}

// The next start offers the copy; the file is whole again before anything reads it.
TEST_F(InPlaceTest, TheNextStartOffersToRestoreACutSave)
{
    TempDir dir;
    const std::string path = dir.file("Brivantel.vs");
    const auto old = sample_file::Full().vec();
    WriteFileBytes(path, old);
    ASSERT_EQ(::link(path.c_str(), dir.file("other.vs").c_str()), 0);
    KillInPlaceSave(path, Pattern(48 * 1024 * 1024, 9));
    const bool cut = data_file::FindRecoveryCopy(path).has_value();
    RecordingUserInterface ui;
    ui.answers = {true};
    CMemorySettingsStore store;
    CBrivantelDoc doc(ui, store);
    ASSERT_TRUE(doc.Open(path, CBrivantelDoc::Access::ReadWrite));
    if (!cut)
        GTEST_SKIP() << "the save had finished before the kill";
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_NE(windows1250::ToUtf8(ui.questions[0]).find("Czy przywrócić plik danych z tej kopii?"),
              std::string::npos);
    EXPECT_FALSE(doc.WasDamaged());
    EXPECT_EQ(ReadFileBytes(path), old);
}

TEST(DataFileLock, EveryNameOfTheFileSharesTheLockAndItFollowsAReplacedFile)
{
    TempDir dir;
    const std::string path = dir.file("Brivantel.vs");
    WriteFileBytes(path, {1, 2, 3});
    CDataFileLock a, b;
    ASSERT_EQ(a.Acquire(path, CDataFileLock::Holder::CommandLine), CDataFileLock::Result::Acquired);
    ASSERT_EQ(::link(path.c_str(), dir.file("hard.vs").c_str()), 0);
    EXPECT_EQ(b.Acquire(dir.file("hard.vs")), CDataFileLock::Result::HeldByAnother);
    const auto holder = CDataFileLock::HolderOf(dir.file("hard.vs"));
    ASSERT_TRUE(holder);
    EXPECT_EQ(holder->holder, CDataFileLock::Holder::CommandLine);
    EXPECT_EQ(holder->pid, static_cast<long>(::getpid()));

    // A save by rename makes a new file under the path; the holder's lock goes with it.
    ASSERT_EQ(::unlink(dir.file("hard.vs").c_str()), 0);
    data_file::Error error;
    ASSERT_TRUE(data_file::WriteAtomically(path, {4, 5}, error));
    EXPECT_TRUE(a.Follow(path));
    ASSERT_EQ(::link(path.c_str(), dir.file("hard.vs").c_str()), 0);
    EXPECT_EQ(b.Acquire(dir.file("hard.vs")), CDataFileLock::Result::HeldByAnother);
    a.Release();
    EXPECT_EQ(b.Acquire(dir.file("hard.vs")), CDataFileLock::Result::Acquired);
}

// A holder that replaced its file by a save still locks the old, freed inode until it follows the
// new file, and the next file made on the device may get that inode number: such a lock must not
// refuse an unrelated file with a single name, while a file with two names stays guarded by it.
TEST(DataFileLock, AStaleInodeLockRefusesOnlyAFileWithMoreNames)
{
    TempDir dir;
    const std::string path = dir.file("Brivantel.vs");
    WriteFileBytes(path, {1, 2, 3});
    // The lock of this file's inode, held as the other program would still hold it.
    const std::string inodeLock = CDataFileLock::LockPathFor(path);
    ASSERT_FALSE(inodeLock.empty());
    const int held = ::open(inodeLock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);

    CDataFileLock lock;
    EXPECT_EQ(lock.Acquire(path), CDataFileLock::Result::Acquired);
    lock.Release();
    ASSERT_EQ(::link(path.c_str(), dir.file("hard.vs").c_str()), 0);
    EXPECT_EQ(lock.Acquire(path), CDataFileLock::Result::HeldByAnother);
    ::close(held);
}
