#include "app/Document.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <functional>
#include <new>
#include <string_view>
#include <thread>
#include <unistd.h>
#include <utility>

#include "app/DataFile.h"
#include "app/SettingsStore.h"
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
    // Paths are shown as they are; a path the code page cannot show gets "?" for those letters.
    return Polish("„") + windows1250::FromUtf8Lossy(path) + Polish("”");
}

} // namespace

CBrivantelDoc::CBrivantelDoc(CUserInterface& ui, CSettingsStore& settings) : m_ui(ui), m_settingsStore(settings) {}

CBrivantelDoc::~CBrivantelDoc()
{
    // A write in flight finishes before the lock goes.
    WaitForBackgroundSave();
}

void CBrivantelDoc::AddListener(CDocumentListener& listener)
{
    m_listeners.push_back(&listener);
}

void CBrivantelDoc::RemoveListener(CDocumentListener& listener)
{
    m_listeners.erase(std::remove(m_listeners.begin(), m_listeners.end(), &listener), m_listeners.end());
}

void CBrivantelDoc::NotifyChanged(DocChange change)
{
    Announce(change);
}

void CBrivantelDoc::Announce(DocChange change)
{
    ++m_changes;
    // A listener told earlier may remove another (a view that closes): each is asked only while
    // it is still registered.
    const std::vector<CDocumentListener*> listeners = m_listeners;
    for (CDocumentListener* listener : listeners) {
        if (std::find(m_listeners.begin(), m_listeners.end(), listener) != m_listeners.end())
            listener->OnDocumentChanged(change);
    }
}

void CBrivantelDoc::Serialize(CArchive& ar)
{
    m_addressBookView.Serialize(ar);
    m_addressBook.Serialize(ar);
    m_settings.Serialize(ar);
    m_composeView.Serialize(ar);
    m_definedMessages.Serialize(ar);
    m_drafts.Serialize(ar);
    m_draftsView.Serialize(ar);
    m_deleted.Serialize(ar);
    m_deletedView.Serialize(ar);
    m_mailChecker.Serialize(ar);
    m_sent.Serialize(ar);
    m_sentView.Serialize(ar);
    m_outbox.Serialize(ar);
    m_outboxView.Serialize(ar);
}

bool CBrivantelDoc::Load(std::vector<std::uint8_t> bytes)
{
    return LoadShared(std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes)), true);
}

bool CBrivantelDoc::LoadShared(const std::shared_ptr<const std::vector<std::uint8_t>>& bytes, bool keepBytes,
                               bool lazy)
{
    m_encoded.Forget();
    m_onDiskVersion.reset();
    if (bytes->empty())
        return true; // a new, empty data file: every record keeps its defaults
    // Reading never writes to the bytes.
    CArchive ar(const_cast<std::vector<std::uint8_t>&>(*bytes), CArchive::Mode::Load);
    const auto damaged = [this](const std::string& reason, std::size_t position) {
        m_damageReason = "Przyczyna: " + reason + " (bajt " + std::to_string(position) + ").\n";
        return false;
    };
    // Where each record read lies in the bytes, with the numbering around it: a record read in
    // the form storing writes need not be encoded again until it changes.
    struct Stretch
    {
        std::size_t begin = 0;
        std::size_t end = 0;
        CArchiveIndexState entry;
        CArchiveIndexState exit;
        bool asWritten = false;
    };
    std::vector<Stretch> stretches;
    const auto adopt = [&] {
        if (!keepBytes)
            return;
        const std::vector<CEncodedRecords::Record> records = Records();
        for (std::size_t i = 0; i < stretches.size(); ++i) {
            const Stretch& read = stretches[i];
            if (read.asWritten)
                m_encoded.Adopt(i, bytes, read.begin, read.end, read.entry, read.exit, records[i]);
        }
    };
    try {
        const std::vector<CEncodedRecords::Record> records = Records();
        for (const CEncodedRecords::Record& record : records) {
            Stretch read{ar.Position(), 0, ar.GetIndexState(), {}, false};
            ar.RestartAsWrittenCheck();
            bool kept = false;
            if (lazy && record.folder) {
                const CArchive::Mark mark = ar.GetMark();
                try {
                    kept = record.folder->LoadLater(ar, bytes);
                } catch (const CArchiveException&) {
                    // Read in full, the folder meets the same damage and keeps the messages before it.
                    ar.Rewind(mark);
                }
            }
            if (!kept)
                record.serialize(ar);
            read.end = ar.Position();
            read.exit = ar.GetIndexState();
            read.asWritten = ar.ReadAsWritten();
            stretches.push_back(std::move(read));
        }
    } catch (const CArchiveException& damage) {
        adopt();
        return damaged(damage.what(), damage.Position());
    } catch (const CArchiveSkippedObject&) {
        // A later record names an object of a folder kept as bytes (no program writes that, but
        // the file is well formed): everything is read again in full. Every record's loading
        // replaces what it held.
        return LoadShared(bytes, keepBytes, false);
    } catch (const std::bad_alloc&) {
        // A file that asks for more memory than there is is damaged as well: what was read stays.
        m_encoded.Forget();
        return damaged(Polish("brak pamięci"), ar.Position());
    }
    adopt();
    // Bytes after the last record would be lost at the next save: that is damage too.
    return ar.Remaining() == 0 || damaged(Polish("dane za ostatnim rekordem"), ar.Position());
}

