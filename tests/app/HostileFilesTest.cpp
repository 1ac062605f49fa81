#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "SampleFile.h"
#include "app/DataFile.h"
#include "app/Document.h"
#include "app/SettingsStore.h"
#include "store/Archive.h"
#include "store/Windows1250.h"
#include "support/RecordingUserInterface.h"
#include "support/TempDir.h"

namespace {

constexpr uid_t kNobody = 65534;

bool Contains(const std::string& windows1250Text, const char* utf8)
{
    return windows1250Text.find(windows1250::FromUtf8Lossy(utf8)) != std::string::npos;
}

mode_t ModeOf(const std::string& path)
{
    struct stat st
    {
    };
    lstat(path.c_str(), &st);
    return st.st_mode;
}

bool NoTemporaryIn(const std::string& dir)
{
    for (const auto& name : ListDirectory(dir))
        if (name.find(".tmp-") != std::string::npos)
            return false;
    return true;
}

// Runs body in a child process as an ordinary user (nobody when the tests run as root, where no
// permission would ever stop a write); the child's exit status is the body's result, 0 for
// success and a distinct number for each failed check.
int AsOrdinaryUser(const std::function<int()>& body)
{
    const pid_t pid = fork();
    if (pid == 0) {
        if (geteuid() == 0 && (setgid(kNobody) != 0 || setuid(kNobody) != 0))
            _exit(100);
        _exit(body());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 200 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}

// A folder an ordinary user may enter, owned by them when we can give it away.
void GiveToOrdinaryUser(const std::string& path, mode_t mode)
{
    if (geteuid() == 0) {
        ASSERT_EQ(chown(path.c_str(), kNobody, kNobody), 0);
    }
    ASSERT_EQ(chmod(path.c_str(), mode), 0);
}

struct Opened
{
    RecordingUserInterface ui;
    CMemorySettingsStore settings;
    CBrivantelDoc doc{ui, settings};
};

} // namespace

TEST(HostileFiles, BackReferenceBombLoadsWithBoundedMemoryAndIsKeptAsDamaged)
{
    TempDir dir;
    const std::string path = dir.file("Brivantel.vs");
    const auto bomb = sample_file::BackReferenceBomb().vec(); // one 1 MB draft, 3,000 references to it
    WriteFileBytes(path, bomb);
    Opened o;
    ASSERT_TRUE(o.doc.Open(path, CBrivantelDoc::Access::ReadWrite));
    EXPECT_TRUE(o.doc.WasDamaged());
    EXPECT_EQ(ReadFileBytes(path + ".damaged"), bomb);
    // What was read is there; the copies stop where the file stops justifying them, far below the
    // 3 GB that 3,001 copies would take.
    const auto& drafts = o.doc.GetDrafts().GetMessages();
    ASSERT_GE(drafts.size(), 1u);
    EXPECT_EQ(drafts[0]->GetText().size(), std::size_t{1} << 20);
    std::size_t decoded = 0;
    for (const auto& m : drafts)
        decoded += m->GetText().size();
    EXPECT_LE(decoded, bomb.size() * (CArchive::kBudgetPerInputByte + 1) + CArchive::kBudgetBase);
    EXPECT_LT(drafts.size(), 100u);

    // A file with a few back references, as another copy of the program might write, still loads whole.
    const auto small = sample_file::BackReferenceBomb(10, 50).vec();
    Opened p;
    EXPECT_TRUE(p.doc.Load(small));
    EXPECT_EQ(p.doc.GetDrafts().GetMessages().size(), 51u);
}

TEST(HostileFiles, OnlyRegularFilesOfAtMostOneGigabyteAreRead)
{
    TempDir dir;
    // A FIFO would block an open for reading until a writer came: it is refused without waiting.
    const std::string fifo = dir.file("Brivantel.vs");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    data_file::Error error;
    EXPECT_FALSE(data_file::ReadAll(fifo, error));
    EXPECT_EQ(error.code, data_file::Error::kNotRegularFile);
    for (const auto access : {CBrivantelDoc::Access::ReadOnly, CBrivantelDoc::Access::ReadWrite}) {
        Opened o;
        EXPECT_FALSE(o.doc.Open(fifo, access));
        ASSERT_EQ(o.ui.messages.size(), 1u);
        EXPECT_TRUE(Contains(o.ui.messages[0].text, "To nie jest zwykły plik")) << o.ui.messages[0].text;
        EXPECT_FALSE(Contains(o.ui.messages[0].text, "utworzyć"));
    }

    // A sparse file over 1 GB is refused with a message before anything is allocated for it.
    const std::string huge = dir.file("huge.vs");
    const int fd = open(huge.c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, static_cast<off_t>(data_file::kMaxFileSize) + 1), 0);
    close(fd);
    EXPECT_FALSE(data_file::ReadAll(huge, error));
    EXPECT_EQ(error.code, data_file::Error::kTooLarge);
    Opened o;
    EXPECT_FALSE(o.doc.Open(huge, CBrivantelDoc::Access::ReadWrite));
    ASSERT_EQ(o.ui.messages.size(), 1u);
    EXPECT_TRUE(Contains(o.ui.messages[0].text, "większy niż 1 GB")) << o.ui.messages[0].text;

