#include "messagedb/MessageDb.h"

#include "contacts/PhoneNumber.h"
#include "store/Windows1250.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <map>
#include <sys/stat.h>

namespace {

// Marks the file as ours ("BRVT"), so a database of another program is told apart.
constexpr int kApplicationId = 0x42525654;

// Each step brings the schema from its number minus one to its number, once, in a transaction.
// Steps are only ever added at the end.
const char* const kMigrations[] = {
    // 1: received messages, their parts, and the sources already imported.
    "PRAGMA application_id = 1112692308;"
    "CREATE TABLE message ("
    "  id INTEGER PRIMARY KEY,"
    "  sender TEXT NOT NULL,"
    "  sender_raw TEXT NOT NULL,"
    "  sender_is_name INTEGER NOT NULL DEFAULT 0,"
    "  sent INTEGER,"
    "  zone INTEGER NOT NULL DEFAULT 0,"
    "  received INTEGER NOT NULL,"
    "  text TEXT NOT NULL,"
    "  reference INTEGER,"
    "  total INTEGER NOT NULL DEFAULT 1,"
    "  present INTEGER NOT NULL DEFAULT 1,"
    "  readable INTEGER NOT NULL DEFAULT 1,"
    "  reason TEXT NOT NULL DEFAULT '',"
    "  raw TEXT NOT NULL DEFAULT '',"
    "  flash INTEGER NOT NULL DEFAULT 0,"
    "  read INTEGER NOT NULL DEFAULT 0,"
    "  deleted INTEGER NOT NULL DEFAULT 0);"
    "CREATE TABLE part ("
    "  message INTEGER NOT NULL REFERENCES message(id),"
    "  sequence INTEGER NOT NULL,"
    "  text TEXT NOT NULL,"
    "  raw TEXT NOT NULL DEFAULT '',"
    "  lead INTEGER NOT NULL DEFAULT 0,"
    "  trail INTEGER NOT NULL DEFAULT 0,"
    "  PRIMARY KEY (message, sequence)) WITHOUT ROWID;"
    "CREATE TABLE source (key TEXT PRIMARY KEY, message INTEGER NOT NULL) WITHOUT ROWID;"
    "CREATE INDEX message_waiting ON message(sender, reference, total) WHERE present < total;"
    "CREATE INDEX message_order ON message(coalesce(sent, received), id);",
    // 2: the parts of messages sent with a delivery report asked for, each with the network's
    // reference and the report's status once one came. A sent message is named by its recipient,
    // text and time as the data file files it; the data file itself stays as it is.
    "CREATE TABLE sent_part ("
    "  name BLOB NOT NULL,"
    "  text BLOB NOT NULL,"
    "  filed INTEGER NOT NULL,"
    "  part INTEGER NOT NULL,"
    "  number TEXT NOT NULL,"
    "  reference INTEGER NOT NULL,"
    "  sent INTEGER NOT NULL,"
    "  status INTEGER,"
    "  discharge INTEGER,"
    "  PRIMARY KEY (name, text, filed, number, part)) WITHOUT ROWID;"
    "CREATE INDEX sent_part_report ON sent_part(number, reference, sent);",
    // 3: when a message a modem service still holds unfinished was first seen, so that giving up
    // on its missing parts after a day counts from then, across restarts.
    "CREATE TABLE first_seen (key TEXT PRIMARY KEY, at INTEGER NOT NULL) WITHOUT ROWID;",
    // 4: the messages by sender and time, so that a list of conversations and one person's thread
    // are read without going through every message.
    "CREATE INDEX IF NOT EXISTS message_sender ON message(sender, coalesce(sent, received), read) WHERE "
    "deleted = 0;",
};
constexpr int kLatestVersion = static_cast<int>(sizeof kMigrations / sizeof kMigrations[0]);
static_assert(kApplicationId == 1112692308);

constexpr std::int64_t kJoinWindow = 7 * 24 * 3600;
constexpr std::int64_t kClockSlack = 3600;

const char* const kBusy =
    "Baza wiadomości Brivantel.db jest zajęta przez inny program; spróbuj ponownie, gdy "
    "tamten ją zwolni.";

// One prepared statement, finalised with the object.
class Statement
{
public:
    Statement(sqlite3* db, const char* sql) { m_rc = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr); }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Prepared() const { return m_rc == SQLITE_OK && m_stmt != nullptr; }
    Statement& Bind(int index, std::int64_t value)
    {
        sqlite3_bind_int64(m_stmt, index, value);
        return *this;
    }
    Statement& Bind(int index, const std::string& value)
    {
        sqlite3_bind_text(m_stmt, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& BindNull(int index)
    {
        sqlite3_bind_null(m_stmt, index);
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int Step()
    {
        if (!Prepared())
            return m_rc == SQLITE_OK ? SQLITE_ERROR : m_rc;
        return sqlite3_step(m_stmt);
    }
    std::int64_t Int(int column) const { return sqlite3_column_int64(m_stmt, column); }
    bool IsNull(int column) const { return sqlite3_column_type(m_stmt, column) == SQLITE_NULL; }
    std::string Text(int column) const
    {
        const auto* text = sqlite3_column_text(m_stmt, column);
        return text ? std::string(reinterpret_cast<const char*>(text),
                                  static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, column)))
                    : std::string();
    }

private:
    sqlite3_stmt* m_stmt = nullptr;
    int m_rc = SQLITE_OK;
};

bool IsDamage(int rc)
{
    rc &= 0xFF;
    return rc == SQLITE_CORRUPT || rc == SQLITE_NOTADB;
}

bool IsBusy(int rc)
{
    rc &= 0xFF;
    return rc == SQLITE_BUSY || rc == SQLITE_LOCKED;
}

bool Exists(const std::string& path)
{
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) == 0;
}

