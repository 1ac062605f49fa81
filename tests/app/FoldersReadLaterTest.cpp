#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <unistd.h>

#include "DocumentOnDisk.h"
#include "SampleFile.h"
#include "app/Document.h"
#include "app/SettingsStore.h"
#include "mailwatch/MailCheckerData.h"
#include "store/Archive.h"
#include "support/RecordingUserInterface.h"
#include "support/TempDir.h"

// Folders are kept as the file's checked bytes until first used. Whatever is done with them, the
// document must read, save and report damage exactly as when every folder is read in full.
namespace {

using Fixture = DocumentOnDisk;

// What reading every record in full makes of bytes: the folders' contents and the damage met.
struct FullRead
{
    std::vector<std::vector<std::string>> folders; // drafts, deleted, sent, outbox: "to|text|time"
    std::string damage;                            // "reason @ byte", empty when whole
};

std::vector<std::string> Describe(const CMessageList& folder)
{
    std::vector<std::string> out;
    for (const auto& m : folder.GetMessages())
        out.push_back(m->GetRecipients() + "|" + m->GetText() + "|" + std::to_string(m->GetTime()));
    return out;
}

// Bytes handed to an archive a few at a time, as a file is.
class CMemorySource final : public CArchiveSource
{
public:
    explicit CMemorySource(const std::vector<std::uint8_t>& bytes) : m_bytes(bytes) {}
    std::size_t Size() const override { return m_bytes.size(); }
    bool ReadAt(std::size_t offset, std::uint8_t* to, std::size_t n) override
    {
        if (offset > m_bytes.size() || n > m_bytes.size() - offset)
            return false;
        std::copy_n(m_bytes.begin() + static_cast<std::ptrdiff_t>(offset), n, to);
        return true;
    }

private:
    const std::vector<std::uint8_t>& m_bytes;
};

FullRead ReadInFull(CArchive& ar);

FullRead ReadInFull(std::vector<std::uint8_t> bytes)
{
    CArchive ar(bytes, CArchive::Mode::Load);
    return ReadInFull(ar);
}

FullRead ReadInFull(CArchive& ar)
{
    CAddressBookViewData bookView;
    CAddressBook book;
    CSettingsData settings;
    CSendMessageViewData compose;
    CDefinedMessages texts;
    CDraftsList drafts;
    CDraftsViewData draftsView;
    CDeletedMessagesList deleted;
    CDeletedMessagesViewData deletedView;
    CMailCheckerData mail;
    CSentList sent;
    CSentMessagesViewData sentView;
    COutboxList outbox;
    COutboxViewData outboxView;
    FullRead read;
    try {
        bookView.Serialize(ar);
        book.Serialize(ar);
        settings.Serialize(ar);
        compose.Serialize(ar);
        texts.Serialize(ar);
        drafts.Serialize(ar);
        draftsView.Serialize(ar);
        deleted.Serialize(ar);
        deletedView.Serialize(ar);
        mail.Serialize(ar);
        sent.Serialize(ar);
        sentView.Serialize(ar);
        outbox.Serialize(ar);
        outboxView.Serialize(ar);
    } catch (const CArchiveException& e) {
        read.damage = std::string(e.what()) + " @ " + std::to_string(e.Position());
    }
    read.folders = {Describe(drafts), Describe(deleted), Describe(sent), Describe(outbox)};
    return read;
}

// The damage line of the document's message, as "reason @ byte".
std::string DamageOf(const RecordingUserInterface& ui)
{
    for (const auto& call : ui.messages) {
        const std::string marker = "Przyczyna: ";
        const auto at = call.text.find(marker);
        if (at == std::string::npos)
            continue;
        const auto open = call.text.find(" (bajt ", at);
        const auto close = call.text.find(")", open);
        return call.text.substr(at + marker.size(), open - at - marker.size()) + " @ " +
               call.text.substr(open + 7, close - open - 7);
    }
    return {};
}

std::vector<std::vector<std::string>> FoldersOf(CBrivantelDoc& doc)
{
    return {Describe(doc.GetDrafts()), Describe(doc.GetDeletedMessages()), Describe(doc.GetSent()),
            Describe(doc.GetOutbox())};
}

// The full sample file with the first sent message's class tag replaced.
std::vector<std::uint8_t> WithSentTag(std::uint16_t tag)
{
    std::vector<std::uint8_t> bytes = sample_file::Full().vec();
    const std::string text = "Jan Kowalski";
    auto at = bytes.begin();
    for (int i = 0; i < 4; ++i) // the entry, the composing view, the deleted message, the first sent one
        at = std::search(at + 1, bytes.end(), text.begin(), text.end());
    const auto tagAt = (at - bytes.begin()) - 3;
    EXPECT_EQ(bytes[tagAt], 0x04);
    EXPECT_EQ(bytes[tagAt + 1], 0x80);
    bytes[tagAt] = static_cast<std::uint8_t>(tag);
    bytes[tagAt + 1] = static_cast<std::uint8_t>(tag >> 8);
    return bytes;
}

} // namespace

