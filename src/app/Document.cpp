#include "app/Document.h"

#include <cerrno>
#include <new>

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

CBrivantelDoc::~CBrivantelDoc() = default;

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
    try {
        Serialize(ar);
    } catch (const CArchiveException&) {
        return false;
    } catch (const std::bad_alloc&) {
        // A file that asks for more memory than there is is damaged as well: what was read stays.
        return false;
    }
    // Bytes after the last record would be lost at the next save: that is damage too.
    return ar.Remaining() == 0;
}

std::vector<std::uint8_t> CBrivantelDoc::Store()
{
    std::vector<std::uint8_t> bytes;
    CArchive ar(bytes, CArchive::Mode::Store);
    Serialize(ar);
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

bool CBrivantelDoc::TakeForWriting(const std::string& path)
{
    switch (m_lock.Acquire(path)) {
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
    switch (data_file::Prepare(path, error)) {
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

void CBrivantelDoc::KeepDamagedOriginal(const std::vector<std::uint8_t>& original)
{
    data_file::Error error;
    const auto copy = data_file::KeepDamagedCopy(m_path, original, error);
    if (copy) {
        m_damagedCopyPath = *copy;
        m_ui.ShowMessage(Polish("Plik danych ") + Quoted(m_path) +
                             Polish(" jest uszkodzony. Wczytano wszystko, co dało się odczytać.\n"
                                    "Kopię oryginalnego pliku zachowano jako ") +
                             Quoted(*copy) + ".",
                         CUserInterface::Icon::Exclamation);
        return;
    }
    // Without a copy the next save would lose the unread part for good, so saving is refused.
    m_ui.ShowMessage(Polish("Plik danych ") + Quoted(m_path) +
                         Polish(" jest uszkodzony, a jego kopii nie udało się zachować.\n") + error.Describe() +
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

bool CBrivantelDoc::SaveDataFile()
{
    if (m_damaged && m_damagedCopyPath.empty())
        return false;
    const std::string target = ChooseSavePath();
    if (target.empty())
        return false;
    if (m_settings.GetEmptyDeletedFolder())
        m_deleted.DeleteAllMessages();
    const std::vector<std::uint8_t> bytes = Store();
    data_file::Error error;
    if (!data_file::WriteAtomically(target, bytes, error)) {
        m_ui.ShowMessage(Polish("Nie udało się zapisać pliku danych ") + Quoted(target) + ".\n" + error.Describe() +
                             Polish("\nPoprzednia zawartość pliku pozostała nienaruszona."),
                         CUserInterface::Icon::Error);
        return false;
    }
    m_path = target;
    return true;
}

bool CBrivantelDoc::CanClose()
{
    return m_ui.AskYesNo(Polish("Czy na pewno chcesz zakończyć pracę z programem?"));
}

bool CBrivantelDoc::DiscardMessage(std::unique_ptr<CMessage> message)
{
    if (!message)
        return true;
    if (m_settings.GetMoveDeletedMessages())
        m_deleted.AddMessage(message);
    return true; // a message the deleted folder did not take is destroyed here
}