bool IsEmptyFile(const std::string& path)
{
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) != 0 || st.st_size == 0;
}

// "Brivantel-odlozona-20261208-220102.db", with "-2" and so on when that name is taken.
std::string SetAsideName(const std::string& folder)
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::string name = std::string("Brivantel-odlozona-") + stamp;
    for (int n = 2; Exists(folder + "/" + name + ".db"); ++n)
        name = std::string("Brivantel-odlozona-") + stamp + "-" + std::to_string(n);
    return name + ".db";
}

enum class Verdict
{
    Good,
    New,
    SetAside,
    Busy,
    TooNew,
    Failed
};

const StoredMessage kNone{};

constexpr const char* kColumns = "id, sender, sender_raw, sender_is_name, sent, zone, received, text, total, "
                                 "present, readable, reason, raw, flash, read, deleted";

StoredMessage RowToMessage(const Statement& row)
{
    StoredMessage m;
    m.id = row.Int(0);
    m.sender = row.Text(1);
    m.senderRaw = row.Text(2);
    m.senderIsName = row.Int(3) != 0;
    m.sentKnown = !row.IsNull(4);
    m.sentUtc = row.Int(4);
    m.zoneMinutes = static_cast<int>(row.Int(5));
    m.receivedUtc = row.Int(6);
    m.text = row.Text(7);
    m.complete = row.Int(9) >= row.Int(8);
    m.readable = row.Int(10) != 0;
    m.reason = row.Text(11);
    m.raw = row.Text(12);
    m.flash = row.Int(13) != 0;
    m.read = row.Int(14) != 0;
    m.deleted = row.Int(15) != 0;
    return m;
}

} // namespace

CMessageDb::CMessageDb() = default;

CMessageDb::~CMessageDb()
{
    Close();
}

void CMessageDb::Close()
{
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

bool CMessageDb::Exec(const char* sql)
{
    char* message = nullptr;
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        m_error = message ? message : sqlite3_errstr(rc);
        sqlite3_free(message);
        return false;
    }
    return true;
}

