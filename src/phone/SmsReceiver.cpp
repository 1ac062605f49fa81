#include "phone/SmsReceiver.h"

#include <cctype>

#include "messagedb/MessageDb.h"
#include "send/SerialLink.h"
#include "sms/ReceivedPdu.h"

namespace {

using Clock = std::chrono::steady_clock;
using End = CSmsReceiver::Answer::End;

constexpr int kBaud = 9600;
constexpr int kReadCapacity = 1024;
// "+CMTI" notices answered in one reading; a phone that keeps announcing is read next time.
constexpr int kMaxNoticeRounds = 50;
// The answer of a phone whose storage is full (TS 27.005 3.2.5).
constexpr const char* kMemoryFull = "+CMS ERROR: 322";

bool StartsWith(const std::string& s, const char* prefix)
{
    return s.rfind(prefix, 0) == 0;
}

std::string Trim(std::string s)
{
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const auto last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

std::vector<std::string> Fields(const std::string& s)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const auto comma = s.find(',', start);
        fields.push_back(
            Trim(s.substr(start, comma == std::string::npos ? std::string::npos : comma - start)));
        if (comma == std::string::npos)
            return fields;
        start = comma + 1;
    }
}

// A whole number of digits only; -1 for anything else.
int Number(const std::string& s)
{
    if (s.empty() || s.size() > 9 ||
        !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return -1;
    return std::stoi(s);
}

// Lines a phone sends on its own at any moment (calls, network news) besides "+CMTI": they may
// fall between a listing's lines and belong to none of them.
bool IsUnsolicited(const std::string& line)
{
    static const char* const kPrefixes[] = {
        "RING",   "+CRING:", "+CLIP:",  "+CMT:",   "+CDSI:", "+CDS:",     "+CBM:",
        "+CUSD:", "+CIEV:",  "+CGREG:", "+CEREG:", "^",      "NO CARRIER"};
    for (const char* prefix : kPrefixes) {
        if (StartsWith(line, prefix))
            return true;
    }
    // "+CREG: 1" is news; an answer to a question would give the mode first.
    return StartsWith(line, "+CREG:") && line.find(',') == std::string::npos;
}

bool IsFinalError(const std::string& line)
{
    return line == "ERROR" || StartsWith(line, "+CMS ERROR:") || StartsWith(line, "+CME ERROR:");
}

} // namespace

CSmsReceiver::CSmsReceiver(std::string device, CMessageDb& db, WaitHook hook, ReceiveTimeouts timeouts)
    : m_device(std::move(device)), m_db(db), m_hook(std::move(hook)), m_timeouts(timeouts)
{
}

std::vector<CSmsReceiver::Listed> CSmsReceiver::ParseListing(const std::vector<std::string>& lines,
                                                             int defaultIndex)
{
    std::vector<Listed> entries;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        const bool list = StartsWith(lines[i], "+CMGL:");
        if (!list && !StartsWith(lines[i], "+CMGR:"))
            continue;
        const auto fields = Fields(lines[i].substr(6));
        Listed entry;
        entry.index = list ? Number(fields.front()) : defaultIndex;
        const int length = Number(fields.back());
        entry.pdu = lines[i + 1];
        if (entry.index < 0 || StartsWith(entry.pdu, "+CMG"))
            continue;
        ++i;
        // The octets after the centre's address must be as many as the phone announced.
        const std::string& hex = entry.pdu;
        entry.hex = hex.size() % 2 == 0 && hex.size() >= 2 && std::all_of(hex.begin(), hex.end(), [](char c) {
                        return std::isxdigit(static_cast<unsigned char>(c));
                    });
        if (entry.hex && length >= 0) {
            const std::size_t centre = static_cast<std::size_t>(std::stoi(hex.substr(0, 2), nullptr, 16));
            entry.whole = hex.size() / 2 == centre + 1 + static_cast<std::size_t>(length);
        }
        entries.push_back(entry);
    }
    return entries;
}

void CSmsReceiver::TakeLine(const std::string& raw, const std::string& command, bool& echoSkipped,
                            Answer& answer)
{
    const std::string line = Trim(raw);
    if (line.empty())
        return;
    if (!echoSkipped && line == command) {
        echoSkipped = true;
        return;
    }
    if (StartsWith(line, "+CMTI:") || StartsWith(line, "+CDSI:")) {
        // "+CDSI" names a stored delivery report the same way "+CMTI" names a message.
        const auto fields = Fields(line.substr(6));
        if (fields.size() == 2 && Number(fields[1]) >= 0)
            m_notices.push_back(Number(fields[1]));
        return;
    }
    if (IsUnsolicited(line))
        return;
    if (StartsWith(line, kMemoryFull))
        m_fullSeen = true;
    if (line == "OK") {
        answer.end = End::Ok;
    } else if (IsFinalError(line)) {
        answer.end = End::Error;
        answer.error = line;
    } else {
        answer.lines.push_back(line);
    }
}

