#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <sys/stat.h>

#include "DocumentOnDisk.h"
#include "SampleFile.h"
#include "app/Document.h"
#include "app/EncodedRecords.h"
#include "app/SettingsStore.h"
#include "support/RecordingUserInterface.h"
#include "support/TempDir.h"

// Saving encodes only the records that changed and reuses the bytes of the others; the file must
// still be, byte for byte, what one archive over the whole document writes.
namespace {

using Fixture = DocumentOnDisk;

std::unique_ptr<CMessage> Message(const std::string& to, const std::string& text)
{
    return std::make_unique<CMessage>(to, text, 1234567890u);
}

void File(CMessageList& folder, const std::string& to, const std::string& text)
{
    auto message = Message(to, text);
    ASSERT_TRUE(folder.AddMessage(message));
}

void AddEntry(CBrivantelDoc& doc, const std::string& name)
{
    auto entry = std::make_unique<CAddress>();
    entry->SetDisplayName(name);
    entry->SetCountryPrefix("+48");
    entry->SetOperatorCode("601");
    entry->SetSubscriberNumber("1112223");
    ASSERT_TRUE(doc.GetAddressBook().AddAddress(entry));
}

struct Change
{
    const char* what;
    std::function<void(CBrivantelDoc&)> apply;
};

// One change of every record kind, and the changes that move the archive's numbering (the
// classes described earlier or later, the object count before a record that describes a class).
const std::vector<Change>& Changes()
{
    static const std::vector<Change> changes = {
        {"address-book view", [](CBrivantelDoc& d) { d.GetAddressBookViewData().nameWidth = 77; }},
        {"entry added", [](CBrivantelDoc& d) { AddEntry(d, "Ola"); }},
        {"entry edited in place",
         [](CBrivantelDoc& d) { d.GetAddressBook().GetEntries()[0]->SetSurname("Nowak"); }},
        {"settings", [](CBrivantelDoc& d) { d.GetSettings().SetProxyPort(8081); }},
        {"composing view", [](CBrivantelDoc& d) { d.GetSendMessageViewData().text = "Inny tekst"; }},
        {"ready-made texts", [](CBrivantelDoc& d) { d.GetDefinedMessages().GetTexts().push_back("Nowy"); }},
        {"draft added", [](CBrivantelDoc& d) { File(d.GetDrafts(), "Ewa", "Drugi szkic"); }},
        {"draft edited in place",
         [](CBrivantelDoc& d) { d.GetDrafts().GetMessages()[0]->SetText("Zmieniony"); }},
        {"drafts view", [](CBrivantelDoc& d) { d.GetDraftsViewData().textWidth = 333; }},
        {"deleted message added", [](CBrivantelDoc& d) { File(d.GetDeletedMessages(), "Jan", "Precz"); }},
        {"deleted view", [](CBrivantelDoc& d) { d.GetDeletedMessagesViewData().recipientsWidth = 50; }},
        {"mail watch", [](CBrivantelDoc& d) { d.GetMailCheckerData().server = "pop.example.net"; }},
        {"sent message filed", [](CBrivantelDoc& d) { File(d.GetSent(), "Ewa", "Poszło"); }},
        {"sent view", [](CBrivantelDoc& d) { d.GetSentViewData().dateWidth = 99; }},
        {"outbox message queued", [](CBrivantelDoc& d) { File(d.GetOutbox(), "Jan", "Później"); }},
        {"outbox message recipients edited",
         [](CBrivantelDoc& d) { d.GetOutbox().GetMessages()[0]->SetRecipients("Ewa"); }},
        {"outbox view", [](CBrivantelDoc& d) { d.GetOutboxViewData().textWidth = 10; }},
        {"address book emptied (CMessage described first)",
         [](CBrivantelDoc& d) {
             while (!d.GetAddressBook().GetEntries().empty())
                 d.GetAddressBook().DeleteAddress(d.GetAddressBook().GetEntries().back().get());
         }},
        {"drafts emptied (CMessage described in the deleted folder)",
         [](CBrivantelDoc& d) {
             while (!d.GetDrafts().GetMessages().empty())
                 d.GetDrafts().RemoveMessage(d.GetDrafts().GetMessages().back().get());
         }},
        {"deleted folder emptied", [](CBrivantelDoc& d) { d.GetDeletedMessages().DeleteAllMessages(); }},
    };
    return changes;
}

// Applies each step and saves after it: the file must be what a whole encode of the document writes.
void SaveEachStep(Fixture& f, CBrivantelDoc& doc, const std::vector<Change>& steps)
{
    for (const Change& step : steps) {
        SCOPED_TRACE(step.what);
        step.apply(doc);
        ASSERT_TRUE(doc.SaveDataFile());
        EXPECT_EQ(ReadFileBytes(f.path), doc.Store());
    }
}

} // namespace