CMessageDb::OpenResult CMessageDb::Open(const std::string& folder, std::chrono::milliseconds busyTimeout)
{
    Close();
    OpenResult result;
    const std::string path = folder + "/" + kFileName;
    const bool fresh = IsEmptyFile(path);

    auto inspect = [&]() -> Verdict {
        if (sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
            SQLITE_OK) {
            m_error = m_db ? sqlite3_errmsg(m_db) : "out of memory";
            return Verdict::Failed;
        }
        sqlite3_extended_result_codes(m_db, 1);
        sqlite3_busy_timeout(m_db, static_cast<int>(busyTimeout.count()));
        // Only the messages' owner writes this file.
        ::chmod(path.c_str(), 0600);
        int applicationId = 0;
        int version = 0;
        int tables = 0;
        {
            Statement q(m_db, "SELECT (SELECT application_id FROM pragma_application_id), "
                              "(SELECT user_version FROM pragma_user_version), "
                              "(SELECT count(*) FROM sqlite_schema)");
            const int rc = q.Step();
            if (rc != SQLITE_ROW) {
                m_error = sqlite3_errmsg(m_db);
                return IsBusy(rc) ? Verdict::Busy : IsDamage(rc) ? Verdict::SetAside : Verdict::Failed;
            }
            applicationId = static_cast<int>(q.Int(0));
            version = static_cast<int>(q.Int(1));
            tables = static_cast<int>(q.Int(2));
        }
        if (applicationId != kApplicationId)
            return (tables == 0 && version == 0) ? Verdict::New : Verdict::SetAside;
        if (version > kLatestVersion)
            return Verdict::TooNew;
        Statement check(m_db, "PRAGMA quick_check");
        const int rc = check.Step();
        if (rc != SQLITE_ROW) {
            m_error = sqlite3_errmsg(m_db);
            return IsBusy(rc) ? Verdict::Busy : IsDamage(rc) ? Verdict::SetAside : Verdict::Failed;
        }
        return check.Text(0) == "ok" ? Verdict::Good : Verdict::SetAside;
    };

    Verdict verdict = inspect();
    if (verdict == Verdict::SetAside && !fresh) {
        Close();
        const std::string name = SetAsideName(folder);
        if (std::rename(path.c_str(), (folder + "/" + name).c_str()) != 0) {
            result.message =
                "Baza wiadomości Brivantel.db jest uszkodzona albo należy do innego programu, a nie "
                "udało się jej odłożyć na bok.";
            return result;
        }
        // The journal files belong to the file set aside; left here they would be read into
        // the new one.
        for (const char* suffix : {"-wal", "-shm", "-journal"})
            std::rename((path + suffix).c_str(), (folder + "/" + name + suffix).c_str());
        result.setAside = folder + "/" + name;
        result.message = "Baza wiadomości Brivantel.db była uszkodzona albo należała do innego programu. "
                         "Odłożono ją jako " +
                         name + " i założono nową.";
        verdict = inspect();
    }
    switch (verdict) {
    case Verdict::Good:
    case Verdict::New:
        break;
    case Verdict::Busy:
        Close();
        result.message = kBusy;
        return result;
    case Verdict::TooNew:
        Close();
        result.message = "Baza wiadomości Brivantel.db pochodzi z nowszej wersji programu; ta wersja jej nie "
                         "zmienia.";
        return result;
    default:
        Close();
        result.message = "Nie można otworzyć bazy wiadomości Brivantel.db: " + m_error;
        return result;
    }
    // WAL: a reader never waits for the writer, and a commit survives a crash.
    {
        Statement wal(m_db, "PRAGMA journal_mode = WAL");
        const int rc = wal.Step();
        if (rc != SQLITE_ROW || wal.Text(0) != "wal") {
            m_error = sqlite3_errmsg(m_db);
            Close();
            result.message =
                IsBusy(rc) ? kBusy : "Nie można otworzyć bazy wiadomości Brivantel.db: " + m_error;
            return result;
        }
    }
    if (!Exec("PRAGMA synchronous = NORMAL; PRAGMA foreign_keys = ON") || !Migrate()) {
        const bool busy = IsBusy(sqlite3_errcode(m_db));
        Close();
        result.message = busy ? kBusy : "Nie można przygotować bazy wiadomości Brivantel.db: " + m_error;
        return result;
    }
    result.ok = true;
    return result;
}

int CMessageDb::SchemaVersion() const
{
    if (!m_db)
        return -1;
    Statement q(m_db, "PRAGMA user_version");
    return q.Step() == SQLITE_ROW ? static_cast<int>(q.Int(0)) : -1;
}

bool CMessageDb::Migrate()
{
    for (int version = SchemaVersion(); version < kLatestVersion; ++version) {
        if (version < 0 || !Exec("BEGIN IMMEDIATE"))
            return false;
        const std::string bump = "PRAGMA user_version = " + std::to_string(version + 1);
        // Another program may have run this step meanwhile: the version is read again inside the
        // transaction, which keeps everyone else out.
        if (SchemaVersion() != version) {
            Exec("ROLLBACK");
            version = SchemaVersion() - 1;
            continue;
        }
        if (!Exec(kMigrations[version]) || !Exec(bump.c_str()) || !Exec("COMMIT")) {
            const std::string error = m_error;
            Exec("ROLLBACK");
            m_error = error;
            return false;
        }
    }
    return true;
}

std::string CMessageDb::NormaliseNumber(const std::string& number)
{
    const contacts::ParsedNumber parsed = contacts::ParsePhoneNumber(number);
    if (parsed.kind == contacts::NumberKind::Mobile || parsed.kind == contacts::NumberKind::Foreign)
        return parsed.parts.countryPrefix + parsed.parts.operatorCode + parsed.parts.subscriberNumber;
    // A Polish landline or a service number: the same forms as a mobile one, without the split.
    std::string digits;
    bool plus = false;
    for (char c : number) {
        if (c >= '0' && c <= '9')
            digits += c;
        else if (c == '+' && digits.empty())
            plus = true;
        else if (c != ' ' && c != '-' && c != '(' && c != ')')
            return number;
    }
    if (digits.empty())
        return number;
    if (!plus && digits.size() > 2 && digits.compare(0, 2, "00") == 0)
        return "+" + digits.substr(2);
    if (!plus && digits.size() == 9)
        return "+48" + digits;
    return (plus ? "+" : "") + digits;
}