    // "Cannot create" only where there was nothing and nothing could be made.
    Opened missing;
    EXPECT_FALSE(missing.doc.Open(dir.file("no/such/folder/Brivantel.vs"), CBrivantelDoc::Access::ReadWrite));
    ASSERT_EQ(missing.ui.messages.size(), 1u);
    EXPECT_TRUE(Contains(missing.ui.messages[0].text, "Nie można utworzyć pliku danych"));
}

TEST(HostileFiles, SavingThroughASymlinkWritesItsTargetAndKeepsTheMode)
{
    TempDir dir;
    ASSERT_EQ(mkdir(dir.file("real").c_str(), 0700), 0);
    const std::string target = dir.file("real/Brivantel.vs");
    const std::string link = dir.file("Brivantel.vs");
    WriteFileBytes(target, sample_file::Empty());
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    ASSERT_EQ(symlink("real/Brivantel.vs", link.c_str()), 0);

    Opened o;
    ASSERT_TRUE(o.doc.Open(link, CBrivantelDoc::Access::ReadWrite));
    o.doc.GetDefinedMessages().GetTexts().push_back("Nowy");
    ASSERT_TRUE(o.doc.SaveDataFile());
    EXPECT_TRUE(S_ISLNK(ModeOf(link)));              // the link stays a link
    EXPECT_EQ(ModeOf(target) & 07777, 0640u);        // the user's choice of permissions stays
    EXPECT_EQ(ReadFileBytes(target), o.doc.Store()); // and the target holds the new content
    EXPECT_TRUE(NoTemporaryIn(dir.path()));
    EXPECT_TRUE(NoTemporaryIn(dir.file("real")));

    // A new file is the user's only.
    data_file::Error error;
    ASSERT_TRUE(data_file::WriteAtomically(dir.file("new.vs"), {1}, error));
    EXPECT_EQ(ModeOf(dir.file("new.vs")) & 07777, 0600u);
}

TEST(HostileFiles, LeftoversOfInterruptedSavesAreRemovedByTheNextWriter)
{
    TempDir dir;
    const std::string path = dir.file("Brivantel.vs");
    WriteFileBytes(path, sample_file::Full());
    for (const char* name : {"Brivantel.vs.tmp-a1B2c3", "Brivantel.vs.tmp-zzzzzz"})
        WriteFileBytes(dir.file(name), {1, 2, 3});
    // Not ours: another name, another length, a folder.
    for (const char* name : {"Other.vs.tmp-a1B2c3", "Brivantel.vs.tmp-a1B2c3x"})
        WriteFileBytes(dir.file(name), {1});
    ASSERT_EQ(mkdir(dir.file("Brivantel.vs.tmp-folder").c_str(), 0700), 0);

    Opened reader;
    ASSERT_TRUE(reader.doc.Open(path, CBrivantelDoc::Access::ReadOnly));
    EXPECT_TRUE(FileExists(dir.file("Brivantel.vs.tmp-a1B2c3"))); // readers never remove anything

    Opened o;
    ASSERT_TRUE(o.doc.Open(path, CBrivantelDoc::Access::ReadWrite));
    EXPECT_FALSE(FileExists(dir.file("Brivantel.vs.tmp-a1B2c3")));
    EXPECT_FALSE(FileExists(dir.file("Brivantel.vs.tmp-zzzzzz")));
    EXPECT_TRUE(FileExists(dir.file("Other.vs.tmp-a1B2c3")));
    EXPECT_TRUE(FileExists(dir.file("Brivantel.vs.tmp-a1B2c3x")));
    EXPECT_TRUE(FileExists(dir.file("Brivantel.vs.tmp-folder")));
}

TEST(HostileFiles, FileSizeLimitGivesAMessageNotADeath)
{
    TempDir dir;
    const std::string path = dir.file("Brivantel.vs");
    WriteFileBytes(path, {1, 2, 3});
    // In a child: the limit and the signal's default action must not touch the test process.
    const pid_t pid = fork();
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_DFL);
        struct rlimit small
        {
        };
        small.rlim_cur = small.rlim_max = 4096;
        if (setrlimit(RLIMIT_FSIZE, &small) != 0)
            _exit(1);
        data_file::Error error;
        if (data_file::WriteAtomically(path, std::vector<std::uint8_t>(100000, 7), error))
            _exit(2);
        if (error.code != EFBIG)
            _exit(3);
        if (error.Describe().find(windows1250::FromUtf8Lossy("rozmiar pliku")) == std::string::npos)
            _exit(4);
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadFileBytes(path), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_TRUE(NoTemporaryIn(dir.path()));
}

