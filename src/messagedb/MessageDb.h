#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

struct sqlite3;

// One received message (or one part of a long one) as a source hands it over. Texts are UTF-8.
struct IncomingMessage
{
    // Names this copy at its source, so that reading it again stores nothing twice: for a phone
    // its id, the storage and the PDU itself.
    std::string source;
    std::string sender; // as received: a number in any form, or a name such as "Orange"
    bool senderIsName = false;
    bool sentKnown = false;
    std::int64_t sentUtc = 0; // the service centre's time stamp
    int zoneMinutes = 0;      // the zone that time stamp gave
    std::int64_t receivedUtc = 0;
    std::string text;
    // A message that could not be read is kept with the reason and its raw form.
    bool readable = true;
    std::string reason;
    std::string raw;
    bool flash = false;
    // A part of a long message: the sender's reference, the count of parts and this one's
    // number (from 1). total 0: a whole message.
    int reference = 0;
    int total = 0;
    int sequence = 0;
    // UTF-16 halves of a character split between this part and its neighbours (0: none): the
    // low half it begins with, the high half it ends with. Not in text.
    int leadingLowSurrogate = 0;
    int trailingHighSurrogate = 0;
    // The source gave up waiting for the rest of it (a modem service that never finished
    // receiving its parts): a whole message, listed at once but not complete.
    bool incomplete = false;
};

struct StoredMessage
{
    std::int64_t id = 0;
    std::string sender;    // normalised: "+48602123456" for every way of writing that number
    std::string senderRaw; // as received
    bool senderIsName = false;
    bool sentKnown = false;
    std::int64_t sentUtc = 0;
    int zoneMinutes = 0;
    std::int64_t receivedUtc = 0;
    std::string text; // a long message with parts missing shows "[brak części N]" in their place
    bool complete = true;
    bool readable = true;
    std::string reason;
    std::string raw;
    bool flash = false;
    bool read = false;
    bool deleted = false;
};

// A message the phone sent with delivery reports asked for, as filed in the sent folder.
struct SentCopy
{
    std::string name;       // the recipient as filed (Windows-1250)
    std::string number;     // the number it went to, in any form
    std::string text;       // as filed (Windows-1250)
    std::int64_t filed = 0; // the time filed with it
    std::int64_t sentUtc = 0;
    std::vector<int> references; // each part's, in order
};

// One SMS-STATUS-REPORT as the phone gave it.
struct StatusReport
{
    std::string number; // the recipient the report names
    int reference = 0;
    int status = 0; // TP-ST
    std::int64_t dischargeUtc = 0;
    std::int64_t receivedUtc = 0; // when it reached us: it must be within a week of the send
};

enum class Delivery
{
    None,      // no report was asked for
    Pending,   // asked for; not every part is reported delivered yet
    Delivered, // every part delivered
    Failed     // a part the network gave up on
};

struct DeliveryState
{
    Delivery state = Delivery::None;
    std::int64_t at = 0; // Delivered: when the last part arrived
};

// The state of one filed copy, for a folder that shows many at once.
struct FiledDelivery
{
    std::string name; // as filed (Windows-1250)
    std::string text; // as filed (Windows-1250)
    std::int64_t filed = 0;
    DeliveryState state;
};

// One sender's received messages in brief, for a list of conversations.
struct SenderSummary
{
    std::string sender;    // normalised, as StoredMessage::sender
    std::int64_t last = 0; // the newest message's time (sent when known, else received)
    int unread = 0;
};

// What a thread needs of a received message before its text is shown.
struct MessageHead
{
    std::int64_t id = 0;
    std::int64_t time = 0; // sent when known, else received
    bool read = false;
    int chars = 0; // the text's characters and lines
    int lines = 1;
};

struct ListOptions
{
    bool unreadOnly = false;
    bool withDeleted = false;
    // A window of the list, for a view that shows a screenful of a large inbox first.
    std::int64_t offset = 0;
    std::int64_t limit = -1; // -1: to the end
};

// The outcome of one import, committed as a whole or not at all.
struct ImportResult
{
    bool ok = false;
    std::string reason; // Polish, UTF-8, when !ok
    int added = 0;      // copies that were new
    int duplicates = 0; // copies already stored
    // Messages that became visible by this import: new whole messages and long ones now complete.
    std::vector<std::int64_t> shown;
};