ImportResult CMessageDb::Import(const std::vector<IncomingMessage>& messages)
{
    ImportResult result;
    if (!m_db) {
        result.reason = "Baza wiadomości nie jest otwarta.";
        return result;
    }
    if (!Exec("BEGIN IMMEDIATE")) {
        result.reason =
            IsBusy(sqlite3_errcode(m_db)) ? kBusy : "Nie można zapisać wiadomości w bazie: " + m_error;
        return result;
    }
    for (const auto& message : messages) {
        if (!ImportOne(message, result)) {
            const bool busy = IsBusy(sqlite3_errcode(m_db));
            const std::string error = m_error;
            Exec("ROLLBACK");
            result = ImportResult{};
            result.reason = busy ? kBusy : "Nie można zapisać wiadomości w bazie: " + error;
            return result;
        }
    }
    if (!Exec("COMMIT")) {
        const bool busy = IsBusy(sqlite3_errcode(m_db));
        const std::string error = m_error;
        Exec("ROLLBACK");
        result = ImportResult{};
        result.reason = busy ? kBusy : "Nie można zapisać wiadomości w bazie: " + error;
        return result;
    }
    result.ok = true;
    return result;
}

bool CMessageDb::ImportOne(const IncomingMessage& in, ImportResult& result)
{
    auto fail = [this]() {
        m_error = sqlite3_errmsg(m_db);
        return false;
    };
    {
        Statement seen(m_db, "INSERT OR IGNORE INTO source(key, message) VALUES (?, 0)");
        if (seen.Bind(1, in.source).Step() != SQLITE_DONE)
            return fail();
        if (sqlite3_changes(m_db) == 0) {
            ++result.duplicates;
            return true;
        }
    }
    const std::string sender = in.senderIsName ? in.sender : NormaliseNumber(in.sender);
    const bool isPart = in.readable && in.total > 1 && in.sequence >= 1 && in.sequence <= in.total;

    std::int64_t message = 0;
    if (isPart) {
        // The oldest message of this sender, reference and count still missing this part. A
        // part that is already there with the same text is the network delivering it twice.
        // References come round again (there are only 256 of the 8-bit kind), so a message
        // begun more than a week earlier takes no more parts.
        Statement open(m_db, "SELECT m.id, p.text FROM message m LEFT JOIN part p ON p.message = m.id AND "
                             "p.sequence = ?4 WHERE m.sender = ?1 AND m.reference = ?2 AND m.total = ?3 AND "
                             "m.present < m.total AND m.received >= ?5 ORDER BY m.id");
        open.Bind(1, sender).Bind(2, in.reference).Bind(3, in.total).Bind(4, in.sequence);
        open.Bind(5, in.receivedUtc - kJoinWindow);
        int rc = 0;
        while ((rc = open.Step()) == SQLITE_ROW) {
            if (open.IsNull(1)) {
                message = open.Int(0);
                break;
            }
            if (open.Text(1) == in.text) {
                Statement link(m_db, "UPDATE source SET message = ? WHERE key = ?");
                if (link.Bind(1, open.Int(0)).Bind(2, in.source).Step() != SQLITE_DONE)
                    return fail();
                ++result.duplicates;
                return true;
            }
        }
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            return fail();
    }
    if (message == 0) {
        Statement add(m_db,
                      "INSERT INTO message(sender, sender_raw, sender_is_name, sent, zone, received, text, "
                      "reference, total, present, readable, reason, raw, flash) "
                      "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14)");
        add.Bind(1, sender).Bind(2, in.sender).Bind(3, in.senderIsName ? 1 : 0);
        if (in.sentKnown)
            add.Bind(4, in.sentUtc);
        else
            add.BindNull(4);
        add.Bind(5, in.zoneMinutes).Bind(6, in.receivedUtc).Bind(7, in.text);
        if (isPart)
            add.Bind(8, in.reference);
        else
            add.BindNull(8);
        add.Bind(9, isPart ? in.total : 1)
            .Bind(10, isPart || in.incomplete ? 0 : 1)
            .Bind(11, in.readable ? 1 : 0);
        add.Bind(12, in.reason).Bind(13, isPart ? std::string() : in.raw).Bind(14, in.flash ? 1 : 0);
        if (add.Step() != SQLITE_DONE)
            return fail();
        message = sqlite3_last_insert_rowid(m_db);
        if (!isPart)
            result.shown.push_back(message);
    }
    Statement link(m_db, "UPDATE source SET message = ? WHERE key = ?");
    if (link.Bind(1, message).Bind(2, in.source).Step() != SQLITE_DONE)
        return fail();
    ++result.added;
    if (!isPart)
        return true;

    Statement part(m_db,
                   "INSERT INTO part(message, sequence, text, raw, lead, trail) VALUES (?, ?, ?, ?, ?, ?)");
    part.Bind(1, message).Bind(2, in.sequence).Bind(3, in.text).Bind(4, in.raw);
    if (part.Bind(5, in.leadingLowSurrogate).Bind(6, in.trailingHighSurrogate).Step() != SQLITE_DONE)
        return fail();
    // The message's time is its earliest part's; a flash part makes it a flash message.
    Statement times(
        m_db, "UPDATE message SET present = present + 1, flash = max(flash, ?2), "
              "sent = CASE WHEN ?3 IS NULL THEN sent WHEN sent IS NULL OR ?3 < sent THEN ?3 ELSE sent END,"
              " zone = CASE WHEN ?3 IS NOT NULL AND (sent IS NULL OR ?3 < sent) THEN ?4 ELSE zone END"
              " WHERE id = ?1");
    times.Bind(1, message).Bind(2, in.flash ? 1 : 0).Bind(4, in.zoneMinutes);
    if (in.sentKnown)
        times.Bind(3, in.sentUtc);
    else
        times.BindNull(3);
    if (times.Step() != SQLITE_DONE)
        return fail();
    bool completed = false;
    if (!Rejoin(message, completed))
        return false;
    if (completed)
        result.shown.push_back(message);
    return true;
}