TEST(FoldersReadLater, DamageIsMetWhereReadingInFullMeetsIt)
{
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files;
    const std::vector<std::uint8_t> full = sample_file::Full().vec();
    // Every cut from the drafts on (the records before them hold no folder).
    const std::string draftsClass = "CMessage";
    const auto drafts =
        std::search(full.begin(), full.end(), draftsClass.begin(), draftsClass.end()) - full.begin();
    for (std::size_t cut = static_cast<std::size_t>(drafts) - 10; cut < full.size(); ++cut)
        files.emplace_back(
            "cut at " + std::to_string(cut),
            std::vector<std::uint8_t>(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut)));
    files.emplace_back("class tag naming an entry", WithSentTag(0x8002));
    files.emplace_back("class tag past every index", WithSentTag(0x8063));
    files.emplace_back("a back reference to an entry", WithSentTag(0x0002));
    files.emplace_back("a null in the sent folder", WithSentTag(0x0000));
    for (const auto& [what, bytes] : files) {
        SCOPED_TRACE(what);
        const FullRead expected = ReadInFull(bytes);
        Fixture f;
        auto doc = f.Open(bytes);
        ASSERT_TRUE(doc);
        EXPECT_EQ(doc->WasDamaged(), !expected.damage.empty());
        EXPECT_EQ(DamageOf(f.ui), expected.damage);
        EXPECT_EQ(FoldersOf(*doc), expected.folders);
    }
}

// No program writes a reference to an object read before, but such a file is well formed: a later
// folder that names a message of a folder kept as bytes gets its copy all the same.
TEST(FoldersReadLater, BackReferencesIntoAFolderKeptAsBytesReadAsInFull)
{
    const std::vector<std::pair<const char*, std::uint16_t>> cases = {
        {"the first sent message names the draft (index 5)", 0x0005},
        {"the first sent message names the deleted message (index 6)", 0x0006},
    };
    for (const auto& [what, tag] : cases) {
        SCOPED_TRACE(what);
        const std::vector<std::uint8_t> bytes = WithSentTag(tag);
        // Only the tag is there: the reference stands for the whole message.
        std::vector<std::uint8_t> file = bytes;
        const std::string text = "Jan Kowalski";
        auto at = file.begin();
        for (int i = 0; i < 4; ++i)
            at = std::search(at + 1, file.end(), text.begin(), text.end());
        file.erase(at - 1, at + 12 + 1 + 7 + 4); // "Jan Kowalski", "Wysłana", the time
        const FullRead expected = ReadInFull(file);
        ASSERT_EQ(expected.damage, "");
        Fixture f;
        auto doc = f.Open(file);
        ASSERT_TRUE(doc);
        EXPECT_FALSE(doc->WasDamaged());
        EXPECT_EQ(FoldersOf(*doc), expected.folders);
        EXPECT_EQ(doc->StoreByRecord(), doc->Store());
    }
}

