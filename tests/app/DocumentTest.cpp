#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

#include "SampleFile.h"
#include "app/Document.h"
#include "app/OnlineUpdate.h"
#include "app/SettingsStore.h"
#include "store/Windows1250.h"
#include "support/RecordingUserInterface.h"
#include "support/TempDir.h"

namespace {

struct Fixture
{
    RecordingUserInterface ui;
    CMemorySettingsStore settings;
    TempDir dir;
    std::string path = dir.file("Brivantel.vs");

    std::unique_ptr<CBrivantelDoc> Open(CBrivantelDoc::Access access = CBrivantelDoc::Access::ReadWrite)
    {
        auto doc = std::make_unique<CBrivantelDoc>(ui, settings);
        if (!doc->Open(path, access))
            return nullptr;
        return doc;
    }
};

std::unique_ptr<CBrivantelDoc> Loaded(RecordingUserInterface& ui, CMemorySettingsStore& s,
                                      const std::vector<std::uint8_t>& bytes, bool* complete = nullptr)
{
    auto doc = std::make_unique<CBrivantelDoc>(ui, s);
    const bool ok = doc->Load(bytes);
    if (complete)
        *complete = ok;
    return doc;
}

} // namespace

TEST(Document, NewDocumentWritesEveryRecordWithDefaults)
{
    Fixture f;
    auto doc = f.Open();
    ASSERT_TRUE(doc);
    EXPECT_TRUE(FileExists(f.path));
    EXPECT_TRUE(ReadFileBytes(f.path).empty()); // created empty on first start
    ASSERT_TRUE(doc->SaveDataFile());
    EXPECT_EQ(ReadFileBytes(f.path), sample_file::Empty().vec()) << Hex(ReadFileBytes(f.path), 0, 200);
    struct stat st
    {
    };
    ASSERT_EQ(stat(f.path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u); // the file holds the mailbox password
    EXPECT_TRUE(f.ui.messages.empty());
}

TEST(Document, FullFileLoadsEveryRecordAndResavesToTheSameBytes)
{
    RecordingUserInterface ui;
    CMemorySettingsStore s;
    bool complete = false;
    auto doc = Loaded(ui, s, sample_file::Full(), &complete);
    EXPECT_TRUE(complete);
    EXPECT_EQ(doc->GetAddressBookViewData().viewMode, 3);
    ASSERT_EQ(doc->GetAddressBook().GetEntries().size(), 2u);
    EXPECT_EQ(doc->GetAddressBook().NumberForName("Ewa"), "+485017654321");
    EXPECT_TRUE(doc->GetSettings().GetUseProxy());
    EXPECT_EQ(doc->GetSettings().GetProxyPort(), 3128);
    EXPECT_EQ(doc->GetSendMessageViewData().text, "Do zobaczenia\r\njutro");
    EXPECT_EQ(doc->GetDefinedMessages().GetTexts().size(), 2u);
    EXPECT_EQ(doc->GetDrafts().GetCount(), 1u);
    EXPECT_EQ(doc->GetDraftsViewData().textWidth, 200);
    EXPECT_EQ(doc->GetDeletedMessages().GetCount(), 1u);
    EXPECT_EQ(doc->GetMailCheckerData().interval, 15);
    EXPECT_EQ(doc->GetMailCheckerData().NoticeNumber(), "+486021234567");
    ASSERT_EQ(doc->GetSent().GetCount(), 2u);
    EXPECT_EQ(doc->GetSent().GetMessages()[1]->GetRecipients(), "");
    EXPECT_EQ(doc->GetSent().GetMessages()[1]->GetTime(), 4102444800u);
    EXPECT_EQ(doc->GetSentViewData().dateWidth, 130);
    EXPECT_EQ(doc->GetOutbox().GetCount(), 1u);
    EXPECT_EQ(doc->Store(), sample_file::Full().vec());
}

TEST(Document, FileWithOnlyTheFirstFiveRecords)
{
    RecordingUserInterface ui;
    CMemorySettingsStore s;
    bool complete = true;
    auto doc = Loaded(ui, s, sample_file::UpToPredefinedTexts(), &complete);
    EXPECT_FALSE(complete); // ends inside the drafts' count
    EXPECT_EQ(doc->GetAddressBook().GetEntries().size(), 1u);
    EXPECT_EQ(doc->GetSettings().GetEmptyDeletedFolder(), true);
    EXPECT_EQ(doc->GetSendMessageViewData().recipients, "Ola");
    EXPECT_EQ(doc->GetDefinedMessages().GetTexts(), std::vector<std::string>{"OK"});
    EXPECT_EQ(doc->GetDrafts().GetCount(), 0u);
    EXPECT_EQ(doc->GetMailCheckerData().interval, 1);
    EXPECT_EQ(doc->GetSent().GetCount(), 0u);
    EXPECT_EQ(doc->GetOutbox().GetCount(), 0u);
    EXPECT_TRUE(ui.messages.empty()); // loading itself shows nothing
}

TEST(Document, CutAtEveryOffsetLoadsOnlyCompleteElements)
{
    const std::vector<std::uint8_t> full = sample_file::Full();
    RecordingUserInterface ui;
    CMemorySettingsStore s;
    auto whole = Loaded(ui, s, full);

    auto isPrefix = [](const MessageArray& part, const MessageArray& all) {
        if (part.size() > all.size())
            return false;
        for (std::size_t i = 0; i < part.size(); ++i) {
            if (part[i]->GetText() != all[i]->GetText() ||
                part[i]->GetRecipients() != all[i]->GetRecipients() ||
                part[i]->GetTime() != all[i]->GetTime())
                return false;
        }
        return true;
    };

    std::size_t lastTotal = 0;
    for (std::size_t cut = 0; cut < full.size(); ++cut) {
        const std::vector<std::uint8_t> part(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut));
        bool complete = true;
        auto doc = Loaded(ui, s, part, &complete);
        EXPECT_EQ(complete, cut == 0) << cut; // only the empty file is whole
        const auto& book = doc->GetAddressBook().GetEntries();
        for (std::size_t i = 0; i < book.size(); ++i)
            EXPECT_EQ(book[i]->GetFullNumber(), whole->GetAddressBook().GetEntries()[i]->GetFullNumber())
                << cut;
        EXPECT_TRUE(isPrefix(doc->GetDrafts().GetMessages(), whole->GetDrafts().GetMessages())) << cut;
        EXPECT_TRUE(
            isPrefix(doc->GetDeletedMessages().GetMessages(), whole->GetDeletedMessages().GetMessages()));
        EXPECT_TRUE(isPrefix(doc->GetSent().GetMessages(), whole->GetSent().GetMessages())) << cut;
        EXPECT_TRUE(isPrefix(doc->GetOutbox().GetMessages(), whole->GetOutbox().GetMessages())) << cut;
        const std::size_t total = book.size() + doc->GetDrafts().GetCount() +
                                  doc->GetDeletedMessages().GetCount() + doc->GetSent().GetCount() +
                                  doc->GetOutbox().GetCount();
        EXPECT_GE(total, lastTotal) << cut; // a longer cut never keeps less
        lastTotal = total;
    }
    EXPECT_EQ(lastTotal, 7u); // one byte short ends in the last view record: every element is whole
}

