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

std::size_t HashOf(const std::vector<std::uint8_t>& bytes)
{
    return std::hash<std::string_view>{}(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
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
    if (change == DocChange::Outbox)
        m_queueChanged = m_changes;
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
    if (bytes.empty())
        return true; // a new, empty data file: every record keeps its defaults
    CArchive ar(bytes, CArchive::Mode::Load);
    const auto damaged = [this](const std::string& reason, std::size_t position) {
        m_damageReason = "Przyczyna: " + reason + " (bajt " + std::to_string(position) + ").\n";
        return false;
    };
    try {
        Serialize(ar);
    } catch (const CArchiveException& damage) {
        return damaged(damage.what(), damage.Position());
    } catch (const std::bad_alloc&) {
        // A file that asks for more memory than there is is damaged as well: what was read stays.
        return damaged(Polish("brak pamięci"), ar.Position());
    }
    // Bytes after the last record would be lost at the next save: that is damage too.
    return ar.Remaining() == 0 || damaged(Polish("dane za ostatnim rekordem"), ar.Position());
}

std::vector<std::uint8_t> CBrivantelDoc::Store()
{
    std::vector<std::uint8_t> bytes;
    // Saving as you go encodes often: room for the last size spares the copies of a growing buffer.
    bytes.reserve(m_lastStoreSize + m_lastStoreSize / 8);
    CArchive ar(bytes, CArchive::Mode::Store);
    Serialize(ar);
    m_lastStoreSize = bytes.size();
    return bytes;
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
    std::vector<std::uint8_t> original;
    // What is on disk now: saving as you go writes nothing until the document differs from it.
    m_savedHash = HashOf(*bytes);
    m_saved = true;
    try {
        if (access == Access::ReadWrite)
            original = *bytes;
        m_damaged = !Load(std::move(*bytes));
    } catch (const std::bad_alloc&) {
        m_damaged = true;
    }
    if (m_damaged && access == Access::ReadWrite)
        KeepDamagedOriginal(original);
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

std::string CBrivantelDoc::ChooseSavePath()
{
    const data_file::State state = data_file::Inspect(m_path);
    if (state == data_file::State::Writable)
        return m_path;
    // A read-only or vanished data file: the user picks where to save.
    return m_ui.ChooseSaveFile(m_path);
}

bool CBrivantelDoc::WriteNow(const std::string& target, std::vector<std::uint8_t> bytes, std::string* failure)
{
    const std::uint64_t changes = m_changes;
    const std::size_t hash = HashOf(bytes);
    data_file::Error error;
    if (!data_file::WriteAtomically(target, bytes, error)) {
        if (failure)
            *failure = SaveFailure(target, error);
        return false;
    }
    m_savedChanges = std::max(m_savedChanges, changes);
    m_savedHash = hash;
    m_saved = true;
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
    if (m_settings.GetEmptyDeletedFolder())
        m_deleted.DeleteAllMessages();
    std::string failure;
    if (!WriteNow(target, Store(), &failure)) {
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
    return WriteNow(m_path, Store(), &m_quietSaveError);
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
    m_backgroundChanges = m_changes;
    // Only the encoding is done here. The worker has its own copy of the bytes and of the path,
    // compares the bytes with the last save and writes only a difference; the document is not
    // touched there.
    m_background = std::async(std::launch::async,
                              [path = m_path, bytes = Store(), saved = m_saved, savedHash = m_savedHash] {
                                  BackgroundResult result;
                                  result.hash = HashOf(bytes);
                                  if (saved && result.hash == savedHash) {
                                      result.written = true;
                                      return result;
                                  }
                                  data_file::Error error;
                                  result.written = data_file::WriteAtomically(path, bytes, error);
                                  if (!result.written)
                                      result.failure = SaveFailure(path, error);
                                  return result;
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
    m_savedChanges = std::max(m_savedChanges, m_backgroundChanges);
    m_savedHash = result.hash;
    m_saved = true;
    FollowSavedFile(m_path);
}

bool CBrivantelDoc::CollectBackgroundSave()
{
    if (m_background.valid() && m_background.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return false;
    WaitForBackgroundSave();
    return true;
}

std::string CBrivantelDoc::TakeQuietSaveError()
{
    return std::exchange(m_quietSaveError, std::string());
}

void CBrivantelDoc::WriteAhead()
{
    WaitForBackgroundSave();
    if (m_queueChanged > m_savedChanges)
        SaveQuietly();
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