TEST(FoldersReadLater, AFolderKeptAsBytesIsSavedUntouchedThenTouched)
{
    Fixture f;
    auto doc = f.Open(sample_file::Full().vec());
    ASSERT_TRUE(doc);
    EXPECT_TRUE(doc->GetSent().IsEncoded());
    EXPECT_EQ(doc->GetSent().GetCount(), 2u);

    // Another record changes: the sent folder goes to the file as the bytes it was read from.
    doc->GetOutboxViewData().textWidth = 77;
    ASSERT_TRUE(doc->SaveDataFile());
    EXPECT_TRUE(doc->GetSent().IsEncoded());
    const std::vector<std::uint8_t> first = ReadFileBytes(f.path);

    // A message filed behind the bytes: counted, listed after them, and saved.
    auto filed = std::make_unique<CMessage>("Ewa", "Nowa", 1300000000u);
    const CMessage* filedAt = filed.get();
    ASSERT_TRUE(doc->GetSent().AddMessage(filed));
    EXPECT_EQ(doc->GetSent().GetCount(), 3u);
    std::vector<std::string> visited;
    doc->GetSent().ForEach([&](const CMessage& m) { visited.push_back(m.GetText()); });
    EXPECT_EQ(visited,
              (std::vector<std::string>{
                  "Wys\xB3\x61na", "Masz nowa wiadomosc w skrzynce email. Liczba wiadomosci: 3.", "Nowa"}));
    ASSERT_TRUE(doc->SaveDataFile());
    EXPECT_TRUE(doc->GetSent().IsEncoded()); // saved behind the bytes: none of them read
    const std::vector<std::uint8_t> second = ReadFileBytes(f.path);

    // The whole encode of the same document, every folder read.
    EXPECT_EQ(doc->GetSent().GetMessages().back().get(), filedAt); // the filed message stays itself
    EXPECT_FALSE(doc->GetSent().IsEncoded());
    EXPECT_EQ(second, doc->Store());
    doc->GetOutboxViewData().textWidth = 100;
    doc->GetSent().RemoveMessage(filedAt);
    EXPECT_EQ(doc->Store(), sample_file::Full().vec());
    // The first save: the sample with the outbox view's text width (its last four bytes) at 77.
    std::vector<std::uint8_t> expectedFirst = sample_file::Full().vec();
    expectedFirst[expectedFirst.size() - 4] = 77;
    EXPECT_EQ(first, expectedFirst);
}

// A folder emptied or read afresh drops its bytes unread; one taken a message from reads them first.
TEST(FoldersReadLater, ChangesToAFolderKeptAsBytes)
{
    const std::vector<std::pair<const char*, std::function<void(CBrivantelDoc&)>>> changes = {
        {"deleted folder emptied", [](CBrivantelDoc& d) { d.GetDeletedMessages().DeleteAllMessages(); }},
        {"deleted message destroyed",
         [](CBrivantelDoc& d) {
             d.GetDeletedMessages().DeleteMessage(d.GetDeletedMessages().GetMessages()[0].get());
         }},
        {"sent message taken out",
         [](CBrivantelDoc& d) { d.GetSent().RemoveMessage(d.GetSent().GetMessages()[0].get()); }},
        {"draft edited in place", [](CBrivantelDoc& d) { d.GetDrafts().GetMessages()[0]->SetText("Inny"); }},
        {"queued message's recipients edited in place",
         [](CBrivantelDoc& d) { d.GetOutbox().GetMessages()[0]->SetRecipients("Ewa"); }},
        {"edited, then filed in the sent folder",
         [](CBrivantelDoc& d) {
             auto m = d.GetOutbox().RemoveMessage(d.GetOutbox().GetMessages()[0].get());
             m->SetRecipients("Jan Kowalski");
             d.GetSent().AddMessage(m);
         }},
    };
    for (const auto& [what, change] : changes) {
        SCOPED_TRACE(what);
        Fixture f;
        auto doc = f.Open(sample_file::Full().vec());
        ASSERT_TRUE(doc);
        change(*doc);
        ASSERT_TRUE(doc->SaveDataFile());
        const std::vector<std::uint8_t> written = ReadFileBytes(f.path);
        EXPECT_NE(written, sample_file::Full().vec());
        // A change elsewhere, an edit in place included, leaves the sent folder unread.
        if (std::string(what) != "sent message taken out") {
            EXPECT_TRUE(doc->GetSent().IsEncoded());
        }
        EXPECT_EQ(written, doc->Store());
    }
}