// The damaged-file message names why and where reading stopped, the rest of it as ever.
TEST(Document, DamagedFileMessageNamesTheReasonAndTheByte)
{
    const Bytes view = Bytes().u32(1).u32(100).u32(100); // address-book view, 12 bytes
    auto trailing = sample_file::Empty().vec();
    trailing.push_back(0x42);
    const struct
    {
        std::vector<std::uint8_t> bytes;
        std::string reason; // UTF-8
    } cases[] = {
        {Bytes(view).u8(0), "nieoczekiwany koniec pliku (bajt 12)"},
        {Bytes(view).u16(300).u16(0), "liczba elementów większa, niż reszta pliku pomieści (bajt 14)"},
        {Bytes(view).u16(1).u16(0xFFFF).u16(1).u16(8).raw("CUnknown"), "nieznana klasa CUnknown (bajt 28)"},
        {trailing, "dane za ostatnim rekordem (bajt " + std::to_string(trailing.size() - 1) + ")"},
    };
    for (const auto& c : cases) {
        Fixture f;
        WriteFileBytes(f.path, c.bytes);
        ASSERT_TRUE(f.Open());
        ASSERT_EQ(f.ui.messages.size(), 1u);
        EXPECT_EQ(windows1250::ToUtf8(f.ui.messages[0].text),
                  "Plik danych „" + f.path + "” jest uszkodzony. Wczytano wszystko, co dało się odczytać.\n" +
                      "Przyczyna: " + c.reason + ".\nKopię oryginalnego pliku zachowano jako „" + f.path +
                      ".damaged”.");
    }
}