// Writes the message's text from its parts, "[brak części N]" for each one not yet there.
bool CMessageDb::Rejoin(std::int64_t message, bool& completed)
{
    std::int64_t total = 0;
    {
        Statement q(m_db, "SELECT total, present FROM message WHERE id = ?");
        if (q.Bind(1, message).Step() != SQLITE_ROW) {
            m_error = sqlite3_errmsg(m_db);
            return false;
        }
        total = q.Int(0);
        completed = q.Int(1) >= total;
    }
    struct Piece
    {
        std::string text;
        char32_t lead = 0;
        char32_t trail = 0;
    };
    std::map<std::int64_t, Piece> parts;
    {
        Statement q(m_db, "SELECT sequence, text, lead, trail FROM part WHERE message = ?");
        q.Bind(1, message);
        int rc = 0;
        while ((rc = q.Step()) == SQLITE_ROW)
            parts[q.Int(0)] = {q.Text(1), static_cast<char32_t>(q.Int(2)), static_cast<char32_t>(q.Int(3))};
        if (rc != SQLITE_DONE) {
            m_error = sqlite3_errmsg(m_db);
            return false;
        }
    }
    // A character split between two parts is whole again once both are here; a half whose
    // neighbour is missing shows as the replacement character.
    constexpr char32_t kReplacement = 0xFFFD;
    std::string text;
    char32_t high = 0;
    for (std::int64_t n = 1; n <= total; ++n) {
        const auto found = parts.find(n);
        if (found == parts.end()) {
            if (high)
                windows1250::AppendUtf8(text, kReplacement);
            high = 0;
            text += "[brak części " + std::to_string(n) + "]";
            continue;
        }
        const Piece& piece = found->second;
        if (high && piece.lead) {
            windows1250::AppendUtf8(text, 0x10000 + ((high - 0xD800) << 10) + (piece.lead - 0xDC00));
        } else {
            if (high)
                windows1250::AppendUtf8(text, kReplacement);
            if (piece.lead)
                windows1250::AppendUtf8(text, kReplacement);
        }
        text += piece.text;
        high = piece.trail;
    }
    if (high)
        windows1250::AppendUtf8(text, kReplacement);
    Statement update(m_db, "UPDATE message SET text = ? WHERE id = ?");
    if (update.Bind(1, text).Bind(2, message).Step() != SQLITE_DONE) {
        m_error = sqlite3_errmsg(m_db);
        return false;
    }
    return true;
}

std::vector<StoredMessage> CMessageDb::List(const ListOptions& options, std::int64_t now) const
{
    std::vector<StoredMessage> out;
    if (!m_db)
        return out;
    std::string sql =
        std::string("SELECT ") + kColumns + " FROM message WHERE (present >= total OR received <= ?1)";
    if (!options.withDeleted)
        sql += " AND deleted = 0";
    if (options.unreadOnly)
        sql += " AND read = 0";
    sql += " ORDER BY coalesce(sent, received), id LIMIT ?2 OFFSET ?3";
    Statement q(m_db, sql.c_str());
    q.Bind(1, now - kPartWait).Bind(2, options.limit).Bind(3, options.offset);
    int rc = 0;
    while ((rc = q.Step()) == SQLITE_ROW)
        out.push_back(RowToMessage(q));
    if (rc != SQLITE_DONE)
        m_error = sqlite3_errmsg(m_db);
    return out;
}