// A file read a window at a time meets what the whole buffer meets, at the same byte, however the
// windows fall.
TEST(FoldersReadLater, ReadingThroughSmallWindowsIsReadingTheBuffer)
{
    const std::vector<std::uint8_t> full = sample_file::Full().vec();
    for (const std::size_t window : {std::size_t{1}, std::size_t{3}, std::size_t{64}}) {
        for (std::size_t cut = 0; cut <= full.size(); ++cut) {
            SCOPED_TRACE("window " + std::to_string(window) + ", cut at " + std::to_string(cut));
            const std::vector<std::uint8_t> bytes(full.begin(),
                                                  full.begin() + static_cast<std::ptrdiff_t>(cut));
            CMemorySource source(bytes);
            CArchive ar(source, window);
            const FullRead windowed = ReadInFull(ar);
            const FullRead buffered = ReadInFull(bytes);
            EXPECT_EQ(windowed.damage, buffered.damage);
            EXPECT_EQ(windowed.folders, buffered.folders);
        }
    }
}

namespace {

// What a reader going through the file is shown, in order: "record N" and "N: to|text|time".
struct Shown final : CDocumentReader
{
    std::vector<std::string> seen;
    void RecordRead(std::size_t index) override { seen.push_back("record " + std::to_string(index)); }
    void MessageRead(std::size_t index, const CMessage& m) override
    {
        seen.push_back(std::to_string(index) + ": " + m.GetRecipients() + "|" + m.GetText() + "|" +
                       std::to_string(m.GetTime()));
    }
};

std::vector<std::string> Expected(const FullRead& read)
{
    std::vector<std::string> seen;
    const std::size_t folders[] = {5, 7, 10, 12};
    std::size_t folder = 0;
    for (std::size_t index = 0; index < 14; ++index) {
        if (folder < 4 && folders[folder] == index) {
            for (const std::string& m : read.folders[folder])
                seen.push_back(std::to_string(index) + ": " + m);
            ++folder;
        }
        seen.push_back("record " + std::to_string(index));
    }
    return seen;
}

} // namespace

TEST(FoldersReadLater, ReadingThroughShowsEveryMessageOnceAndKeepsNone)
{
    Fixture f;
    WriteFileBytes(f.path, sample_file::Full().vec());
    CBrivantelDoc doc(f.ui, f.settings);
    Shown shown;
    EXPECT_TRUE(doc.ReadThrough(f.path, &shown));
    EXPECT_EQ(shown.seen, Expected(ReadInFull(sample_file::Full().vec())));
    EXPECT_EQ(doc.GetSent().GetCount(), 0u);
    EXPECT_EQ(doc.GetAddressBook().GetEntries().size(), 2u);
    EXPECT_TRUE(f.ui.messages.empty());

    // A second reading of the same document shows the same (records are read afresh, not added).
    Shown again;
    EXPECT_TRUE(doc.ReadThrough(f.path, &again));
    EXPECT_EQ(again.seen, shown.seen);
    EXPECT_EQ(doc.GetAddressBook().GetEntries().size(), 2u);
}

// Whatever stops the reading, every record is shown once, in order, as far as it was read.
TEST(FoldersReadLater, ReadingThroughAFileNotWholeShowsEveryRecordAndSaysSo)
{
    const std::vector<std::uint8_t> full = sample_file::Full().vec();
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files;
    for (const std::size_t cut : {std::size_t{5}, full.size() / 2, full.size() - 30, full.size() - 1})
        files.emplace_back(
            "cut at " + std::to_string(cut),
            std::vector<std::uint8_t>(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut)));
    std::vector<std::uint8_t> longer = full;
    longer.push_back(0);
    files.emplace_back("a byte after the last record", longer);
    files.emplace_back("a null in the sent folder", WithSentTag(0x0000));
    for (const auto& [what, bytes] : files) {
        SCOPED_TRACE(what);
        Fixture f;
        WriteFileBytes(f.path, bytes);
        CBrivantelDoc doc(f.ui, f.settings);
        Shown shown;
        EXPECT_FALSE(doc.ReadThrough(f.path, &shown));
        std::vector<std::string> records;
        for (const std::string& line : shown.seen) {
            if (line.rfind("record ", 0) == 0)
                records.push_back(line);
        }
        ASSERT_EQ(records.size(), 14u);
        for (std::size_t i = 0; i < records.size(); ++i)
            EXPECT_EQ(records[i], "record " + std::to_string(i));
    }
    Fixture f;
    CBrivantelDoc doc(f.ui, f.settings);
    Shown shown;
    EXPECT_FALSE(doc.ReadThrough(f.dir.file("none.vs"), &shown)); // no file: Open tells the user
}

