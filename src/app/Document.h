#pragma once

#include <chrono>
#include <cstdint>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/DataFileLock.h"
#include "app/EncodedRecords.h"
#include "app/SettingsKeys.h"
#include "mailwatch/MailCheckResult.h"
#include "mailwatch/MailCheckerData.h"
#include "mailwatch/Pop3Options.h"
#include "phone/ModemService.h"
#include "send/SendEnvironment.h"
#include "send/Sender.h"
#include "store/AddressBook.h"
#include "store/DefinedMessages.h"
#include "store/MessageList.h"
#include "store/SendMessageViewData.h"
#include "store/SettingsData.h"
#include "store/ViewData.h"

class CArchive;
class CPop3Client;
class CSettingsStore;
class CUserInterface;

// What changed in the document. Each change is announced once, by whoever made it, to the open
// views (they refill) and to the desktop program's saving as you go.
enum class DocChange
{
    Outbox,
    Sent,
    Drafts,
    Deleted,
    AddressBook,
    DefinedMessages,
    Settings,
    MailChecker,
    ViewData // column widths, list modes, the composing view's record
};

class CDocumentListener
{
public:
    virtual ~CDocumentListener() = default;
    virtual void OnDocumentChanged(DocChange change) = 0;
};

// What a reader that goes through the data file once is shown as it is read (ReadThrough).
class CDocumentReader
{
public:
    virtual ~CDocumentReader() = default;
    // The record at index (in file order) has been read, or is left as it was when reading
    // stopped: the document holds it now.
    virtual void RecordRead(std::size_t index) = 0;
    // A message of the folder at index, as soon as it is read; the folder keeps none of them.
    virtual void MessageRead(std::size_t index, const CMessage& message) = 0;
};

// The one document of a run: owns every record of the data file and reads and writes them all as
// one archive. It never shows anything itself; it speaks through CUserInterface.
class CBrivantelDoc : private CSendEnvironment
{
public:
    CBrivantelDoc(CUserInterface& ui, CSettingsStore& settings);
    ~CBrivantelDoc();
    CBrivantelDoc(const CBrivantelDoc&) = delete;
    CBrivantelDoc& operator=(const CBrivantelDoc&) = delete;

    enum class Access { ReadOnly, ReadWrite };
    // Loads the data file. ReadWrite takes the writer's lock, creates a missing file empty and
    // makes the user's own read-only one writable, and keeps a copy of a damaged file before
    // anything can overwrite it. A file that cannot be made writable is opened read-only (the
    // user is told; a save asks where to write). False when the file cannot be read or is held by
    // another writer; the user has been told why.
    bool Open(const std::string& path, Access access);
    // Before Open: whose the writer's lock is, and how long to wait for another command-line
    // writer's lock (zero: refused at once). The desktop program's lock is never waited for.
    void SetLockWait(CDataFileLock::Holder holder, std::chrono::milliseconds wait)
    {
        m_lockHolder = holder;
        m_lockWait = wait;
    }

    // Reads the data file at path a window at a time, never whole, showing reader every folder's
    // messages as they are read instead of keeping them; without a reader the file is only
    // checked. Nothing is locked, written or said to the user. True when the whole file was read
    // so; false for anything else (a file missing or unreadable, damage, a folder that must be
    // read in full), and reader has then been shown every record all the same, as far as it was
    // read: Open is the way to read such a file.
    bool ReadThrough(const std::string& path, CDocumentReader* reader);

    // Reads records from bytes; false when the bytes are damaged (what was read is kept).
    bool Load(std::vector<std::uint8_t> bytes);
    // The bytes of the whole data file as the document would write it now, from one archive over
    // every record.
    std::vector<std::uint8_t> Store();
    // The same bytes as saving puts them together: the records that changed since the last save
    // (or since loading) encoded again, the others as they were. Empty when memory ran out.
    std::vector<std::uint8_t> StoreByRecord();