TEST(HostileFiles, EveryRefusalNamesItsReason)
{
    struct Case
    {
        int code;
        const char* text;
    };
    for (const Case& c :
         {Case{EACCES, "Brak uprawnień."}, Case{EPERM, "Brak uprawnień."},
          Case{EROFS, "System plików jest tylko do odczytu."}, Case{ENOSPC, "Brak miejsca na dysku."},
          Case{EDQUOT, "Przekroczono przydział miejsca na dysku."},
          Case{EFBIG, "Plik przekroczyłby największy rozmiar pliku dozwolony dla programu."},
          Case{data_file::Error::kNotRegularFile, "To nie jest zwykły plik"},
          Case{data_file::Error::kTooLarge, "Plik jest większy niż 1 GB"}}) {
        EXPECT_TRUE(Contains(data_file::Error{c.code}.Describe(), c.text)) << c.code;
    }
}

TEST(HostileFiles, ReadOnlyFileOfAnotherUserOpensReadOnlyAndSavesElsewhere)
{
    TempDir dir;
    GiveToOrdinaryUser(dir.path(), 0755);
    const std::string path = dir.file("Brivantel.vs");
    WriteFileBytes(path, sample_file::Full());
    ASSERT_EQ(chmod(path.c_str(), 0644), 0); // root's (or our own, when not root: then 0444)
    if (geteuid() != 0) {
        ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    }
    const std::string elsewhere = dir.file("elsewhere.vs");
    const int result = AsOrdinaryUser([&] {
        Opened o;
        if (!o.doc.Open(path, CBrivantelDoc::Access::ReadWrite))
            return 1;
        if (geteuid() == kNobody) { // cannot be made writable: read-only, and said so
            if (!o.doc.IsReadOnly())
                return 2;
            if (o.ui.messages.size() != 1 || !Contains(o.ui.messages[0].text, "tylko do odczytu") ||
                !Contains(o.ui.messages[0].text, "Brak uprawnień"))
                return 3;
            o.ui.saveChoice = elsewhere;
            if (!o.doc.SaveDataFile() || o.ui.saveDialogs.size() != 1)
                return 4;
        }
        return 0;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadFileBytes(path), sample_file::Full().vec()); // untouched
    struct stat st
    {
    };
    stat(path.c_str(), &st);
    EXPECT_EQ(st.st_uid, geteuid()); // never taken over
    if (geteuid() == 0) {
        EXPECT_EQ(st.st_mode & 07777, 0644u);
        EXPECT_EQ(ReadFileBytes(elsewhere), sample_file::Full().vec());
    }
}

TEST(HostileFiles, WritableFileInAReadOnlyFolderIsLockedAndSavedInPlace)
{
    TempDir dir;
    const std::string folder = dir.file("ro");
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    GiveToOrdinaryUser(dir.path(), 0755);
    const std::string path = folder + "/Brivantel.vs";
    WriteFileBytes(path, sample_file::Full());
    GiveToOrdinaryUser(path, 0640);
    GiveToOrdinaryUser(folder, 0555);
    struct stat before
    {
    };
    stat(path.c_str(), &before);

    // Also someone else's file the user may write, in a folder the user may write: written in
    // place, so it keeps its owner.
    const std::string shared = dir.file("shared.vs");
    WriteFileBytes(shared, sample_file::Full());
    ASSERT_EQ(chmod(shared.c_str(), 0666), 0);
    GiveToOrdinaryUser(dir.path(), 0777);

    const int result = AsOrdinaryUser([&] {
        for (const std::string& file : {path, shared}) {
            Opened o;
            if (!o.doc.Open(file, CBrivantelDoc::Access::ReadWrite))
                return 1;
            if (o.doc.IsReadOnly() || !o.ui.messages.empty())
                return 2;
            o.doc.GetDefinedMessages().GetTexts().push_back("Nowy");
            if (!o.doc.SaveDataFile() || !o.ui.messages.empty())
                return 3;
            if (ReadFileBytes(file) != o.doc.Store())
                return 4;
        }
        return 0;
    });
    chmod(folder.c_str(), 0755);
    EXPECT_EQ(result, 0);
    struct stat after
    {
    };
    stat(path.c_str(), &after);
    EXPECT_EQ(after.st_ino, before.st_ino); // the same file, written in place
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_TRUE(NoTemporaryIn(folder));
    struct stat sharedStat
    {
    };
    stat(shared.c_str(), &sharedStat);
    EXPECT_EQ(sharedStat.st_uid, geteuid());
    EXPECT_EQ(sharedStat.st_mode & 07777, 0666u);
}