TEST(Document, DamagedFileIsCopiedAsideBeforeAnyOverwrite)
{
    Fixture f;
    const auto full = sample_file::Full().vec();
    const std::vector<std::uint8_t> cut(full.begin(), full.begin() + 200);
    WriteFileBytes(f.path, cut);
    {
        auto doc = f.Open();
        ASSERT_TRUE(doc);
        EXPECT_TRUE(doc->WasDamaged());
        EXPECT_EQ(doc->GetDamagedCopyPath(), f.path + ".damaged");
        ASSERT_EQ(f.ui.messages.size(), 1u); // told once, with the copy's name
        EXPECT_NE(f.ui.messages[0].text.find("Brivantel.vs.damaged"), std::string::npos);
        EXPECT_EQ(ReadFileBytes(f.path + ".damaged"), cut);
        ASSERT_TRUE(doc->SaveDataFile());
        ASSERT_TRUE(doc->SaveDataFile());
        EXPECT_EQ(f.ui.messages.size(), 1u);
    }
    // A second damaged file never overwrites the first copy.
    WriteFileBytes(f.path, std::vector<std::uint8_t>(full.begin(), full.begin() + 100));
    auto again = f.Open();
    ASSERT_TRUE(again);
    EXPECT_EQ(again->GetDamagedCopyPath(), f.path + ".damaged-2");
    EXPECT_EQ(ReadFileBytes(f.path + ".damaged"), cut);

    // Bytes after the last record would be lost by a save: also kept.
    Fixture g;
    auto trailing = sample_file::Empty().vec();
    trailing.push_back(0x42);
    WriteFileBytes(g.path, trailing);
    auto doc = g.Open();
    ASSERT_TRUE(doc);
    EXPECT_TRUE(doc->WasDamaged());
    EXPECT_EQ(ReadFileBytes(g.path + ".damaged"), trailing);

    // Readers make no copies: they never write.
    Fixture h;
    WriteFileBytes(h.path, cut);
    auto reader = h.Open(CBrivantelDoc::Access::ReadOnly);
    ASSERT_TRUE(reader);
    EXPECT_TRUE(reader->WasDamaged());
    EXPECT_FALSE(FileExists(h.path + ".damaged"));
}

TEST(Document, FailedSaveLeavesThePreviousFileWhole)
{
    Fixture f;
    WriteFileBytes(f.path, sample_file::Full());
    auto doc = f.Open();
    ASSERT_TRUE(doc);
    auto m = std::make_unique<CMessage>("x", std::string(5000, 'y'));
    doc->GetSent().AddMessage(m);

    // Let the write run out of room half-way: the file size limit makes write() fail with EFBIG.
    struct rlimit old
    {
    };
    getrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = doc->SaveDataFile();
    setrlimit(RLIMIT_FSIZE, &old);

    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadFileBytes(f.path), sample_file::Full().vec());
    ASSERT_EQ(f.ui.messages.size(), 1u);
    EXPECT_EQ(f.ui.messages[0].icon, CUserInterface::Icon::Error);
    // No temporary file is left behind.
    for (const auto& name : ListDirectory(f.dir.path()))
        EXPECT_EQ(name.find(".tmp-"), std::string::npos) << name;
    EXPECT_TRUE(doc->SaveDataFile()); // with room again it goes through
}

TEST(Document, ReadOnlyOrVanishedFileAsksWhereToSave)
{
    Fixture f;
    WriteFileBytes(f.path, sample_file::Full());
    chmod(f.path.c_str(), 0444);
    auto doc = f.Open();
    ASSERT_TRUE(doc);
    struct stat st
    {
    };
    stat(f.path.c_str(), &st);
    EXPECT_TRUE(st.st_mode & S_IWUSR); // cleared at opening, as at start-up

    chmod(f.path.c_str(), 0444); // made read-only again while the program runs
    f.ui.saveChoice = "";
    EXPECT_FALSE(doc->SaveDataFile());
    ASSERT_EQ(f.ui.saveDialogs.size(), 1u);
    EXPECT_EQ(f.ui.saveDialogs[0], f.path);

    f.ui.saveChoice = f.dir.file("elsewhere.vs");
    EXPECT_TRUE(doc->SaveDataFile());
    EXPECT_EQ(ReadFileBytes(f.dir.file("elsewhere.vs")), sample_file::Full().vec());
    EXPECT_EQ(ReadFileBytes(f.path), sample_file::Full().vec());

    remove(f.dir.file("elsewhere.vs").c_str());
    f.ui.saveChoice = "";
    EXPECT_FALSE(doc->SaveDataFile());
    EXPECT_EQ(f.ui.saveDialogs.size(), 3u);
}

