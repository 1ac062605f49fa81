#include "phone/mm/ModemManagerReceiver.h"

#include <algorithm>

#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QList>
#include <QVariantMap>

#include "messagedb/MessageDb.h"
#include "phone/mm/ModemManagerNames.h"
#include "phone/mm/ModemManagerService.h"
#include "store/Windows1250.h"

namespace {

using namespace modem_manager;

// The service's values of MMSmsState, MMSmsPduType and MMSmsDeliveryState.
constexpr uint kStateReceiving = 2;
constexpr uint kStateReceived = 3;
constexpr uint kPduSubmit = 2;
constexpr uint kPduStatusReport = 3;
// Above the network's own status octet: the service's "unknown" and its CDMA values.
constexpr uint kLastNetworkStatus = 0xFF;

// How long a message may stay "receiving" (waiting for parts that may never come) before it is
// taken as it stands.
constexpr std::int64_t kReceivingWait = 24 * 3600;

std::string Utf8(const QString& text)
{
    return text.toStdString();
}

std::string Hex(const QByteArray& bytes)
{
    return bytes.toHex().toUpper().toStdString();
}

// A sender such as "Orange" or "Bank" rather than a number.
bool IsName(const std::string& sender)
{
    return std::any_of(sender.begin(), sender.end(),
                       [](char c) { return !(c == '+' || c == ' ' || c == '-' || (c >= '0' && c <= '9')); });
}

const char* StorageName(uint storage)
{
    switch (storage) {
    case 1:
        return "SM";
    case 2:
        return "ME";
    case 3:
        return "MT";
    case 4:
        return "SR";
    default:
        return "";
    }
}

// Days from 1970-01-01 to the date (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

} // namespace

CModemManagerReceiver::CModemManagerReceiver(CModemManagerService& service, ModemInfo modem, CMessageDb& db)
    : m_service(service), m_modem(std::move(modem)), m_db(db)
{
}

CModemManagerReceiver::~CModemManagerReceiver()
{
    if (m_listening)
        m_service.m_bus.disconnect(kService, QString::fromStdString(m_modem.id), kMessaging,
                                   QStringLiteral("Added"), this, SLOT(OnAdded(QDBusObjectPath, bool)));
}

std::string CModemManagerReceiver::Via() const
{
    return "ModemManager (" + windows1250::ToUtf8(m_modem.Name()) + ")";
}

void CModemManagerReceiver::OnAdded(const QDBusObjectPath& /*path*/, bool received)
{
    // Messages created for sending are announced too; only the network's count.
    if (received && m_news)
        m_news();
}

bool CModemManagerReceiver::ParseTime(const QString& text, std::int64_t& utc, int& zoneMinutes)
{
    const std::string s = text.trimmed().toStdString();
    std::size_t at = 0;
    auto digits = [&](std::size_t count, int& value) {
        if (at + count > s.size())
            return false;
        value = 0;
        for (std::size_t i = 0; i < count; ++i) {
            const char c = s[at + i];
            if (c < '0' || c > '9')
                return false;
            value = value * 10 + (c - '0');
        }
        at += count;
        return true;
    };
    auto expect = [&](char c) {
        if (at < s.size() && s[at] == c) {
            ++at;
            return true;
        }
        return false;
    };
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    // Early versions of the service wrote the year with two digits.
    const bool shortYear = s.size() > 2 && s[2] == '-';
    if (!digits(shortYear ? 2 : 4, year) || !expect('-') || !digits(2, month) || !expect('-') ||
        !digits(2, day) || !(expect('T') || expect(' ')) || !digits(2, hour) || !expect(':') ||
        !digits(2, minute) || !expect(':') || !digits(2, second))
        return false;
    if (shortYear)
        year += 2000;
    if (expect('.') || expect(',')) {
        while (at < s.size() && s[at] >= '0' && s[at] <= '9')
            ++at;
    }
    int zone = 0;
    if (at == s.size() || expect('Z')) {
        zone = 0;
    } else if (s[at] == '+' || s[at] == '-') {
        const int sign = s[at] == '-' ? -1 : 1;
        ++at;
        int zh = 0, zm = 0;
        if (!digits(2, zh))
            return false;
        if (at < s.size()) {
            expect(':');
            if (!digits(2, zm))
                return false;
        }
        if (zh > 14 || zm > 59)
            return false;
        zone = sign * (zh * 60 + zm);
    } else {
        return false;
    }
    if (at != s.size() || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 ||
        second > 60)
        return false;
    const std::int64_t local =
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 + hour * 3600 +
        minute * 60 + second;
    utc = local - zone * 60;
    zoneMinutes = zone;
    return true;
}

