// Saving the document: the records' bytes kept from save to save, the whole-file write on a
// worker thread, and the waits for it.
#include "app/Document.h"

#include <cerrno>
#include <chrono>
#include <new>
#include <string_view>
#include <unistd.h>
#include <utility>

#include "app/DataFile.h"
#include "app/UserInterface.h"
#include "store/Archive.h"
#include "store/Windows1250.h"

namespace {

std::string Polish(std::string_view utf8)
{
    return windows1250::FromUtf8Lossy(utf8);
}

std::string Quoted(const std::string& path)
{
    return Polish("„") + windows1250::FromUtf8Lossy(path) + Polish("”");
}

std::string SaveFailure(const std::string& target, const data_file::Error& error)
{
    const std::string failed =
        Polish("Nie udało się zapisać pliku danych ") + Quoted(target) + ".\n" + error.Describe();
    // "Intact" is said only when it was checked: an in-place save that could not undo itself
    // names where the old bytes are.
    if (error.oldIntact)
        return failed + Polish("\nPoprzednia zawartość pliku pozostała nienaruszona.");
    if (error.recoveryCopy.empty())
        return failed + Polish("\nPlik może być uszkodzony.");
    return failed + Polish("\nPlik może być uszkodzony. Jego poprzednią zawartość zachowano w kopii ") +
           Quoted(error.recoveryCopy) +
           Polish("; program zaproponuje jej przywrócenie przy następnym uruchomieniu.");
}

struct WriteResult
{
    bool written = false;
    data_file::Error error;
};

// Writes the records' bytes one after another, straight from where they are kept (no copy of the
// whole file is made). Touches nothing of the document: it may run on any thread.
WriteResult WriteOut(const std::string& path, const std::vector<CEncodedRecords::Piece>& pieces)
{
    WriteResult result;
    std::size_t size = 0;
    for (const auto& piece : pieces)
        size += piece.size;
    const auto produce = [&pieces](const data_file::Writer& write) {
        try {
            return CEncodedRecords::WritePieces(pieces, write);
        } catch (const CArchiveException&) {
            return false; // kept bytes that are not what they were taken for: nothing is written
        }
    };
    result.written = data_file::WriteProducedAtomically(path, size, produce, result.error);
    return result;
}

} // namespace

std::vector<CEncodedRecords::Record> CBrivantelDoc::Records()
{
    using Record = CEncodedRecords::Record;
    const auto small = [](auto& record) {
        Record plain;
        plain.serialize = [&record](CArchive& ar) { record.Serialize(ar); };
        return plain;
    };
    const auto folder = [](CMessageList& list) { return CEncodedRecords::ForFolder(list); };
    const Record book{
        [this](CArchive& ar) { m_addressBook.Serialize(ar); },
        true,
        {m_addressBook.GetChangeStamp(), CAddress::LastEdit()},
        m_addressBook.GetEntries().size(),
        m_addressBook.GetReshapeStamp(),
        [this](CArchive& ar, std::size_t from) { StoreObjectsFrom(ar, m_addressBook.GetEntries(), from); },
        nullptr,
        &CAddress::RuntimeClass(),
        0,
        {}};
    return {small(m_addressBookView), book,
            small(m_settings),        small(m_composeView),
            small(m_definedMessages), folder(m_drafts),
            small(m_draftsView),      folder(m_deleted),
            small(m_deletedView),     small(m_mailChecker),
            folder(m_sent),           small(m_sentView),
            folder(m_outbox),         small(m_outboxView)};
}

std::vector<std::uint8_t> CBrivantelDoc::Store()
{
    std::vector<std::uint8_t> bytes;
    CArchive ar(bytes, CArchive::Mode::Store);
    Serialize(ar);
    return bytes;
}

std::vector<std::uint8_t> CBrivantelDoc::StoreByRecord()
{
    std::vector<std::uint8_t> bytes;
    if (!EncodeChanges(nullptr))
        return bytes;
    CEncodedRecords::WritePieces(m_encoded.Pieces(), [&bytes](const std::uint8_t* data, std::size_t n) {
        bytes.insert(bytes.end(), data, data + n);
        return true;
    });
    return bytes;
}

bool CBrivantelDoc::EncodeChanges(std::string* failure)
{
    try {
        // While a worker writes, it reads the old buffers: changed records get new ones.
        if (m_encoded.Update(Records(), !m_background.valid()))
            ++m_encodedVersion;
        return true;
    } catch (const std::bad_alloc&) {
        ++m_encodedVersion; // whatever is on disk, it is not this
        if (failure)
            *failure = SaveFailure(m_path, data_file::Error{ENOMEM});
        return false;
    }
}

bool CBrivantelDoc::HasUnsavedChanges()
{
    // While a write runs its buffers are shared and a grown folder would be encoded whole: the
    // save that follows the write tells.
    if (!CollectBackgroundSave())
        return true;
    if (!EncodeChanges(nullptr))
        return true;
    const bool writing = m_background.valid() && m_backgroundVersion == m_encodedVersion;
    return !IsOnDisk() && !writing;
}