bool CBrivantelDoc::Open(const std::string& path, Access access)
{
    m_path = path;
    m_readOnly = access == Access::ReadOnly;
    data_file::Error error;
    if (access == Access::ReadWrite) {
        if (!TakeForWriting(path))
            return false;
        OfferRecoveryCopy(path);
    }
    auto bytes = data_file::ReadAll(path, error);
    if (!bytes) {
        if (access == Access::ReadOnly && error.code == ENOENT)
            return true; // nothing written yet: a reader sees the defaults
        m_ui.ShowMessage(Polish("Nie można odczytać pliku danych ") + Quoted(path) + ".\n" + error.Describe(),
                         CUserInterface::Icon::Error);
        m_lock.Release();
        return false;
    }
    // One copy of the file's bytes: read, decoded from, kept aside when damaged, and (for a
    // writer) kept as the encoding of every record that has not changed since.
    const auto shared = std::make_shared<const std::vector<std::uint8_t>>(std::move(*bytes));
    bytes.reset();
    const bool writer = access == Access::ReadWrite;
    try {
        m_damaged = !LoadShared(shared, writer);
    } catch (const std::bad_alloc&) {
        m_damaged = true;
    }
    if (m_damaged && writer)
        KeepDamagedOriginal(*shared);
    if (writer && !m_damaged && !shared->empty()) {
        // What is on disk now: saving as you go writes nothing until the document differs from it.
        const std::uint64_t before = m_encodedVersion;
        EncodeChanges(nullptr);
        if (m_encodedVersion == before)
            m_onDiskVersion = m_encodedVersion;
    }
    return true;
}