TEST(Document, SecondWriterIsRefused)
{
    Fixture f;
    auto first = f.Open();
    ASSERT_TRUE(first);
    RecordingUserInterface otherUi;
    CBrivantelDoc second(otherUi, f.settings);
    EXPECT_FALSE(second.Open(f.path, CBrivantelDoc::Access::ReadWrite));
    ASSERT_EQ(otherUi.messages.size(), 1u);
    EXPECT_NE(otherUi.messages[0].text.find("inny program Brivantel"), std::string::npos);

    CBrivantelDoc reader(otherUi, f.settings);
    EXPECT_TRUE(reader.Open(f.path, CBrivantelDoc::Access::ReadOnly));

    first.reset(); // the lock goes with the document
    CBrivantelDoc third(otherUi, f.settings);
    EXPECT_TRUE(third.Open(f.path, CBrivantelDoc::Access::ReadWrite));
}

TEST(Document, DeletedFolderAndDiscard)
{
    Fixture f;
    auto doc = f.Open();
    ASSERT_TRUE(doc);

    auto keep = std::make_unique<CMessage>("Jan", "stays", 777);
    CMessage* raw = keep.get();
    EXPECT_TRUE(doc->DiscardMessage(std::move(keep)));
    ASSERT_EQ(doc->GetDeletedMessages().GetCount(), 1u);
    EXPECT_EQ(doc->GetDeletedMessages().GetMessages().back().get(), raw);
    EXPECT_EQ(raw->GetTime(), 777u);

    doc->GetSettings().SetMoveDeletedMessages(false);
    EXPECT_TRUE(doc->DiscardMessage(std::make_unique<CMessage>("Jan", "gone")));
    EXPECT_TRUE(doc->DiscardMessage(nullptr));
    EXPECT_EQ(doc->GetDeletedMessages().GetCount(), 1u);

    ASSERT_TRUE(doc->SaveDataFile());
    EXPECT_EQ(doc->GetDeletedMessages().GetCount(), 1u);
    doc->GetSettings().SetEmptyDeletedFolder(true);
    ASSERT_TRUE(doc->SaveDataFile()); // every save empties it first
    EXPECT_EQ(doc->GetDeletedMessages().GetCount(), 0u);
    CMemorySettingsStore s;
    auto reread = Loaded(f.ui, s, ReadFileBytes(f.path));
    EXPECT_EQ(reread->GetDeletedMessages().GetCount(), 0u);
}

TEST(Document, CloseQuestion)
{
    Fixture f;
    auto doc = f.Open();
    f.ui.answers = {false, true};
    EXPECT_FALSE(doc->CanClose());
    EXPECT_TRUE(doc->CanClose());
    ASSERT_EQ(f.ui.questions.size(), 2u);
    EXPECT_EQ(f.ui.questions[0], "Czy na pewno chcesz zako\xF1\x63zy\xE6 prac\xEA z programem?");
}

TEST(Document, ClearedOrUnsetSettingsReadAsTheirDefaults)
{
    RecordingUserInterface ui;
    CMemorySettingsStore settings;
    CBrivantelDoc doc(ui, settings);
    settings.SetString("Hosts", "Plus", ""); // cleared: as good as unset
    settings.SetString("Gateway", "Method", "");
    EXPECT_EQ(doc.GetSender().MethodList()[1].address, "http://www.text.plusgsm.pl/sms/");
    EXPECT_EQ(doc.GetSender().OwnGateway().ReadConfig().method, "POST");
    EXPECT_EQ(COnlineUpdate::Config{}.serverHost, "www.brivantel.example");
}

// The file becomes read-only during the run: saving as you go stops, but says why (once per try,
// for the program to show), and the next change tries again once the file is writable.
TEST(Document, ABackgroundSaveThatCannotWriteSaysWhy)
{
    Fixture f;
    auto doc = f.Open();
    ASSERT_TRUE(doc);
    ASSERT_EQ(chmod(f.path.c_str(), 0400), 0);
    doc->GetDefinedMessages().GetTexts().push_back("Nowa");
    EXPECT_FALSE(doc->SaveInBackground());
    const std::string why = windows1250::ToUtf8(doc->TakeQuietSaveError());
    EXPECT_NE(why.find("Nie udało się zapisać pliku danych"), std::string::npos) << why;
    EXPECT_EQ(doc->TakeQuietSaveError(), "");
    ASSERT_EQ(chmod(f.path.c_str(), 0600), 0);
    ASSERT_TRUE(doc->SaveInBackground());
    doc->WaitForBackgroundSave();
    EXPECT_EQ(doc->TakeQuietSaveError(), "");
    auto reread = f.Open(CBrivantelDoc::Access::ReadOnly);
    ASSERT_TRUE(reread);
    EXPECT_EQ(reread->GetDefinedMessages().GetTexts().back(), "Nowa");
}