std::string CBrivantelDoc::ChooseSavePath()
{
    const data_file::State state = data_file::Inspect(m_path);
    if (state == data_file::State::Writable)
        return m_path;
    // A read-only or vanished data file: the user picks where to save.
    return m_ui.ChooseSaveFile(m_path);
}

bool CBrivantelDoc::WriteNow(const std::string& target, std::string* failure)
{
    if (!EncodeChanges(failure))
        return false;
    const WriteResult result = WriteOut(target, m_encoded.Pieces());
    if (!result.written) {
        if (failure)
            *failure = SaveFailure(target, result.error);
        return false;
    }
    m_onDiskVersion = m_encodedVersion;
    FollowSavedFile(target);
    return true;
}

void CBrivantelDoc::FollowSavedFile(const std::string& target)
{
    // The save replaced the file by a new one: the lock goes with it.
    if (target == m_path)
        m_lock.Follow(target);
}

bool CBrivantelDoc::SaveDataFile(bool mayAsk)
{
    WaitForBackgroundSave();
    if (m_damaged && m_damagedCopyPath.empty())
        return false;
    std::string target;
    if (mayAsk)
        target = ChooseSavePath();
    else if (data_file::Inspect(m_path) != data_file::State::ReadOnly)
        target = m_path; // a vanished file is written again where it was
    if (target.empty())
        return false;
    if (m_settings.GetEmptyDeletedFolder() && m_deleted.GetCount() > 0)
        m_deleted.DeleteAllMessages();
    std::string failure;
    if (!WriteNow(target, &failure)) {
        if (mayAsk)
            m_ui.ShowMessage(failure, CUserInterface::Icon::Error);
        else
            m_quietSaveError = failure;
        return false;
    }
    m_path = target;
    return true;
}

bool CBrivantelDoc::SaveQuietly()
{
    WaitForBackgroundSave();
    if (m_path.empty() || (m_damaged && m_damagedCopyPath.empty()))
        return false;
    const data_file::State state = data_file::Inspect(m_path);
    if (state != data_file::State::Writable && state != data_file::State::Missing)
        return false; // the end of the run offers "save as"
    return WriteNow(m_path, &m_quietSaveError);
}

bool CBrivantelDoc::SaveInBackground()
{
    WaitForBackgroundSave();
    if (m_path.empty() || (m_damaged && m_damagedCopyPath.empty()))
        return false;
    const data_file::State state = data_file::Inspect(m_path);
    if (state != data_file::State::Writable && state != data_file::State::Missing) {
        NoteUnwritable();
        return false;
    }
    if (!EncodeChanges(&m_quietSaveError))
        return false;
    // The file may have gone since the last save: a missing file is written again.
    if (IsOnDisk() && state != data_file::State::Missing)
        return true;
    m_backgroundVersion = m_encodedVersion;
    // The worker gets the pieces (shared, never changed once made) and the path; the document is
    // not touched there.
    m_background = std::async(std::launch::async, [path = m_path, pieces = m_encoded.Pieces()]() {
        BackgroundResult background;
        const WriteResult result = WriteOut(path, pieces);
        background.written = result.written;
        if (!result.written)
            background.failure = SaveFailure(path, result.error);
        return background;
    });
    return true;
}

void CBrivantelDoc::NoteUnwritable()
{
    // The file became read-only during the run: saving as you go cannot go on, and the user is told
    // (the end of the run offers "save as").
    data_file::Error error;
    error.code = ::access(m_path.c_str(), W_OK) != 0 ? errno : EACCES;
    m_quietSaveError = SaveFailure(m_path, error);
}

void CBrivantelDoc::WaitForBackgroundSave()
{
    if (!m_background.valid())
        return;
    const BackgroundResult result = m_background.get();
    if (!result.written) {
        m_quietSaveError = result.failure;
        return;
    }
    m_onDiskVersion = m_backgroundVersion;
    FollowSavedFile(m_path);
}

bool CBrivantelDoc::CollectBackgroundSave()
{
    if (m_background.valid() && m_background.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return false;
    WaitForBackgroundSave();
    return true;
}

void CBrivantelDoc::PaintWhileWriting()
{
    while (m_background.valid() &&
           m_background.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready)
        m_ui.WaitHook();
    WaitForBackgroundSave();
}

bool CBrivantelDoc::SaveAndWaitOnDisk()
{
    // A write under way may hold older bytes: it ends first.
    PaintWhileWriting();
    if (!SaveInBackground())
        return false;
    PaintWhileWriting();
    return IsOnDisk();
}

std::string CBrivantelDoc::TakeQuietSaveError()
{
    return std::exchange(m_quietSaveError, std::string());
}

void CBrivantelDoc::WriteAhead()
{
    SaveAndWaitOnDisk();
}