    // Writes the whole file (atomically); false when it was not written, and the user was told.
    // The save at the program's end: it also empties the deleted folder when the settings say so,
    // and for a file that cannot be written asks where to save. Without mayAsk nothing is shown or
    // asked (the failure is kept for TakeQuietSaveError).
    bool SaveDataFile(bool mayAsk = true);
    // Writes the whole file now without a word to the user; false when it was not written (the
    // file is not writable, or writing failed: see TakeQuietSaveError).
    bool SaveQuietly();
    // Saving as you go: encodes the records that changed here and has a worker thread put the
    // file together and write it. Nothing is encoded for unchanged records and nothing written
    // when the file holds the document already. False when nothing could be started (the file
    // cannot be written now).
    bool SaveInBackground();
    // Saves as SaveInBackground does and waits until the file is on disk, repainting the windows
    // meanwhile (through the wait hook); true when the file holds the document now.
    bool SaveAndWaitOnDisk();
    // Whether the document differs from the file as last written. Cheap when nothing changed: only
    // the small records are encoded to be compared.
    bool HasUnsavedChanges();
    // Waits for a background write to end (every other save does this first).
    void WaitForBackgroundSave();
    // True when no background write runs any more (a finished one's result has been taken in).
    bool CollectBackgroundSave();
    // The reason the last quiet or background save failed, once; empty when none failed.
    std::string TakeQuietSaveError();
    // A send or a mail check is running: saving as you go waits for its end.
    bool IsBusy() const { return m_busy > 0 || m_checking; }

    // Announces a change to every listener. Whoever changes a record calls it once the change is
    // complete.
    void NotifyChanged(DocChange change);
    void AddListener(CDocumentListener& listener);
    void RemoveListener(CDocumentListener& listener);

    // The close question; true when the user allows closing.
    bool CanClose();

    // A message deleted from the outbox, sent or drafts folder: into the deleted folder when the
    // settings say so, destroyed otherwise.
    bool DiscardMessage(std::unique_ptr<CMessage> message);

    const std::string& GetPath() const { return m_path; }
    // Where Brivantel.db lives: beside the data file unless set (DeliveryRecords.cpp).
    std::string GetMessageDbFolder() const;
    void SetMessageDbFolder(std::string folder) { m_messageDbFolder = std::move(folder); }
    bool WasDamaged() const { return m_damaged; }
    // Opened for reading only, or a data file the user cannot write: saving asks where to write.
    bool IsReadOnly() const { return m_readOnly; }
    const std::string& GetDamagedCopyPath() const { return m_damagedCopyPath; }

    CAddressBook& GetAddressBook() { return m_addressBook; }
    CAddressBookViewData& GetAddressBookViewData() { return m_addressBookView; }
    CSettingsData& GetSettings() { return m_settings; }
    CSendMessageViewData& GetSendMessageViewData() { return m_composeView; }
    CDefinedMessages& GetDefinedMessages() { return m_definedMessages; }
    CDraftsList& GetDrafts() { return m_drafts; }
    CDraftsViewData& GetDraftsViewData() { return m_draftsView; }
    CDeletedMessagesList& GetDeletedMessages() { return m_deleted; }
    CDeletedMessagesViewData& GetDeletedMessagesViewData() { return m_deletedView; }
    CMailCheckerData& GetMailCheckerData() { return m_mailChecker; }
    CSender& GetSender() { return m_sender; }
    CSentList& GetSent() { return m_sent; }
    CSentMessagesViewData& GetSentViewData() { return m_sentView; }
    COutboxList& GetOutbox() { return m_outbox; }
    COutboxViewData& GetOutboxViewData() { return m_outboxView; }
    bool IsChecking() const { return m_checking; }