// Messages filed one after another behind a folder's bytes, saves overlapping the worker's writes:
// the file is each time what a whole encode writes, and the folder is never read.
TEST(FoldersReadLater, FilingBehindTheBytesSaveAfterSave)
{
    Fixture f;
    auto doc = f.Open(sample_file::Full().vec());
    ASSERT_TRUE(doc);
    std::vector<std::vector<std::uint8_t>> written;
    for (int i = 0; i < 6; ++i) {
        auto m = std::make_unique<CMessage>("Ewa", "Nr " + std::to_string(i), 1300000000u + i);
        ASSERT_TRUE(doc->GetSent().AddMessage(m));
        ASSERT_TRUE(doc->SaveInBackground());
        if (i % 2 == 1) { // every other save leaves the worker running into the next one
            doc->WaitForBackgroundSave();
            written.push_back(ReadFileBytes(f.path));
        }
        EXPECT_TRUE(doc->GetSent().IsEncoded());
    }
    doc->WaitForBackgroundSave();
    EXPECT_EQ(doc->TakeQuietSaveError(), "");
    EXPECT_EQ(ReadFileBytes(f.path), doc->Store());
    // The file after the second message, encoded whole afresh from what it holds.
    Fixture g;
    auto reread = g.Open(written[0]);
    ASSERT_TRUE(reread);
    EXPECT_EQ(reread->GetSent().GetCount(), 4u);
    EXPECT_EQ(reread->Store(), written[0]);
}

// A file with two names is written in place: the pieces, read file's bytes among them, are put
// together first, and both names hold what a whole encode writes.
TEST(FoldersReadLater, APiecewiseSaveInPlaceKeepsBothNamesOneFile)
{
    Fixture f;
    auto doc = f.Open(sample_file::Full().vec());
    ASSERT_TRUE(doc);
    const std::string other = f.dir.file("other.vs");
    ASSERT_EQ(::link(f.path.c_str(), other.c_str()), 0);
    auto m = std::make_unique<CMessage>("Ewa", "Przez drugie imię", 1300000000u);
    ASSERT_TRUE(doc->GetSent().AddMessage(m));
    ASSERT_TRUE(doc->SaveDataFile());
    EXPECT_TRUE(doc->GetSent().IsEncoded());
    EXPECT_EQ(ReadFileBytes(other), doc->Store());
    EXPECT_EQ(ReadFileBytes(f.path), ReadFileBytes(other));
}