StoredMessage CMessageDb::Find(std::int64_t id) const
{
    if (!m_db)
        return kNone;
    Statement q(m_db, (std::string("SELECT ") + kColumns + " FROM message WHERE id = ?").c_str());
    if (q.Bind(1, id).Step() != SQLITE_ROW)
        return kNone;
    return RowToMessage(q);
}

std::vector<SenderSummary> CMessageDb::Senders(std::int64_t now) const
{
    std::vector<SenderSummary> out;
    if (!m_db)
        return out;
    // The index of senders holds neither the parts' counts nor the time received: a message still
    // waiting for its parts is taken out afterwards, for the few senders that have one.
    Statement all(m_db, "SELECT sender, max(coalesce(sent, received)), sum(read = 0) FROM message "
                        "INDEXED BY message_sender WHERE deleted = 0 GROUP BY sender");
    int rc = 0;
    while ((rc = all.Step()) == SQLITE_ROW) {
        SenderSummary summary;
        summary.sender = all.Text(0);
        summary.last = all.Int(1);
        summary.unread = static_cast<int>(all.Int(2));
        out.push_back(std::move(summary));
    }
    if (rc != SQLITE_DONE) {
        m_error = sqlite3_errmsg(m_db);
        return {};
    }
    Statement waiting(m_db, "SELECT sender FROM message INDEXED BY message_waiting WHERE present < total AND "
                            "received > ?1 AND deleted = 0");
    waiting.Bind(1, now - kPartWait);
    std::vector<std::string> senders;
    while (waiting.Step() == SQLITE_ROW)
        if (std::find(senders.begin(), senders.end(), waiting.Text(0)) == senders.end())
            senders.push_back(waiting.Text(0));
    for (const auto& sender : senders) {
        Statement one(m_db, "SELECT max(coalesce(sent, received)), sum(read = 0), count(*) FROM message "
                            "WHERE sender = ?1 AND deleted = 0 AND (present >= total OR received <= ?2)");
        one.Bind(1, sender).Bind(2, now - kPartWait);
        if (one.Step() != SQLITE_ROW)
            continue;
        for (auto it = out.begin(); it != out.end(); ++it) {
            if (it->sender != sender)
                continue;
            if (one.Int(2) == 0) {
                out.erase(it);
            } else {
                it->last = one.Int(0);
                it->unread = static_cast<int>(one.Int(1));
            }
            break;
        }
    }
    return out;
}

std::vector<MessageHead> CMessageDb::SenderHeads(const std::string& sender, std::int64_t now) const
{
    std::vector<MessageHead> out;
    if (!m_db)
        return out;
    Statement q(m_db,
                "SELECT id, coalesce(sent, received), read, length(text), "
                "length(text) - length(replace(text, char(10), '')) FROM message INDEXED BY message_sender "
                "WHERE sender = ?1 AND deleted = 0 AND (present >= total OR received <= ?2) "
                "ORDER BY coalesce(sent, received), id");
    q.Bind(1, sender).Bind(2, now - kPartWait);
    int rc = 0;
    while ((rc = q.Step()) == SQLITE_ROW) {
        MessageHead head;
        head.id = q.Int(0);
        head.time = q.Int(1);
        head.read = q.Int(2) != 0;
        head.chars = static_cast<int>(q.Int(3));
        head.lines = 1 + static_cast<int>(q.Int(4));
        out.push_back(head);
    }
    if (rc != SQLITE_DONE)
        m_error = sqlite3_errmsg(m_db);
    return out;
}

std::int64_t CMessageDb::LastOfSender(const std::string& sender, std::int64_t now) const
{
    if (!m_db)
        return 0;
    Statement q(m_db,
                "SELECT id FROM message INDEXED BY message_sender WHERE sender = ?1 AND deleted = 0 AND "
                "(present >= total OR received <= ?2) ORDER BY coalesce(sent, received) DESC, id DESC "
                "LIMIT 1");
    q.Bind(1, sender).Bind(2, now - kPartWait);
    return q.Step() == SQLITE_ROW ? q.Int(0) : 0;
}