ReceiveReport CModemManagerReceiver::Receive(std::int64_t now)
{
    using Reply = CModemManagerService::Reply;
    ReceiveReport report;
    const QString modemPath = QString::fromStdString(m_modem.id);
    const auto problem = [this](const Reply& reply) -> std::string {
        if (reply.stopped)
            return "Odbieranie przerwano.";
        if (!reply.message)
            return "ModemManager nie odpowiedział w ciągu " +
                   std::to_string(std::chrono::duration_cast<std::chrono::seconds>(
                                      m_service.m_queryTimeout + std::chrono::milliseconds(500))
                                      .count()) +
                   " s.";
        const QString name = reply.message->errorName();
        if (name.endsWith(QLatin1String(".Unauthorized")) ||
            name == QLatin1String("org.freedesktop.DBus.Error.AccessDenied"))
            return "System nie pozwolił odczytać wiadomości z ModemManager (odmowa polkit).";
        return windows1250::ToUtf8(
            CModemManagerService::ReasonFor(reply.message->errorName(), reply.message->errorMessage()));
    };
    const auto answered = [](const Reply& reply) {
        return reply.message && reply.message->type() == QDBusMessage::ReplyMessage &&
               !reply.message->arguments().isEmpty();
    };
    if (!m_service.IsRunning()) {
        report.problem = "Usługa ModemManager nie działa.";
        return report;
    }
    if (!m_listening) {
        // QtDBus names the slot by its signature; there is no typed form for a bus signal.
        m_listening = m_service.m_bus.connect(kService, modemPath, kMessaging, QStringLiteral("Added"), this,
                                              SLOT(OnAdded(QDBusObjectPath, bool)));
    }

    const Reply listed = m_service.Call(
        QDBusMessage::createMethodCall(kService, modemPath, kMessaging, QStringLiteral("List")),
        m_service.m_queryTimeout);
    if (!answered(listed)) {
        report.problem = problem(listed);
        return report;
    }
    const auto paths = qdbus_cast<QList<QDBusObjectPath>>(listed.message->arguments().first());

    const std::string modemKey =
        "mm/" + (m_modem.equipmentId.empty() ? m_modem.id : m_modem.equipmentId) + "/";
    std::vector<IncomingMessage> batch;
    std::vector<std::string> waitKeys; // the waits the batch ends
    std::vector<StatusReport> reports;
    std::vector<QString> taken; // to delete once committed
    bool vanished = false;
    for (const QDBusObjectPath& path : paths) {
        QDBusMessage get =
            QDBusMessage::createMethodCall(kService, path.path(), kProperties, QStringLiteral("GetAll"));
        get << kSms;
        const Reply got = m_service.Call(get, m_service.m_queryTimeout);
        if (!answered(got)) {
            if (got.stopped || !m_service.IsRunning()) {
                // What was read so far is still committed below; nothing is deleted.
                vanished = true;
                report.problem = got.stopped ? std::string("Odbieranie przerwano.")
                                             : std::string("Usługa ModemManager przestała odpowiadać.");
                break;
            }
            // Deleted by another program meanwhile, or unreadable now: the next reading sees.
            continue;
        }
        const QVariantMap sms = qdbus_cast<QVariantMap>(got.message->arguments().first());
        const uint state = sms.value(QStringLiteral("State")).toUInt();
        const uint pduType = sms.value(QStringLiteral("PduType")).toUInt();
        // Messages created for sending (by us or another program) are not ours to take.
        if (pduType == kPduSubmit || (state != kStateReceived && state != kStateReceiving))
            continue;
        const std::string number = Utf8(sms.value(QStringLiteral("Number")).toString());
        const QString timestamp = sms.value(QStringLiteral("Timestamp")).toString();
        if (report.storage.empty())
            report.storage = StorageName(sms.value(QStringLiteral("Storage")).toUInt());

        if (pduType == kPduStatusReport) {
            if (state != kStateReceived)
                continue;
            ++report.reports;
            taken.push_back(path.path());
            const uint delivery = sms.value(QStringLiteral("DeliveryState")).toUInt();
            // The service's "unknown" says nothing about the message: its state stays as it is.
            if (delivery > kLastNetworkStatus)
                continue;
            StatusReport status;
            status.number = number;
            status.reference = static_cast<int>(sms.value(QStringLiteral("MessageReference")).toUInt());
            status.status = static_cast<int>(delivery);
            std::int64_t discharge = 0;
            int zone = 0;
            // A report may wait in the modem for days: the centre's time says when it came.
            const bool known =
                ParseTime(sms.value(QStringLiteral("DischargeTimestamp")).toString(), discharge, zone);
            status.dischargeUtc = known ? discharge : now;
            status.receivedUtc = known ? discharge : now;
            reports.push_back(status);
            continue;
        }

        IncomingMessage m;
        const std::string waitKey = modemKey + "wait/" + number + "/" + timestamp.toStdString();
        m.receivedUtc = now;
        if (state == kStateReceiving) {
            // The service joins a long message as its parts come; the clock of a message whose
            // parts stopped coming runs from when it was first seen, whatever restarted since.
            const std::int64_t first = m_db.FirstSeen(waitKey, now);
            if (now - first < kReceivingWait)
                continue;
            m.incomplete = true;
            m.receivedUtc = first;
        }
        m.sender = number;
        m.senderIsName = IsName(number);
        std::int64_t sent = 0;
        int zone = 0;
        if (ParseTime(timestamp, sent, zone)) {
            m.sentKnown = true;
            m.sentUtc = sent;
            m.zoneMinutes = zone;
        }
        const QByteArray data = sms.value(QStringLiteral("Data")).toByteArray();
        const QString text = sms.value(QStringLiteral("Text")).toString();
        // 8-bit data has no text; it is shown as hexadecimal, as the serial reader shows it.
        m.text = text.isEmpty() && !data.isEmpty() ? Hex(data) : Utf8(text);
        m.raw = data.isEmpty() ? std::string() : Hex(data);
        const QVariant messageClass = sms.value(QStringLiteral("Class"));
        m.flash = messageClass.isValid() && messageClass.toInt() == 0;
        // The service numbers its objects anew at every start, so the object path would name one
        // message twice across a restart between our commit and its deletion: the key is what
        // the message itself says.
        m.source = modemKey + timestamp.toStdString() + "/" + number + "/" + m.text +
                   (m.incomplete ? "/incomplete" : "");
        batch.push_back(std::move(m));
        waitKeys.push_back(waitKey);
        taken.push_back(path.path());
    }

    if (!batch.empty()) {
        const ImportResult imported = m_db.Import(batch);
        if (!imported.ok) {
            report.problem = imported.reason;
            return report;
        }
        report.stored += imported.added;
        report.duplicates += imported.duplicates;
        report.shown.insert(report.shown.end(), imported.shown.begin(), imported.shown.end());
        for (const auto& key : waitKeys)
            m_db.ForgetFirstSeen(key);
    }
    if (!reports.empty()) {
        // Applying a report twice (it stayed in the modem after a cut reading) sets the same state.
        int matched = 0;
        if (!m_db.ApplyReports(reports, &matched)) {
            report.problem = "Nie można zapisać raportów doręczenia w bazie: " + m_db.LastError();
            return report;
        }
        report.reportsMatched += matched;
    }
    if (vanished)
        return report;
    if ((!batch.empty() || !reports.empty()) && m_afterCommit)
        m_afterCommit();
    for (const QString& path : taken) {
        QDBusMessage remove =
            QDBusMessage::createMethodCall(kService, modemPath, kMessaging, QStringLiteral("Delete"));
        remove << QVariant::fromValue(QDBusObjectPath(path));
        const Reply removed = m_service.Call(remove, m_service.m_queryTimeout);
        if (removed.message && removed.message->type() == QDBusMessage::ReplyMessage) {
            ++report.deleted;
            continue;
        }
        if (removed.stopped || !m_service.IsRunning()) {
            report.problem = std::string(removed.stopped ? "Odbieranie przerwano"
                                                         : "Usługa ModemManager przestała odpowiadać") +
                             "; odebrane wiadomości są zapisane, a w modemie zostaną usunięte przy następnym "
                             "odbieraniu.";
            return report;
        }
        report.notes.push_back("ModemManager nie usunął wiadomości " + path.toStdString() + " (" +
                               problem(removed) + ").");
    }
    report.ok = true;
    return report;
}