// A change before the folders moves the numbering the sent folder's bytes were written under
// (an address-book entry takes an index; an earlier folder starting or stopping to describe the
// message class). The bytes are kept and their class named anew: the file is still byte for byte
// a whole encode, and the sent folder is never read. Each step is saved on top of the last.
TEST(FoldersReadLater, ANumberingMovedBeforeAFolderKeptAsBytes)
{
    const auto entry = [](const char* name) {
        auto address = std::make_unique<CAddress>();
        address->SetDisplayName(name);
        address->SetSubscriberNumber("602123456");
        return address;
    };
    const std::vector<std::pair<const char*, std::function<void(CBrivantelDoc&)>>> steps = {
        {"an entry added",
         [&](CBrivantelDoc& d) {
             auto e = entry("Ewa");
             d.GetAddressBook().AddAddress(e);
         }},
        {"a message filed behind the renamed bytes",
         [](CBrivantelDoc& d) {
             auto m = std::make_unique<CMessage>("Ewa", "Po zmianie", 1300000000u);
             d.GetSent().AddMessage(m);
         }},
        {"the first entry removed",
         [](CBrivantelDoc& d) {
             d.GetAddressBook().DeleteAddress(d.GetAddressBook().GetEntries()[0].get());
         }},
        {"drafts and deleted emptied: the sent folder describes the class",
         [](CBrivantelDoc& d) {
             d.GetDrafts().RemoveMessage(d.GetDrafts().GetMessages()[0].get());
             d.GetDeletedMessages().DeleteAllMessages();
         }},
        {"a draft again: the sent folder names the class by its index",
         [](CBrivantelDoc& d) {
             auto m = std::make_unique<CMessage>("Jan", "Szkic");
             d.GetDrafts().AddMessage(m);
         }},
        {"many entries: the class index in its long form",
         [&](CBrivantelDoc& d) {
             for (int i = 0; i < 0x7FFF; ++i) {
                 auto e = entry("Wpis");
                 d.GetAddressBook().AddAddress(e);
             }
         }},
    };
    TwinDocuments twins(sample_file::Full().vec());
    ASSERT_TRUE(twins.doc && twins.twin);
    for (const auto& [what, step] : steps) {
        SCOPED_TRACE(what);
        twins.Apply(step);
        EXPECT_TRUE(twins.SavedExactly());
        EXPECT_TRUE(twins.doc->GetSent().IsEncoded());
    }
}

// A view shows a few rows of a folder kept as bytes: each is read alone and stays the same object
// once the whole folder is read; one taken out is only passed over in the bytes; an edit made to
// one is saved.
TEST(FoldersReadLater, MessagesReadOneAtATimeFromAFolderKeptAsBytes)
{
    Fixture f;
    auto doc = f.Open(sample_file::Full().vec());
    ASSERT_TRUE(doc);
    CSentList& sent = doc->GetSent();
    auto filed = std::make_unique<CMessage>("Ewa", "Nowa", 1300000000u);
    const CMessage* filedAt = filed.get();
    ASSERT_TRUE(sent.AddMessage(filed));

    CMessage* second = sent.At(1);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->GetText(), "Masz nowa wiadomosc w skrzynce email. Liczba wiadomosci: 3.");
    EXPECT_EQ(sent.At(1), second);
    EXPECT_EQ(sent.At(2), filedAt);
    EXPECT_EQ(sent.At(3), nullptr);
    EXPECT_EQ(sent.IndexOf(second), 1u);
    EXPECT_EQ(sent.IndexOf(filedAt), 2u);
    const CMessage elsewhere;
    EXPECT_EQ(sent.IndexOf(&elsewhere), std::nullopt);

    const CMessage* first = sent.At(0);
    const std::unique_ptr<CMessage> taken = sent.RemoveMessage(first);
    EXPECT_EQ(taken.get(), first);
    EXPECT_EQ(sent.GetCount(), 2u);
    EXPECT_EQ(sent.At(0), second);
    EXPECT_EQ(sent.IndexOf(filedAt), 1u);
    ASSERT_TRUE(doc->SaveDataFile());
    EXPECT_TRUE(sent.IsEncoded());
    const std::vector<std::uint8_t> afterTaking = ReadFileBytes(f.path);

    second->SetText("Zmieniona");
    std::vector<std::string> visited;
    sent.ForEach([&](const CMessage& m) { visited.push_back(m.GetText()); });
    EXPECT_EQ(visited, (std::vector<std::string>{"Zmieniona", "Nowa"}));
    ASSERT_TRUE(doc->SaveDataFile());
    const std::vector<std::uint8_t> afterEdit = ReadFileBytes(f.path);

    EXPECT_EQ(sent.GetMessages()[0].get(), second);
    EXPECT_EQ(sent.GetMessages()[1].get(), filedAt);
    EXPECT_EQ(ReadInFull(afterEdit).folders[2], Describe(sent));
    EXPECT_EQ(afterEdit, doc->Store());
    second->SetText("Masz nowa wiadomosc w skrzynce email. Liczba wiadomosci: 3.");
    EXPECT_EQ(afterTaking, doc->Store());
}