    // One look at the watched mailbox (MailCheck.cpp): the message count found, or 0 when watching
    // is off, the login failed or STAT failed. A changed, nonzero count sends the notice. A check
    // the user asks for ("Sprawdź teraz") runs whether or not the schedule is on.
    int CheckMail(bool onRequest = false);
    const CMailCheckResult& GetLastMailCheck() const { return m_lastMailCheck; }
    // Time-outs and trusted certificates of the mail check's connections.
    CPop3Options& GetMailOptions() { return m_mailOptions; }

    // The user's signature: the programs fill it from the settings store at start.
    const std::string& GetSignature() const { return m_signature; }
    void SetSignature(std::string signature) { m_signature = std::move(signature); }
    // The phone's port for the phone route, held for the run like the signature.
    const std::string& GetPhonePortName() const { return m_phonePort; }
    void SetPhonePortName(std::string port) { m_phonePort = std::move(port); }
    // The system's modem service the phone route may send through; the program owns it.
    void SetModemService(CModemService* service) { m_modemService = service; }
    CModemService* ModemService() { return m_modemService; }
    // For this run only, instead of "Settings"/"PhoneBackend" (the command-line tool's --backend).
    void SetPhoneBackend(std::string backend) { m_phoneBackend = std::move(backend); }

    // How many numbers of a send operation went out and how many were queued or stayed queued.
    struct SendCount
    {
        int sent = 0;
        int failed = 0;
    };
    // Sending (SendOperations.cpp). One text to the ";"-separated numbers, each filed in the sent
    // folder or the outbox; the recipients text only counts the recipients for the progress.
    // route: a route value or ROUTE_CONFIGURED. True when it ran to its end.
    bool SendToRecipients(const std::string& recipients, const std::string& numbers, const std::string& text,
                          int route, SendCount* count = nullptr);
    // Tries every queued message once.
    void SendOutbox(SendCount* count = nullptr);
    // Tries one queued message now, as SendOutbox would; when all its recipients went out it is
    // filed as sent and destroyed, so the caller must not use it after a true result.
    bool SendQueuedMessage(CMessage& message)
    {
        SendCount ignored;
        return SendOutboxMessage(message, ignored);
    }
    // The closing-time question: with messages in the outbox, offers to send them now.
    void OfferToSendOutbox();

    CUserInterface& GetUserInterface() { return m_ui; }
    CSettingsStore& GetSettingsStore() { return m_settingsStore; }

private:
    void Serialize(CArchive& ar);
    // The 14 records in file order, each with what tells whether it changed (DocumentSave.cpp).
    std::vector<CEncodedRecords::Record> Records();
    // lazy: folders are kept as their checked bytes until first used (CMessageList::LoadLater).
    bool LoadShared(const std::shared_ptr<const std::vector<std::uint8_t>>& bytes, bool keepBytes,
                    bool lazy = true);
    // Brings the kept bytes of the records up to date; false (the reason in failure) without memory.
    bool EncodeChanges(std::string* failure);
    bool IsOnDisk() const { return m_onDiskVersion && *m_onDiskVersion == m_encodedVersion; }
    bool WriteNow(const std::string& target, std::string* failure);
    void PaintWhileWriting();
    // Before a message's first byte leaves: the outbox as it is now must be on disk.
    void WriteAhead();
    // Tells the listeners without counting the change as a new queued message (a message that
    // left the outbox needs no write-ahead).
    void Announce(DocChange change);
    void KeepDamagedOriginal(const std::vector<std::uint8_t>& original);
    // An in-place save cut short on an earlier run left the old bytes aside: the user may have them back.
    void OfferRecoveryCopy(const std::string& path);
    // The writer's lock and a file it can use; false (the user told why) when there is none.
    bool TakeForWriting(const std::string& path);
    CDataFileLock::Result AcquireLock(const std::string& path);
    void FollowSavedFile(const std::string& target);
    // Between two numbers of a send: what was confirmed so far goes to disk.
    void SaveConfirmed();
    void NoteUnwritable();
    std::string ChooseSavePath();
    // What the senders read at the moment of sending (SendOperations.cpp).
    const CSettingsData& GetSendSettings() const override { return m_settings; }
    std::string GetSendSignature() const override { return m_signature; }
    std::string GetGatewayHost(GatewayHost gateway) const override
    {
        return settings_keys::GatewayHostOf(m_settingsStore, gateway);
    }
    void SendWaitHook() override;
    std::string GetPhonePort() const override { return m_phonePort; }
    std::string GetPhoneEncoding() const override
    {
        return m_settingsStore.Get(settings_keys::kPhoneEncoding);
    }
    std::string GetPhoneBackend() const override
    {
        return m_phoneBackend.empty() ? m_settingsStore.Get(settings_keys::kPhoneBackend) : m_phoneBackend;
    }
    CModemService* GetModemService() override { return m_modemService; }
    std::optional<std::string> AskPin(const std::string& prompt) override;
    void PinWasWrong() override { m_pinAsked = false; }
    void NoteSendRoute(const std::string& text) override;
    bool GetDeliveryReports() const override
    {
        return m_settingsStore.Get(settings_keys::kDeliveryReports) != 0;
    }
    // Keeps the references of a message the phone sent with reports asked for (DeliveryRecords.cpp).
    void RecordDelivery(const CMessage* filed, const std::string& number, const SendOutcome& outcome);
    OwnGatewaySettings GetOwnGateway() const override { return settings_keys::OwnGatewayOf(m_settingsStore); }
    bool SendOutboxMessage(CMessage& message, SendCount& count);
    // A failed send's reason goes to its message in the outbox (when queued) and to the user.
    void NoteFailure(CMessage* queued, const std::string& number, const std::string& reason);
    int RunMailCheck(CPop3Client& client, const std::string& server, const std::string& user,
                     const std::string& password);
    void SendMailNotice(int count);