// The received messages, in an SQLite database "Brivantel.db" beside the data file. The data file
// never holds them: its layout is fixed, and Windows-1250 could not hold what people send.
//
// Parts of a long message are stored as they come and joined by sender, reference and count; a
// message missing parts is listed after a day, with a placeholder for each missing part, and a
// late part completes it.
class CMessageDb
{
public:
    static constexpr const char* kFileName = "Brivantel.db";
    // How long a long message waits for its parts before it is listed without them.
    static constexpr std::int64_t kPartWait = 24 * 3600;

    struct OpenResult
    {
        bool ok = false;
        // What the user must be told (Polish, UTF-8): why it failed, or that a damaged or
        // foreign file was set aside (ok is true then).
        std::string message;
        std::string setAside; // where that file went
    };

    CMessageDb();
    ~CMessageDb();
    CMessageDb(const CMessageDb&) = delete;
    CMessageDb& operator=(const CMessageDb&) = delete;

    // Opens or creates the database in the folder and brings its schema up to date. A file that
    // is damaged or belongs to another program is renamed aside (with the date and time) and a
    // new one is made; a file held by another program fails after the busy time-out.
    OpenResult Open(const std::string& folder,
                    std::chrono::milliseconds busyTimeout = std::chrono::seconds(5));
    bool IsOpen() const { return m_db != nullptr; }
    void Close();

    // Stores the copies in one transaction; a copy already stored (same source) is counted and
    // skipped. On failure nothing of it is stored.
    ImportResult Import(const std::vector<IncomingMessage>& messages);

    // The messages in the order they were sent; long ones still waiting for parts (less than a
    // day) are left out. now: seconds since 1970.
    std::vector<StoredMessage> List(const ListOptions& options, std::int64_t now) const;
    // The one message, however it stands; id 0 when there is none.
    StoredMessage Find(std::int64_t id) const;
    int UnreadCount(std::int64_t now) const;
    // Each sender of messages List would give, with the newest one's time and the unread count,
    // read from an index of senders: a list of conversations opens without reading every message.
    std::vector<SenderSummary> Senders(std::int64_t now) const;
    // One sender's messages as List gives them (in the order they were sent), without texts.
    std::vector<MessageHead> SenderHeads(const std::string& sender, std::int64_t now) const;
    // The id of the sender's newest message; 0 when there is none.
    std::int64_t LastOfSender(const std::string& sender, std::int64_t now) const;
    // Marks every listed message of the sender read, in one transaction.
    bool SetSenderRead(const std::string& sender, std::int64_t now);
    // How many messages List would give without a window (a view sizes its list by it).
    std::int64_t Count(const ListOptions& options, std::int64_t now) const;

    bool SetRead(std::int64_t id, bool read);
    // Moves the message to the deleted state; it stays in the database.
    bool Delete(std::int64_t id);

    // Keeps the parts' references of a message sent with reports asked for.
    bool RecordSent(const SentCopy& copy);
    // Applies the reports in one transaction: each to the part sent to its number (however
    // written) with its reference, the newest such part sent within the week before the report
    // came. A report that matches nothing changes nothing. matched counts those that did.
    // False, with nothing applied, when the database refused.
    bool ApplyReports(const std::vector<StatusReport>& reports, int* matched = nullptr);
    // The state of a filed copy: of its one number's parts when a number is given, else of all.
    DeliveryState DeliveryOf(const std::string& name, const std::string& text, std::int64_t filed,
                             const std::string& number = {}) const;
    // Every filed copy that asked for reports, each with the state DeliveryOf gives it without a
    // number: one read for a whole folder instead of one per message.
    std::vector<FiledDelivery> AllDeliveries() const;
    // How long after a send its reports are taken.
    static constexpr std::int64_t kReportWindow = 7 * 24 * 3600;

    // When the source's message under this key was first seen waiting (it is recorded now when it
    // was not yet), so that a wait counted in days survives a restart; now when the database
    // cannot say.
    std::int64_t FirstSeen(const std::string& key, std::int64_t now);
    // The wait under this key is over (the message was imported).
    void ForgetFirstSeen(const std::string& key);

    // The schema version of an open database (PRAGMA user_version).
    int SchemaVersion() const;
    // The last failure's reason (English, from SQLite, or Polish from here).
    const std::string& LastError() const { return m_error; }

    // "+48602123456" for "+48 602 123 456", "602123456", "0048602123456"; another country's
    // number as "+" and its digits; anything else (a name, a short code) as given.
    static std::string NormaliseNumber(const std::string& number);

private:
    bool Exec(const char* sql);
    bool Migrate();
    bool ImportOne(const IncomingMessage& message, ImportResult& result);
    bool Rejoin(std::int64_t message, bool& completed);

    sqlite3* m_db = nullptr;
    mutable std::string m_error;
};