CSmsReceiver::Answer CSmsReceiver::Exchange(CSerialLink& link, const std::string& command,
                                            std::chrono::milliseconds timeout)
{
    const std::string bytes = command + "\r";
    link.Write(bytes.data(), static_cast<int>(bytes.size()));
    Answer answer;
    bool echoSkipped = false;
    std::string line;
    const auto end = Clock::now() + timeout;
    char buffer[kReadCapacity];
    for (;;) {
        // What came after the previous answer's last line (a notice, often) is read first.
        for (std::size_t i = 0; i < m_input.size(); ++i) {
            const char c = m_input[i];
            if (c != '\r' && c != '\n') {
                line += c;
                continue;
            }
            TakeLine(line, command, echoSkipped, answer);
            line.clear();
            if (answer.end != End::None) {
                m_input.erase(0, i + 1);
                return answer;
            }
        }
        m_input.clear();
        const int n = link.Read(buffer, kReadCapacity);
        if (n > 0) {
            answer.heard = true;
            m_input.assign(buffer, static_cast<std::size_t>(n));
            continue;
        }
        const auto now = Clock::now();
        if (now >= end ||
            !link.WaitReadable(std::chrono::duration_cast<std::chrono::milliseconds>(end - now))) {
            // A line cut short is no line.
            return answer;
        }
    }
}

bool CSmsReceiver::ChooseStorage(CSerialLink& link, ReceiveReport& report)
{
    // The phone's memory holds more than the SIM; a phone without one takes the SIM. New
    // messages are to land where they are read.
    for (const char* storage : {"ME", "SM"}) {
        const std::string name = storage;
        const Answer answer =
            Exchange(link, "AT+CPMS=\"" + name + "\",\"" + name + "\",\"" + name + "\"", m_timeouts.command);
        if (answer.end != End::Ok) {
            if (!answer.heard) {
                report.problem = "Telefon nie odpowiada.";
                return false;
            }
            continue;
        }
        report.storage = name;
        for (const auto& line : answer.lines) {
            if (!StartsWith(line, "+CPMS:"))
                continue;
            const auto fields = Fields(line.substr(6));
            const int used = Number(fields.front());
            const int total = fields.size() > 1 ? Number(fields[1]) : -1;
            if (total > 0 && used >= total)
                m_fullSeen = true;
        }
        return true;
    }
    report.problem = "Telefon nie udostępnia pamięci wiadomości (AT+CPMS).";
    return false;
}

IncomingMessage CSmsReceiver::Incoming(const Listed& entry, std::int64_t now) const
{
    const sms::ReceivedPdu pdu = sms::ReadPdu(entry.pdu);
    IncomingMessage m;
    // The slot's number is left out on purpose: the phone gives a freed slot to the next
    // message, and a message the network delivered twice lands in another slot.
    m.source = "serial/" + m_modemId + "/" + pdu.raw;
    m.sender = pdu.address;
    m.senderIsName = pdu.alphanumeric;
    m.sentKnown = pdu.time.valid;
    m.sentUtc = pdu.time.utc;
    m.zoneMinutes = pdu.time.zoneMinutes;
    m.receivedUtc = now;
    m.flash = pdu.flash;
    m.raw = pdu.raw;
    if (!pdu.ok) {
        m.readable = false;
        m.reason = pdu.reason;
        return m;
    }
    m.text = pdu.text;
    if (pdu.part.present) {
        m.reference = pdu.part.reference;
        m.total = pdu.part.total;
        m.sequence = pdu.part.sequence;
        m.leadingLowSurrogate = pdu.leadingLowSurrogate;
        m.trailingHighSurrogate = pdu.trailingHighSurrogate;
    }
    return m;
}