TEST(SaveByRecord, EachChangeWritesWhatAWholeEncodeWrites)
{
    for (const Change& change : Changes()) {
        SCOPED_TRACE(change.what);
        Fixture f;
        auto doc = f.Open(sample_file::Full().vec());
        ASSERT_TRUE(doc);
        change.apply(*doc);
        ASSERT_TRUE(doc->SaveDataFile());
        const std::vector<std::uint8_t> written = ReadFileBytes(f.path);
        EXPECT_NE(written, sample_file::Full().vec()); // the change did reach the file
        EXPECT_EQ(written, doc->Store());
    }
}

TEST(SaveByRecord, ChangesOneAfterAnotherThroughTheWorker)
{
    Fixture f;
    auto doc = f.Open(sample_file::Full().vec());
    ASSERT_TRUE(doc);
    for (const Change& change : Changes()) {
        SCOPED_TRACE(change.what);
        change.apply(*doc);
        ASSERT_TRUE(doc->SaveInBackground());
        doc->WaitForBackgroundSave();
        EXPECT_EQ(doc->TakeQuietSaveError(), "");
        EXPECT_EQ(ReadFileBytes(f.path), doc->Store());
    }
}

// Past index 0x7FFF a class is named by a 6-byte tag: a record's bytes change with the index its
// class got, which moves with every object before the class's first one.
TEST(SaveByRecord, NumberingPastTheShortTagsStaysExact)
{
    Fixture f;
    auto doc = f.Open({});
    ASSERT_TRUE(doc);
    for (int i = 0; i < 0x7FFF; ++i)
        AddEntry(*doc, "Osoba " + std::to_string(i));
    File(doc->GetSent(), "Osoba 1", "Jeden");
    File(doc->GetOutbox(), "Osoba 2", "Dwa");
    ASSERT_TRUE(doc->SaveDataFile());
    ASSERT_EQ(ReadFileBytes(f.path), doc->Store());

    const std::vector<Change> steps = {
        {"one entry less: CMessage back under the short tags",
         [](CBrivantelDoc& d) {
             d.GetAddressBook().DeleteAddress(d.GetAddressBook().GetEntries()[5].get());
         }},
        {"one more entry: past them again", [](CBrivantelDoc& d) { AddEntry(d, "Nowa"); }},
        {"a draft ahead of the sent folder", [](CBrivantelDoc& d) { File(d.GetDrafts(), "Nowa", "Szkic"); }},
        {"outbox only", [](CBrivantelDoc& d) { File(d.GetOutbox(), "Nowa", "Trzy"); }},
    };
    SaveEachStep(f, *doc, steps);
}

// A folder that only grew at its end stores only the new messages, and its count in front of them:
// from none (the class described by the first), and across the count's change to the wide form.
TEST(SaveByRecord, FoldersThatGrowAtTheEndStayExact)
{
    Fixture f;
    auto doc = f.Open({});
    ASSERT_TRUE(doc);
    AddEntry(*doc, "Ewa");
    ASSERT_TRUE(doc->SaveDataFile());
    const auto save = [&](const char* what) {
        SCOPED_TRACE(what);
        ASSERT_TRUE(doc->SaveDataFile());
        EXPECT_EQ(ReadFileBytes(f.path), doc->Store());
    };
    File(doc->GetOutbox(), "Ewa", "Pierwsza");
    save("first message of the file, at the end of the outbox");
    File(doc->GetOutbox(), "Ewa", "Druga");
    AddEntry(*doc, "Jan");
    save("one more message and one more entry");
    File(doc->GetSent(), "Jan", "Wcześniej opisana klasa");
    save("the first sent message: the class now described ahead of the outbox");
    for (int i = 0; i < 0xFFFE - 1; ++i)
        File(doc->GetSent(), "Jan", "Tekst");
    save("0xFFFE sent messages");
    File(doc->GetSent(), "Jan", "Szeroka liczba");
    save("0xFFFF: the count in its 6-byte form");
    File(doc->GetSent(), "Jan", "Jeszcze jedna");
    save("and one more in that form");
    doc->GetOutbox().RemoveMessage(doc->GetOutbox().GetMessages()[0].get());
    File(doc->GetOutbox(), "Ewa", "Po usunięciu");
    save("a message taken out of the middle, one added");
}