CDataFileLock::Result CBrivantelDoc::AcquireLock(const std::string& path)
{
    CDataFileLock::Result result = m_lock.Acquire(path, m_lockHolder);
    const auto deadline = std::chrono::steady_clock::now() + m_lockWait;
    bool told = false;
    // Scripts run writers back to back: another command holds the file only for a moment.
    while (result == CDataFileLock::Result::HeldByAnother && std::chrono::steady_clock::now() < deadline) {
        const auto holder = CDataFileLock::HolderOf(path);
        if (!holder || holder->holder != CDataFileLock::Holder::CommandLine)
            return result; // the desktop program holds it for its whole run
        if (!told) {
            const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(m_lockWait).count();
            m_ui.ShowMessage(
                Polish("Plik danych ") + Quoted(path) + Polish(" jest używany przez brivantel-cli (PID ") +
                    std::to_string(holder->pid) + Polish("); czekam na jego zwolnienie najwyżej ") +
                    std::to_string(seconds) + " s.",
                CUserInterface::Icon::Information);
            told = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        result = m_lock.Acquire(path, m_lockHolder);
    }
    return result;
}

bool CBrivantelDoc::TakeForWriting(const std::string& path)
{
    switch (AcquireLock(path)) {
    case CDataFileLock::Result::Acquired:
        break;
    case CDataFileLock::Result::HeldByAnother:
        m_ui.ShowMessage(Polish("Plik danych ") + Quoted(path) +
                             Polish(" jest używany przez inny program Brivantel.\n"
                                    "Zamknij tamten program i spróbuj ponownie."),
                         CUserInterface::Icon::Error);
        return false;
    case CDataFileLock::Result::Failed: {
        const data_file::Error reason{m_lock.GetErrorCode()};
        m_ui.ShowMessage(Polish("Nie można zablokować pliku danych ") + Quoted(path) + ".\n" + reason.Describe(),
                         CUserInterface::Icon::Error);
        return false;
    }
    }
    // Under the lock no other save is under way: what earlier saves left half-done can go.
    data_file::RemoveLeftoverTemporaries(path);

    data_file::Error error;
    const data_file::Preparation preparation = data_file::Prepare(path, error);
    // A file made just now gets its own lock.
    m_lock.Follow(path);
    switch (preparation) {
    case data_file::Preparation::Writable:
        return true;
    case data_file::Preparation::ReadOnly:
        // The program still runs; the save at the end asks where to write (as for any read-only file).
        m_readOnly = true;
        m_ui.ShowMessage(Polish("Plik danych ") + Quoted(path) + Polish(" jest tylko do odczytu.\n") +
                             error.Describe() +
                             Polish("\nProgram działa dalej; przy zapisie zapyta, w jakim pliku zapisać dane."),
                         CUserInterface::Icon::Exclamation);
        return true;
    case data_file::Preparation::CreateFailed:
        m_ui.ShowMessage(Polish("Nie można utworzyć pliku danych ") + Quoted(path) + ".\n" + error.Describe(),
                         CUserInterface::Icon::Error);
        break;
    case data_file::Preparation::Failed:
        m_ui.ShowMessage(Polish("Nie można otworzyć pliku danych ") + Quoted(path) + ".\n" + error.Describe(),
                         CUserInterface::Icon::Error);
        break;
    }
    m_lock.Release();
    return false;
}

void CBrivantelDoc::OfferRecoveryCopy(const std::string& path)
{
    const auto copy = data_file::FindRecoveryCopy(path);
    if (!copy)
        return;
    if (!m_ui.AskYesNo(Polish("Poprzedni zapis pliku danych ") + Quoted(path) +
                       Polish(" został przerwany, więc plik może być uszkodzony. Jego zawartość sprzed tego "
                              "zapisu zachowano w kopii ") +
                       Quoted(*copy) + Polish(".\nCzy przywrócić plik danych z tej kopii?")))
        return; // the copy stays where it is
    data_file::Error error;
    if (!data_file::RestoreRecoveryCopy(path, error))
        m_ui.ShowMessage(Polish("Nie udało się przywrócić pliku danych ") + Quoted(path) +
                             Polish(" z kopii ") + Quoted(*copy) + ".\n" + error.Describe(),
                         CUserInterface::Icon::Error);
}

void CBrivantelDoc::KeepDamagedOriginal(const std::vector<std::uint8_t>& original)
{
    data_file::Error error;
    const auto copy = data_file::KeepDamagedCopy(m_path, original, error);
    if (copy) {
        m_damagedCopyPath = *copy;
        m_ui.ShowMessage(Polish("Plik danych ") + Quoted(m_path) +
                             Polish(" jest uszkodzony. Wczytano wszystko, co dało się odczytać.\n") +
                             m_damageReason + Polish("Kopię oryginalnego pliku zachowano jako ") +
                             Quoted(*copy) + ".",
                         CUserInterface::Icon::Exclamation);
        return;
    }
    // Without a copy the next save would lose the unread part for good, so saving is refused.
    m_ui.ShowMessage(Polish("Plik danych ") + Quoted(m_path) +
                         Polish(" jest uszkodzony, a jego kopii nie udało się zachować.\n") + m_damageReason +
                         error.Describe() +
                         Polish("\nZmiany nie zostaną zapisane, aby nie utracić reszty pliku."),
                     CUserInterface::Icon::Error);
}

bool CBrivantelDoc::CanClose()
{
    return m_ui.AskYesNo(Polish("Czy na pewno chcesz zakończyć pracę z programem?"));
}

bool CBrivantelDoc::DiscardMessage(std::unique_ptr<CMessage> message)
{
    if (!message)
        return true;
    if (m_settings.GetMoveDeletedMessages()) {
        m_deleted.AddMessage(message);
        NotifyChanged(DocChange::Deleted);
    }
    return true; // a message the deleted folder did not take is destroyed here
}