bool CSmsReceiver::StoreAndDelete(CSerialLink& link, const std::vector<Listed>& entries, bool complete,
                                  std::int64_t now, ReceiveReport& report)
{
    std::vector<IncomingMessage> batch;
    std::vector<StatusReport> reports;
    std::vector<int> slots;
    for (const auto& entry : entries) {
        // In a listing cut short a PDU shorter than announced may be the cut itself; in a whole
        // one it is how the phone holds it, and it is kept raw like any unreadable message.
        if (!entry.hex || (!entry.whole && !complete)) {
            report.notes.push_back("Wiadomość z miejsca " + std::to_string(entry.index) +
                                   " nie doszła cała; zostaje w telefonie.");
            continue;
        }
        const sms::ReceivedPdu pdu = sms::ReadPdu(entry.pdu);
        if (pdu.ok && pdu.kind == sms::PduKind::StatusReport) {
            StatusReport status;
            status.number = pdu.address;
            status.reference = pdu.messageReference;
            status.status = pdu.status;
            status.dischargeUtc = pdu.discharge.valid ? pdu.discharge.utc : now;
            // A report may wait on the phone for days: the centre's time says when it came.
            status.receivedUtc = pdu.discharge.valid ? pdu.discharge.utc : now;
            reports.push_back(status);
            slots.push_back(entry.index);
            continue;
        }
        if (!pdu.ok)
            report.notes.push_back("Nieczytelna wiadomość z miejsca " + std::to_string(entry.index) + ": " +
                                   pdu.reason + ".");
        batch.push_back(Incoming(entry, now));
        slots.push_back(entry.index);
    }
    if (batch.empty() && reports.empty())
        return true;
    if (!batch.empty()) {
        const ImportResult imported = m_db.Import(batch);
        if (!imported.ok) {
            report.problem = imported.reason;
            return false;
        }
        report.stored += imported.added;
        report.duplicates += imported.duplicates;
        report.shown.insert(report.shown.end(), imported.shown.begin(), imported.shown.end());
    }
    if (!reports.empty()) {
        // Applying a report twice (it stayed on the phone after a cut reading) sets the same state.
        int matched = 0;
        if (!m_db.ApplyReports(reports, &matched)) {
            report.problem = "Nie można zapisać raportów doręczenia w bazie: " + m_db.LastError();
            return false;
        }
        report.reports += static_cast<int>(reports.size());
        report.reportsMatched += matched;
    }
    if (m_afterCommit)
        m_afterCommit();
    for (const int slot : slots) {
        const Answer answer = Exchange(link, "AT+CMGD=" + std::to_string(slot), m_timeouts.command);
        if (answer.end == End::Ok) {
            ++report.deleted;
        } else if (!answer.heard) {
            report.problem = "Telefon przestał odpowiadać; odebrane wiadomości są zapisane, a w telefonie "
                             "zostaną usunięte przy następnym odbieraniu.";
            return false;
        } else {
            report.notes.push_back("Telefon nie usunął wiadomości z miejsca " + std::to_string(slot) + " (" +
                                   answer.error + ").");
        }
    }
    return true;
}

ReceiveReport CSmsReceiver::Receive(std::int64_t now)
{
    ReceiveReport report;
    m_notices.clear();
    m_input.clear();
    m_fullSeen = false;
    CSerialLink link(m_hook);
    link.SetByteTimeout(m_timeouts.byte);
    if (!link.OpenDevice(m_device, kBaud)) {
        report.problem = "Nie można otworzyć portu telefonu " + m_device + ".";
        return report;
    }
    Answer answer = Exchange(link, "AT+CMGF=0", m_timeouts.command);
    if (answer.end != End::Ok) {
        report.problem = answer.heard ? "Telefon nie przyjął trybu PDU (" + answer.error + ")."
                                      : std::string("Telefon nie odpowiada.");
        return report;
    }
    answer = Exchange(link, "AT+CGSN", m_timeouts.command);
    m_modemId.clear();
    if (answer.end == End::Ok) {
        for (const auto& line : answer.lines)
            for (char c : line)
                if (std::isalnum(static_cast<unsigned char>(c)))
                    m_modemId += c;
    }
    if (m_modemId.empty())
        m_modemId = m_device;
    if (!ChooseStorage(link, report))
        return report;
    // From here a full storage is told even when the reading goes wrong later.
    auto finish = [&](bool ok) {
        if (m_fullSeen && !m_fullReported)
            report.storageFull = true;
        m_fullReported = m_fullSeen;
        report.ok = ok;
        return report;
    };
    // Notices while the port is ours; a phone that cannot send them is read at each poll alone.
    Exchange(link, m_statusReports ? "AT+CNMI=2,1,0,2,0" : "AT+CNMI=2,1,0,0,0", m_timeouts.command);

    answer = Exchange(link, "AT+CMGL=4", m_timeouts.listing);
    if (answer.end == End::Error) {
        report.problem = "Telefon nie podał listy wiadomości (" + answer.error + ").";
        return finish(false);
    }
    std::vector<Listed> entries = ParseListing(answer.lines);
    if (answer.end == End::None) {
        // Cut short: what arrived whole is stored, the rest stays for the next reading.
        report.notes.push_back("Telefon przerwał listę wiadomości.");
        if (!answer.heard && entries.empty()) {
            report.problem = "Telefon nie odpowiada.";
            return finish(false);
        }
    }
    if (!StoreAndDelete(link, entries, answer.end == End::Ok, now, report))
        return finish(false);

    // Messages the phone announced meanwhile, one by one.
    for (int round = 0; round < kMaxNoticeRounds && !m_notices.empty(); ++round) {
        const int slot = m_notices.front();
        m_notices.erase(m_notices.begin());
        answer = Exchange(link, "AT+CMGR=" + std::to_string(slot), m_timeouts.command);
        if (answer.end != End::Ok)
            continue; // already read and deleted with the list
        if (!StoreAndDelete(link, ParseListing(answer.lines, slot), true, now, report))
            return finish(false);
    }
    return finish(true);
}