// Bytes read in a form that storing would not write cannot stand in for their record.
TEST(SaveByRecord, RecordsReadInAnotherFormAreEncodedAgain)
{
    // The queued message of the full file with its text's length in the 3-byte form.
    Bytes longPrefix = sample_file::Full();
    std::vector<std::uint8_t> bytes = longPrefix.vec();
    const std::string text = "Czeka";
    const auto at = std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) - bytes.begin();
    ASSERT_EQ(bytes[at - 1], text.size());
    bytes[at - 1] = 0xFF;
    bytes.insert(bytes.begin() + at, {static_cast<std::uint8_t>(text.size()), 0x00});

    Fixture f;
    auto doc = f.Open(bytes);
    ASSERT_TRUE(doc);
    EXPECT_FALSE(doc->WasDamaged());
    EXPECT_TRUE(doc->HasUnsavedChanges()); // the file is not yet what a save writes
    EXPECT_EQ(doc->StoreByRecord(), sample_file::Full().vec());
    ASSERT_TRUE(doc->SaveDataFile());
    EXPECT_EQ(ReadFileBytes(f.path), sample_file::Full().vec());
}

TEST(SaveByRecord, NoChangeWritesNothing)
{
    Fixture f;
    auto doc = f.Open(sample_file::Full().vec());
    ASSERT_TRUE(doc);
    struct stat before
    {
    };
    ASSERT_EQ(stat(f.path.c_str(), &before), 0);
    EXPECT_FALSE(doc->HasUnsavedChanges());
    ASSERT_TRUE(doc->SaveInBackground());
    doc->WaitForBackgroundSave();
    struct stat after
    {
    };
    ASSERT_EQ(stat(f.path.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino); // a save replaces the file: this one was not replaced

    doc->GetSentViewData().dateWidth = 42; // an edit nobody announced
    EXPECT_TRUE(doc->HasUnsavedChanges());
    ASSERT_TRUE(doc->SaveAndWaitOnDisk());
    EXPECT_FALSE(doc->HasUnsavedChanges());
    EXPECT_EQ(ReadFileBytes(f.path), doc->Store());
}

// The send's write-ahead waits for the worker, repainting while it writes.
TEST(SaveByRecord, WriteAheadIsOnDiskWhenItReturns)
{
    Fixture f;
    auto doc = f.Open(sample_file::Full().vec());
    ASSERT_TRUE(doc);
    File(doc->GetOutbox(), "Ewa", "Zaraz");
    ASSERT_TRUE(doc->SaveAndWaitOnDisk());
    EXPECT_EQ(ReadFileBytes(f.path), doc->Store());
    EXPECT_FALSE(doc->HasUnsavedChanges());
}

// A file cut anywhere keeps the records read whole as their bytes; the others are encoded.
TEST(SaveByRecord, FileCutAnywhereSavesWhatAWholeEncodeWrites)
{
    const std::vector<std::uint8_t> full = sample_file::Full().vec();
    for (std::size_t cut = 0; cut <= full.size(); ++cut) {
        RecordingUserInterface ui;
        CMemorySettingsStore settings;
        CBrivantelDoc doc(ui, settings);
        doc.Load(std::vector<std::uint8_t>(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut)));
        ASSERT_EQ(doc.StoreByRecord(), doc.Store()) << "cut at " << cut;
    }
}