bool CMessageDb::SetSenderRead(const std::string& sender, std::int64_t now)
{
    if (!m_db)
        return false;
    Statement q(m_db, "UPDATE message SET read = 1 WHERE sender = ?1 AND deleted = 0 AND read = 0 AND "
                      "(present >= total OR received <= ?2)");
    if (q.Bind(1, sender).Bind(2, now - kPartWait).Step() != SQLITE_DONE) {
        m_error = sqlite3_errmsg(m_db);
        return false;
    }
    return true;
}

int CMessageDb::UnreadCount(std::int64_t now) const
{
    if (!m_db)
        return 0;
    Statement q(m_db, "SELECT count(*) FROM message WHERE read = 0 AND deleted = 0 AND "
                      "(present >= total OR received <= ?)");
    if (q.Bind(1, now - kPartWait).Step() != SQLITE_ROW)
        return 0;
    return static_cast<int>(q.Int(0));
}

std::int64_t CMessageDb::Count(const ListOptions& options, std::int64_t now) const
{
    if (!m_db)
        return 0;
    std::string sql = "SELECT count(*) FROM message WHERE (present >= total OR received <= ?1)";
    if (!options.withDeleted)
        sql += " AND deleted = 0";
    if (options.unreadOnly)
        sql += " AND read = 0";
    Statement q(m_db, sql.c_str());
    if (q.Bind(1, now - kPartWait).Step() != SQLITE_ROW) {
        m_error = sqlite3_errmsg(m_db);
        return 0;
    }
    return q.Int(0);
}

bool CMessageDb::SetRead(std::int64_t id, bool read)
{
    if (!m_db)
        return false;
    Statement q(m_db, "UPDATE message SET read = ? WHERE id = ?");
    if (q.Bind(1, read ? 1 : 0).Bind(2, id).Step() != SQLITE_DONE) {
        m_error = sqlite3_errmsg(m_db);
        return false;
    }
    return sqlite3_changes(m_db) == 1;
}

bool CMessageDb::Delete(std::int64_t id)
{
    if (!m_db)
        return false;
    Statement q(m_db, "UPDATE message SET deleted = 1 WHERE id = ?");
    if (q.Bind(1, id).Step() != SQLITE_DONE) {
        m_error = sqlite3_errmsg(m_db);
        return false;
    }
    return sqlite3_changes(m_db) == 1;
}

std::int64_t CMessageDb::FirstSeen(const std::string& key, std::int64_t now)
{
    if (!m_db)
        return now;
    Statement add(m_db, "INSERT OR IGNORE INTO first_seen(key, at) VALUES (?, ?)");
    if (add.Bind(1, key).Bind(2, now).Step() != SQLITE_DONE) {
        m_error = sqlite3_errmsg(m_db);
        return now;
    }
    Statement q(m_db, "SELECT at FROM first_seen WHERE key = ?");
    return q.Bind(1, key).Step() == SQLITE_ROW ? q.Int(0) : now;
}

void CMessageDb::ForgetFirstSeen(const std::string& key)
{
    if (!m_db)
        return;
    Statement q(m_db, "DELETE FROM first_seen WHERE key = ?");
    if (q.Bind(1, key).Step() != SQLITE_DONE)
        m_error = sqlite3_errmsg(m_db);
}

bool CMessageDb::RecordSent(const SentCopy& copy)
{
    if (!m_db || copy.references.empty())
        return false;
    if (!Exec("BEGIN IMMEDIATE"))
        return false;
    const std::string number = NormaliseNumber(copy.number);
    for (std::size_t i = 0; i < copy.references.size(); ++i) {
        // One filed copy may go to several numbers, each with its own parts. The same message
        // filed again in the same second is a resend: its parts start over.
        Statement q(m_db,
                    "INSERT OR REPLACE INTO sent_part(name, text, filed, part, number, reference, sent) "
                    "VALUES (?, ?, ?, ?, ?, ?, ?)");
        q.Bind(1, copy.name).Bind(2, copy.text).Bind(3, copy.filed).Bind(4, static_cast<std::int64_t>(i + 1));
        q.Bind(5, number).Bind(6, copy.references[i]).Bind(7, copy.sentUtc);
        if (q.Step() != SQLITE_DONE) {
            m_error = sqlite3_errmsg(m_db);
            const std::string error = m_error;
            Exec("ROLLBACK");
            m_error = error;
            return false;
        }
    }
    if (!Exec("COMMIT")) {
        const std::string error = m_error;
        Exec("ROLLBACK");
        m_error = error;
        return false;
    }
    return true;
}