    CUserInterface& m_ui;
    CSettingsStore& m_settingsStore;
    std::string m_path;
    CDataFileLock m_lock;
    CDataFileLock::Holder m_lockHolder = CDataFileLock::Holder::Program;
    std::chrono::milliseconds m_lockWait{0};
    bool m_damaged = false;
    bool m_readOnly = false;
    std::string m_damagedCopyPath;
    std::string m_damageReason; // "Przyczyna: ... (bajt N).", a line of the damaged-file message

    // In the order the data file holds them.
    CAddressBook m_addressBook;
    CAddressBookViewData m_addressBookView;
    CSettingsData m_settings;
    CSendMessageViewData m_composeView;
    CDefinedMessages m_definedMessages;
    CDraftsList m_drafts;
    CDraftsViewData m_draftsView;
    CDeletedMessagesList m_deleted;
    CDeletedMessagesViewData m_deletedView;
    CMailCheckerData m_mailChecker;
    CSender m_sender{*this};
    CSentList m_sent;
    CSentMessagesViewData m_sentView;
    COutboxList m_outbox;
    COutboxViewData m_outboxView;
    bool m_checking = false;
    std::string m_signature;
    std::string m_phonePort;
    CModemService* m_modemService = nullptr;
    std::string m_phoneBackend;
    bool m_pinAsked = false; // the user is asked for the SIM's PIN once in a run
    std::string m_messageDbFolder;
    CPop3Options m_mailOptions;
    CMailCheckResult m_lastMailCheck;

    std::vector<CDocumentListener*> m_listeners;
    int m_busy = 0;
    std::uint64_t m_changes = 0;

    // Saving: the records' bytes as last encoded, counted each time they change; which of those
    // the file on disk holds (none known before the first save or after a damaged read).
    CEncodedRecords m_encoded;
    std::uint64_t m_encodedVersion = 0;
    std::optional<std::uint64_t> m_onDiskVersion;
    struct BackgroundResult
    {
        bool written = false;
        std::string failure;
    };
    std::future<BackgroundResult> m_background;
    std::uint64_t m_backgroundVersion = 0;
    std::string m_quietSaveError;
};