// A message taken out of a folder is cut out of the folder's kept bytes; what is written is still
// a whole encode, whatever the numbering did meanwhile. Each step is saved on top of the last.
TEST(SaveByRecord, MessagesTakenOutAreCutFromTheKeptBytes)
{
    Fixture f;
    auto doc = f.Open(sample_file::Full().vec());
    ASSERT_TRUE(doc);
    for (int i = 0; i < 20; ++i)
        File(doc->GetSent(), "Jan", "Wiadomość " + std::to_string(i));
    ASSERT_TRUE(doc->SaveDataFile());
    const auto takeOut = [](CRemovableMessageList& folder, std::size_t at) {
        ASSERT_TRUE(folder.RemoveMessage(folder.GetMessages()[at].get()));
    };
    const std::vector<Change> steps = {
        {"one from the middle", [&](CBrivantelDoc& d) { takeOut(d.GetSent(), 7); }},
        {"the first, the last and another, then one filed",
         [&](CBrivantelDoc& d) {
             takeOut(d.GetSent(), 0);
             takeOut(d.GetSent(), d.GetSent().GetCount() - 1);
             takeOut(d.GetSent(), 3);
             File(d.GetSent(), "Ewa", "Nowa");
         }},
        {"drafts and deleted emptied: the sent folder describes the class",
         [](CBrivantelDoc& d) {
             d.GetDrafts().RemoveMessage(d.GetDrafts().GetMessages()[0].get());
             d.GetDeletedMessages().DeleteAllMessages();
         }},
        {"the message that describes the class", [&](CBrivantelDoc& d) { takeOut(d.GetSent(), 0); }},
        {"an entry added and a message taken out at once",
         [&](CBrivantelDoc& d) {
             AddEntry(d, "Ola");
             takeOut(d.GetSent(), 2);
         }},
        {"a draft again, and the first sent message taken out",
         [&](CBrivantelDoc& d) {
             File(d.GetDrafts(), "Ola", "Szkic");
             takeOut(d.GetSent(), 0);
         }},
        {"deleted messages filed",
         [](CBrivantelDoc& d) {
             for (int i = 0; i < 3; ++i)
                 File(d.GetDeletedMessages(), "Jan", "Usunięta");
         }},
        {"a deleted message destroyed",
         [](CBrivantelDoc& d) {
             d.GetDeletedMessages().DeleteMessage(d.GetDeletedMessages().GetMessages()[1].get());
         }},
        {"all but one taken out",
         [&](CBrivantelDoc& d) {
             while (d.GetSent().GetCount() > 1)
                 takeOut(d.GetSent(), d.GetSent().GetCount() / 2);
         }},
        {"the last one taken out", [&](CBrivantelDoc& d) { takeOut(d.GetSent(), 0); }},
    };
    SaveEachStep(f, *doc, steps);
}

// Taking a message out stores no kept message again: only the count and what was filed since.
TEST(SaveByRecord, ATakingOutEncodesNoKeptMessage)
{
    CSentList folder;
    for (int i = 0; i < 1000; ++i)
        File(folder, "Jan", "Tekst " + std::to_string(i));
    int wholeEncodes = 0;
    std::vector<std::size_t> storedFrom;
    const auto record = [&] {
        CEncodedRecords::Record r = CEncodedRecords::ForFolder(folder);
        r.serialize = [&, inner = r.serialize](CArchive& ar) {
            ++wholeEncodes;
            inner(ar);
        };
        r.storeFrom = [&, inner = r.storeFrom](CArchive& ar, std::size_t from) {
            storedFrom.push_back(from);
            inner(ar, from);
        };
        return r;
    };
    const auto whole = [&] {
        std::vector<std::uint8_t> bytes;
        CArchive ar(bytes, CArchive::Mode::Store);
        folder.Serialize(ar);
        return bytes;
    };
    const auto written = [](const CEncodedRecords& encoded) {
        std::vector<std::uint8_t> bytes;
        CEncodedRecords::WritePieces(encoded.Pieces(), [&](const std::uint8_t* data, std::size_t n) {
            bytes.insert(bytes.end(), data, data + n);
            return true;
        });
        return bytes;
    };
    CEncodedRecords encoded;
    encoded.Update({record()}, true);
    ASSERT_EQ(wholeEncodes, 1);

    ASSERT_TRUE(folder.RemoveMessage(folder.GetMessages()[500].get()));
    ASSERT_TRUE(encoded.Update({record()}, true));
    EXPECT_EQ(wholeEncodes, 1);
    EXPECT_TRUE(storedFrom.empty());
    EXPECT_EQ(written(encoded), whole());

    ASSERT_TRUE(folder.RemoveMessage(folder.GetMessages()[0].get()));
    File(folder, "Ewa", "Nowa");
    ASSERT_TRUE(encoded.Update({record()}, true));
    EXPECT_EQ(wholeEncodes, 1);
    EXPECT_EQ(storedFrom, std::vector<std::size_t>{998});
    EXPECT_EQ(written(encoded), whole());
}