bool CMessageDb::ApplyReports(const std::vector<StatusReport>& reports, int* matched)
{
    if (matched)
        *matched = 0;
    if (!m_db || !Exec("BEGIN IMMEDIATE"))
        return false;
    int count = 0;
    for (const auto& report : reports) {
        Statement find(m_db,
                       "SELECT name, text, filed, part, status, number FROM sent_part WHERE number = ?1 AND "
                       "reference = ?2 AND sent <= ?3 AND sent >= ?4 ORDER BY sent DESC LIMIT 1");
        find.Bind(1, NormaliseNumber(report.number)).Bind(2, report.reference);
        // The centre's clock may run a little behind ours.
        find.Bind(3, report.receivedUtc + kClockSlack).Bind(4, report.receivedUtc - kReportWindow);
        const int rc = find.Step();
        if (rc == SQLITE_DONE)
            continue;
        bool ok = rc == SQLITE_ROW;
        if (ok) {
            // A final word (delivered or failed) is not taken back by a late "still trying".
            const bool pending = report.status >= 0x20 && report.status <= 0x3F;
            const bool finalBefore = !find.IsNull(4) && (find.Int(4) < 0x20 || find.Int(4) > 0x3F);
            if (pending && finalBefore) {
                ++count;
                continue;
            }
            Statement set(m_db, "UPDATE sent_part SET status = ?, discharge = ? WHERE name = ? AND text = ? "
                                "AND filed = ? AND part = ? AND number = ?");
            set.Bind(1, report.status)
                .Bind(2, report.dischargeUtc)
                .Bind(3, find.Text(0))
                .Bind(4, find.Text(1));
            set.Bind(5, find.Int(2)).Bind(6, find.Int(3)).Bind(7, find.Text(5));
            ok = set.Step() == SQLITE_DONE;
        }
        if (!ok) {
            const std::string error = sqlite3_errmsg(m_db);
            Exec("ROLLBACK");
            m_error = error;
            return false;
        }
        ++count;
    }
    if (!Exec("COMMIT")) {
        const std::string error = m_error;
        Exec("ROLLBACK");
        m_error = error;
        return false;
    }
    if (matched)
        *matched = count;
    return true;
}

namespace {

// The parts of one filed copy, summed up: failed when the network gave up on any, delivered
// when every part is, pending otherwise.
class DeliveryTally
{
public:
    void Add(bool statusKnown, std::int64_t status, std::int64_t discharge)
    {
        m_any = true;
        if (statusKnown && status >= 0x00 && status <= 0x1F)
            m_last = std::max(m_last, discharge);
        else
            m_all = false;
        // 0x40-0x7F: the centre gave up; values above are reserved and read as failed too.
        if (statusKnown && status >= 0x40)
            m_failed = true;
    }
    DeliveryState State() const
    {
        DeliveryState result;
        if (!m_any)
            return result;
        if (m_failed)
            result.state = Delivery::Failed;
        else if (m_all) {
            result.state = Delivery::Delivered;
            result.at = m_last;
        } else
            result.state = Delivery::Pending;
        return result;
    }

private:
    bool m_any = false;
    bool m_all = true;
    bool m_failed = false;
    std::int64_t m_last = 0;
};

} // namespace

DeliveryState CMessageDb::DeliveryOf(const std::string& name, const std::string& text, std::int64_t filed,
                                     const std::string& number) const
{
    if (!m_db)
        return {};
    Statement q(m_db, "SELECT status, discharge FROM sent_part WHERE name = ?1 AND text = ?2 AND filed = ?3 "
                      "AND (?4 = '' OR number = ?4)");
    q.Bind(1, name).Bind(2, text).Bind(3, filed).Bind(4, number.empty() ? number : NormaliseNumber(number));
    DeliveryTally tally;
    while (q.Step() == SQLITE_ROW)
        tally.Add(!q.IsNull(0), q.Int(0), q.Int(1));
    return tally.State();
}

std::vector<FiledDelivery> CMessageDb::AllDeliveries() const
{
    std::vector<FiledDelivery> result;
    if (!m_db)
        return result;
    // In the table's own key order, so each copy's parts come together.
    Statement q(m_db,
                "SELECT name, text, filed, status, discharge FROM sent_part ORDER BY name, text, filed");
    DeliveryTally tally;
    FiledDelivery current;
    bool open = false;
    while (q.Step() == SQLITE_ROW) {
        std::string name = q.Text(0);
        std::string text = q.Text(1);
        const std::int64_t filed = q.Int(2);
        if (!open || filed != current.filed || name != current.name || text != current.text) {
            if (open) {
                current.state = tally.State();
                result.push_back(std::move(current));
            }
            current = FiledDelivery{std::move(name), std::move(text), filed, {}};
            tally = {};
            open = true;
        }
        tally.Add(!q.IsNull(3), q.Int(3), q.Int(4));
    }
    if (open) {
        current.state = tally.State();
        result.push_back(std::move(current));
    }
    return result;
}