// Random changes of every kind, several between saves, saved by record one after another: each
// file is what a twin document encoded whole writes. Messages are picked as a view picks them, a
// row at a time, so folders still held as bytes lose messages without being read whole.
TEST(SaveByRecord, RandomChangesSavedOneAfterAnotherStayExact)
{
    std::mt19937 random(20261209);
    const auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
    // Each change given the same choice on both documents.
    const std::vector<std::function<void(CBrivantelDoc&, std::size_t)>> changes = {
        [](CBrivantelDoc& d, std::size_t) { File(d.GetSent(), "Jan", "Wysłana"); },
        [&](CBrivantelDoc& d, std::size_t at) {
            if (d.GetSent().GetCount() > 0)
                d.DiscardMessage(d.GetSent().RemoveMessage(d.GetSent().At(at % d.GetSent().GetCount())));
        },
        [](CBrivantelDoc& d, std::size_t) { AddEntry(d, "Ktoś"); },
        [](CBrivantelDoc& d, std::size_t at) {
            const auto& entries = d.GetAddressBook().GetEntries();
            if (!entries.empty())
                d.GetAddressBook().DeleteAddress(entries[at % entries.size()].get());
        },
        [](CBrivantelDoc& d, std::size_t) { File(d.GetDrafts(), "Ewa", "Szkic"); },
        [](CBrivantelDoc& d, std::size_t at) {
            if (d.GetDrafts().GetCount() > 0)
                d.GetDrafts().RemoveMessage(d.GetDrafts().At(at % d.GetDrafts().GetCount()));
        },
        [](CBrivantelDoc& d, std::size_t at) {
            CDeletedMessagesList& deleted = d.GetDeletedMessages();
            if (deleted.GetCount() > 0)
                deleted.DeleteMessage(deleted.At(at % deleted.GetCount()));
        },
        [](CBrivantelDoc& d, std::size_t) { d.GetDeletedMessages().DeleteAllMessages(); },
        [](CBrivantelDoc& d, std::size_t at) {
            if (d.GetDrafts().GetCount() > 0)
                d.GetDrafts().At(at % d.GetDrafts().GetCount())->SetText("Zmieniony " + std::to_string(at));
        },
        [](CBrivantelDoc& d, std::size_t) { File(d.GetOutbox(), "Ola", "Czeka"); },
        [](CBrivantelDoc& d, std::size_t at) { // a send: from the outbox to the sent folder
            if (d.GetOutbox().GetCount() == 0)
                return;
            auto sent = d.GetOutbox().RemoveMessage(d.GetOutbox().At(at % d.GetOutbox().GetCount()));
            d.GetSent().AddMessage(sent);
        },
    };
    // Thirty more sent messages in the file, so that the sent folder is read as bytes.
    Fixture start;
    auto first = start.Open(sample_file::Full().vec());
    ASSERT_TRUE(first);
    for (int i = 0; i < 30; ++i)
        File(first->GetSent(), "Jan", "Wiadomość " + std::to_string(i));
    TwinDocuments twins(first->Store());
    ASSERT_TRUE(twins.doc && twins.twin);
    for (int step = 0; step < 300; ++step) {
        SCOPED_TRACE("step " + std::to_string(step));
        for (std::size_t n = 1 + pick(3); n > 0; --n) {
            const std::size_t at = pick(1000);
            twins.Apply([&, change = pick(changes.size())](CBrivantelDoc& d) { changes[change](d, at); });
        }
        ASSERT_TRUE(twins.SavedExactly());
    }
}
