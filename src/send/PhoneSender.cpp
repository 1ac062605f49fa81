#include "send/PhoneSender.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <ctime>
#include <optional>
#include <string_view>

#include "phone/PortProblem.h"
#include "phone/SerialLink.h"
#include "send/SmsEncoding.h"
#include "store/Windows1250.h"

namespace {

using Clock = std::chrono::steady_clock;
using Reply = CPhoneSender::Reply;

constexpr int kBaud = 9600;
constexpr int kReadCapacity = 255;
// Enough for any answer; a phone that keeps talking without ever answering is cut to its tail.
constexpr std::size_t kReplyLimit = 4096;
constexpr std::size_t kReplyKeep = 1024;

constexpr std::size_t kMaxParts = 255;

constexpr char kCtrlZ = '\x1a';
constexpr char kEscape = '\x1b';

std::string Polish(std::string_view utf8)
{
    return windows1250::FromUtf8Lossy(utf8);
}

bool IsLineBreak(char c)
{
    return c == '\r' || c == '\n';
}

bool StartsWith(const std::string& s, const char* prefix)
{
    return s.rfind(prefix, 0) == 0;
}

bool IsErrorLine(const std::string& line)
{
    return line == "ERROR" || StartsWith(line, "+CMS ERROR:") || StartsWith(line, "+CME ERROR:");
}

// Where the phone's own answer begins in its reply to `written`: after its echo when it echoes,
// at once when it does not; nothing while the echo is still arriving.
std::optional<std::size_t> AnswerStart(const std::string& reply, std::string written)
{
    if (const auto z = written.find(kCtrlZ); z != std::string::npos) {
        // Nothing we write holds a Ctrl-Z but the one that ends the text.
        if (const auto echoed = reply.rfind(kCtrlZ); echoed != std::string::npos)
            return echoed + 1;
        written.erase(z); // some phones echo the text but not its end
    }
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < reply.size() && j < written.size()) {
        if (reply[i] == written[j]) {
            ++i;
            ++j;
        } else if (j > 0 && (IsLineBreak(reply[i]) || reply[i] == '>' || reply[i] == ' ')) {
            ++i; // a phone prompts again after each line of a text it takes
        } else {
            break;
        }
    }
    if (j == written.size())
        return i;
    if (i == reply.size() && j > 0)
        return std::nullopt;
    return 0; // no echo
}

// A phone's word that a message or a delivery report arrived while the port was ours.
std::atomic<bool> g_messageWaiting{false};

void NoteMessageNotices(const std::string& reply)
{
    if (reply.find("+CMTI:") != std::string::npos || reply.find("+CDSI:") != std::string::npos)
        g_messageWaiting = true;
}

// Lines a phone sends on its own at any moment: calls, new messages, network and signal news.
bool IsUnsolicited(const std::string& line)
{
    static const char* const kPrefixes[] = {
        "RING",  "+CRING:", "+CLIP:", "+CMTI:",  "+CMT:",   "+CDSI:", "+CDS:",
        "+CBM:", "+CUSD:",  "+CIEV:", "+CGREG:", "+CEREG:", "^",      "NO CARRIER"};
    for (const char* prefix : kPrefixes) {
        if (StartsWith(line, prefix))
            return true;
    }
    // "+CREG: 1" is news; the answer to "at+creg?" gives the mode first: "+CREG: 0,1".
    if (StartsWith(line, "+CREG:")) {
        const auto comma = line.find(',');
        return comma == std::string::npos || line.find('"') < comma + 2;
    }
    return false;
}

// The value after "NAME: " in the first line that carries it.
std::string Field(const std::vector<std::string>& lines, const char* name)
{
    for (const auto& line : lines) {
        if (StartsWith(line, name)) {
            std::string value = line.substr(std::char_traits<char>::length(name));
            value.erase(0, value.find_first_not_of(' '));
            return value;
        }
    }
    return {};
}

// The first line of an answer that is neither news nor the echo of the question.
std::string Plain(const std::vector<std::string>& lines, const char* question, const char* prefix)
{
    for (const auto& line : lines) {
        if (IsUnsolicited(line) || line == question || line.empty())
            continue;
        if (StartsWith(line, prefix)) {
            std::string value = line.substr(std::char_traits<char>::length(prefix));
            value.erase(0, value.find_first_not_of(' '));
            return value;
        }
        return line;
    }
    return {};
}

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

enum class Sim
{
    Ready,
    Pin,
    Puk,
    Missing,
    Broken,
    Other,
    Unknown // the phone does not know the question
};

// The SIM's state from the answer to "at+cpin?" (or the error it gave instead).
Sim SimState(const std::vector<std::string>& lines, const std::string& error)
{
    const std::string state = Field(lines, "+CPIN:");
    if (!state.empty()) {
        if (state == "READY")
            return Sim::Ready;
        if (state == "SIM PIN")
            return Sim::Pin;
        if (state == "SIM PUK")
            return Sim::Puk;
        return Sim::Other;
    }
    const std::string e = Lower(error);
    if (e == "+cme error: 10" || e.find("not inserted") != std::string::npos)
        return Sim::Missing;
    if (e == "+cme error: 11" || e.find("pin required") != std::string::npos)
        return Sim::Pin;
    if (e == "+cme error: 12" || e.find("puk required") != std::string::npos)
        return Sim::Puk;
    if (e == "+cme error: 13" || e == "+cme error: 15" || e.find("sim failure") != std::string::npos ||
        e.find("sim wrong") != std::string::npos)
        return Sim::Broken;
    if (e == "+cme error: 14" || e.find("sim busy") != std::string::npos)
        return Sim::Other;
    return Sim::Unknown;
}

std::string SimText(Sim sim, const std::string& raw)
{
    switch (sim) {
    case Sim::Ready:
        return Polish("gotowa");
    case Sim::Pin:
        return Polish("czeka na kod PIN");
    case Sim::Puk:
        return Polish("czeka na kod PUK");
    case Sim::Missing:
        return Polish("brak karty SIM");
    case Sim::Broken:
        return Polish("uszkodzona");
    case Sim::Other:
        return Polish("nie jest gotowa (") + raw + ")";
    case Sim::Unknown:
        break;
    }
    return Polish("telefon nie podaje stanu karty");
}

std::string RegistrationText(const std::string& value)
{
    // "+CREG: <n>,<stat>[,...]"
    const auto comma = value.find(',');
    if (comma == std::string::npos)
        return {};
    const std::string stat = value.substr(comma + 1, value.find(',', comma + 1) - comma - 1);
    if (stat == "1")
        return Polish("zarejestrowany w sieci macierzystej");
    if (stat == "5")
        return Polish("zarejestrowany w roamingu");
    if (stat == "2")
        return Polish("szuka sieci");
    if (stat == "3")
        return Polish("rejestracja odrzucona");
    if (stat == "0")
        return Polish("niezarejestrowany");
    return Polish("stan nieznany");
}

std::string SignalText(const std::string& value)
{
    // "+CSQ: <rssi>,<ber>": rssi 0 to 31 (-113 to -51 dBm), 99 when not known.
    int rssi = -1;
    try {
        rssi = std::stoi(value);
    } catch (...) {
        return {};
    }
    if (rssi < 0 || rssi > 31)
        return Polish("brak sygnału");
    return std::to_string(rssi * 100 / 31) + "%";
}

// What an old phone's text mode can carry: the Polish letters lose their marks, anything else
// outside printable ASCII (line breaks aside) becomes '?'.
std::string PlainLetters(const std::string& text)
{
    static const std::pair<unsigned char, char> kPolish[] = {
        {0xB9, 'a'}, {0xA5, 'A'}, {0xE6, 'c'}, {0xC6, 'C'}, {0xEA, 'e'}, {0xCA, 'E'},
        {0xB3, 'l'}, {0xA3, 'L'}, {0xF1, 'n'}, {0xD1, 'N'}, {0xF3, 'o'}, {0xD3, 'O'},
        {0x9C, 's'}, {0x8C, 'S'}, {0x9F, 'z'}, {0x8F, 'Z'}, {0xBF, 'z'}, {0xAF, 'Z'}};
    std::string plain;
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if ((b >= 0x20 && b < 0x7F) || c == '\r' || c == '\n') {
            plain += c;
            continue;
        }
        char replaced = '?';
        for (const auto& [letter, base] : kPolish) {
            if (letter == b)
                replaced = base;
        }
        plain += replaced;
    }
    return plain;
}

constexpr std::size_t kTextModeLimit = 160;

std::string PartlySent()
{
    return Polish("Część wiadomości mogła dotrzeć do odbiorcy; przy ponownym wysłaniu zostaną wysłane "
                  "wszystkie części.");
}

// The message reference of "+CMGS: <mr>[,<scts>]" among the lines; -1 when none.
int MessageReference(const std::vector<std::string>& lines)
{
    for (const auto& line : lines) {
        if (!StartsWith(line, "+CMGS:"))
            continue;
        std::size_t at = 6;
        while (at < line.size() && line[at] == ' ')
            ++at;
        int value = 0;
        std::size_t digits = 0;
        for (; at < line.size() && line[at] >= '0' && line[at] <= '9' && digits < 4; ++at, ++digits)
            value = value * 10 + (line[at] - '0');
        if (digits > 0 && value <= 255)
            return value;
    }
    return -1;
}

std::uint8_t NextReference()
{
    // Each long message gets its own reference, so a phone never joins parts of two messages.
    static unsigned next = static_cast<unsigned>(std::time(nullptr));
    return static_cast<std::uint8_t>(next++);
}

} // namespace

std::string PhoneReport::Text() const
{
    if (!problem.empty())
        return problem;
    std::string text;
    auto add = [&](const char* label, const std::string& value) {
        if (!text.empty())
            text += "\n";
        text += Polish(label) + (value.empty() ? Polish("brak odpowiedzi") : value);
    };
    add("Producent: ", maker);
    add("Model: ", model);
    add("Karta SIM: ", sim);
    add("Sieć: ", registration);
    add("Sygnał: ", signal);
    return text;
}

CPhoneSender::CPhoneSender(std::string port, WaitHook hook, PhoneTimeouts timeouts)
    : m_port(std::move(port)), m_hook(std::move(hook)), m_timeouts(timeouts)
{
}

std::string CPhoneSender::OpenProblem(const CSerialLink& link, const std::string& device) const
{
    if (device.empty())
        return Polish("Nie można otworzyć portu telefonu \"") + m_port + "\".";
    return port_problem::Describe(device, link.OpenError(), m_heldByService);
}

PhoneEncoding CPhoneSender::EncodingFor(const std::string& setting)
{
    return Lower(setting) == "text" ? PhoneEncoding::Text : PhoneEncoding::Auto;
}

int CPhoneSender::SmsCount(const std::string& text, PhoneEncoding encoding)
{
    if (encoding == PhoneEncoding::Text)
        return 1;
    return sms::PartCount(text, sms::ChooseCoding(text));
}

std::string CPhoneSender::DeviceFor(const std::string& port)
{
    if (!port.empty() && port[0] == '/')
        return port;
    if (port.size() < 4)
        return {};
    const char digit = port[3];
    if (digit < '0' || digit > '9')
        return {}; // port 0: there is none
    return CSerialLink::PortDevice(digit - '0');
}

std::string CPhoneSender::DialableNumber(const std::string& number)
{
    std::string out;
    for (char c : number) {
        if (c != ' ' && c != '-')
            out += c;
    }
    const std::size_t digits = !out.empty() && out[0] == '+' ? 1 : 0;
    if (out.size() <= digits || !std::all_of(out.begin() + static_cast<std::ptrdiff_t>(digits), out.end(),
                                             [](char c) { return c >= '0' && c <= '9'; }))
        return {};
    return out;
}

CPhoneSender::Reply CPhoneSender::Judge(const std::string& reply, const std::string& written,
                                        const std::string& expected, std::vector<std::string>* lines)
{
    const auto start = AnswerStart(reply, written);
    if (!start)
        return Reply::Pending;
    const bool prompt = expected == ">";
    std::size_t at = *start;
    for (;;) {
        while (at < reply.size() && IsLineBreak(reply[at]))
            ++at;
        if (at >= reply.size())
            return Reply::Pending;
        if (prompt && reply[at] == '>')
            return Reply::Expected;
        // A line counts once its own line break has arrived.
        const std::size_t end = reply.find_first_of("\r\n", at);
        if (end == std::string::npos)
            return Reply::Pending;
        std::string line = reply.substr(at, end - at);
        at = end;
        if (!prompt && line == expected)
            return Reply::Expected;
        if (IsErrorLine(line)) {
            if (lines)
                lines->push_back(std::move(line));
            return Reply::Error;
        }
        if (lines)
            lines->push_back(std::move(line));
    }
}

CPhoneSender::Answer CPhoneSender::Exchange(CSerialLink& link, const std::string& bytes,
                                            const std::string& expected, std::chrono::milliseconds timeout)
{
    link.Write(bytes.data(), static_cast<int>(bytes.size()));
    const auto end = Clock::now() + timeout;
    std::string reply;
    Answer answer;
    auto judge = [&] {
        answer.lines.clear();
        answer.verdict = Judge(reply, bytes, expected, &answer.lines);
        return answer.verdict != Reply::Pending;
    };
    for (;;) {
        const bool arrived = TakeInput(link, reply);
        if (arrived)
            NoteMessageNotices(reply);
        answer.heard = answer.heard || arrived;
        if (arrived && judge())
            return answer;
        if (link.HungUp()) {
            answer.gone = true;
            return answer;
        }
        const auto now = Clock::now();
        if (now >= end)
            return answer;
        if (arrived)
            continue;
        // False when the time is up or the device has gone away (a hung-up line wakes us at
        // once, so waiting on it again would only spin): one last look, then give up.
        if (!link.WaitReadable(std::chrono::duration_cast<std::chrono::milliseconds>(end - now))) {
            if (TakeInput(link, reply)) {
                NoteMessageNotices(reply);
                answer.heard = true;
                judge();
            }
            answer.gone = answer.verdict == Reply::Pending && link.HungUp();
            return answer;
        }
    }
}

bool CPhoneSender::TakeMessageWaiting()
{
    return g_messageWaiting.exchange(false);
}

bool CPhoneSender::TakeInput(CSerialLink& link, std::string& reply)
{
    char buffer[kReadCapacity];
    const int n = link.Read(buffer, kReadCapacity);
    if (n <= 0)
        return false;
    reply.append(buffer, static_cast<std::size_t>(n));
    if (reply.size() > kReplyLimit)
        reply.erase(0, reply.size() - kReplyKeep);
    return true;
}

void CPhoneSender::Refused(const Answer& answer, const char* silence)
{
    if (answer.gone)
        m_reason = Polish("Telefon został odłączony.");
    else if (answer.verdict == Reply::Error && !answer.lines.empty())
        m_reason = Polish("Telefon odpowiedział: ") + answer.lines.back() + ".";
    else if (!answer.heard)
        m_reason = Polish("Telefon nie odpowiada.");
    else
        m_reason = Polish(silence);
}

bool CPhoneSender::SimReady(CSerialLink& link)
{
    const Answer answer = Exchange(link, "at+cpin?\r", "OK", m_timeouts.query);
    if (answer.verdict == Reply::Pending && (answer.gone || !answer.heard)) {
        Refused(answer, "Telefon nie odpowiada.");
        return false;
    }
    const std::string error = answer.verdict == Reply::Error ? answer.lines.back() : std::string();
    switch (SimState(answer.lines, error)) {
    case Sim::Ready:
    case Sim::Unknown: // a phone that cannot tell: its answers to the message will
        return true;
    case Sim::Pin:
        m_reason = Polish("Telefon czeka na kod PIN karty SIM.");
        return m_askPin && Unlock(link);
    case Sim::Puk:
        m_reason = Polish("Telefon czeka na kod PUK karty SIM.");
        return false;
    case Sim::Missing:
        m_reason = Polish("W telefonie nie ma karty SIM.");
        return false;
    case Sim::Broken:
        m_reason = Polish("Karta SIM w telefonie jest uszkodzona.");
        return false;
    case Sim::Other:
        m_reason =
            Polish("Karta SIM w telefonie nie jest gotowa (") + Field(answer.lines, "+CPIN:") + error + ").";
        return false;
    }
    return false;
}

bool CPhoneSender::Unlock(CSerialLink& link)
{
    const std::optional<std::string> pin =
        m_askPin(Polish("Karta SIM w telefonie czeka na kod PIN. Podaj kod PIN:"));
    if (!pin || pin->empty())
        return false; // the reason stays: the phone waits for its PIN
    // Digits only: anything else would reach the phone as part of a command.
    if (pin->size() > 8 ||
        !std::all_of(pin->begin(), pin->end(), [](char c) { return c >= '0' && c <= '9'; })) {
        m_reason = Polish("Kod PIN składa się z 4 do 8 cyfr.");
        return false;
    }
    const Answer answer = Exchange(link, "at+cpin=\"" + *pin + "\"\r", "OK", m_timeouts.mode);
    if (answer.verdict == Reply::Expected)
        return true;
    if (answer.verdict != Reply::Error) {
        Refused(answer, "Telefon nie potwierdził kodu PIN.");
        return false;
    }
    // Never tried again here: a SIM locks after three wrong PINs. The tries left, where the
    // phone tells them (+CPINR: SIM PIN,<left>,<max>).
    m_pinRefused = true;
    m_reason = Polish("Kod PIN jest błędny.");
    const Answer left = Exchange(link, "at+cpinr=\"SIM PIN\"\r", "OK", m_timeouts.query);
    const std::string value = Field(left.lines, "+CPINR:");
    const auto comma = value.find(',');
    if (left.verdict == Reply::Expected && comma != std::string::npos) {
        const std::string tries = value.substr(comma + 1, value.find(',', comma + 1) - comma - 1);
        if (!tries.empty() &&
            std::all_of(tries.begin(), tries.end(), [](char c) { return c >= '0' && c <= '9'; }))
            m_reason = Polish("Kod PIN jest błędny; pozostało prób: ") + tries + ".";
    }
    return false;
}

bool CPhoneSender::SendText(CSerialLink& link, const std::string& number, const std::string& text)
{
    Answer answer = Exchange(link, "at+cmgf=1\r", "OK", m_timeouts.mode);
    if (answer.verdict != Reply::Expected) {
        Refused(answer, "Telefon nie przyjął trybu tekstowego.");
        return false;
    }
    // Text mode takes the first octet from the phone's parameters: the request bit set for this
    // message and the common default (17: SMS-SUBMIT, relative validity) put back after it.
    if (m_reports) {
        answer = Exchange(link, "at+csmp=49,167,0,0\r", "OK", m_timeouts.mode);
        if (answer.verdict != Reply::Expected) {
            Refused(answer, "Telefon nie przyjął prośby o potwierdzenie doręczenia.");
            return false;
        }
    }
    answer = Exchange(link, "at+cmgs=\"" + number + "\"\r", ">", m_timeouts.prompt);
    if (answer.verdict != Reply::Expected) {
        // A prompt that comes after we gave up would leave the phone taking our next commands
        // as message text; Escape ends its text input without sending.
        link.Write(&kEscape, 1);
        Refused(answer, "Telefon nie poprosił o treść wiadomości.");
        return false;
    }
    // The written dialogue ends the text with Ctrl-Z, Escape and CR; phones expect nothing else.
    answer = Exchange(link, text + kCtrlZ + kEscape + '\r', "OK", m_timeouts.answer);
    if (answer.verdict != Reply::Expected) {
        Refused(answer, "Telefon nie potwierdził wysłania wiadomości.");
        return false;
    }
    if (m_reports) {
        if (const int reference = MessageReference(answer.lines); reference >= 0)
            m_references.push_back(reference);
        // The message went; a phone that keeps asking for reports costs nothing more than that.
        (void)Exchange(link, "at+csmp=17,167,0,0\r", "OK", m_timeouts.mode);
    }
    return true;
}

bool CPhoneSender::SendWithoutPolishLetters(CSerialLink& link, const std::string& number,
                                            const std::string& text)
{
    // An old phone without PDU mode: its text mode takes plain letters only, in one message.
    const std::string plain = PlainLetters(text);
    if (plain.size() > kTextModeLimit) {
        m_reason = Polish("Telefon nie zna trybu PDU, a w trybie tekstowym wiadomość może mieć najwyżej "
                          "160 znaków.");
        return false;
    }
    m_withoutPolishLetters = plain != text;
    const bool sent = SendText(link, number, plain);
    m_withoutPolishLetters = sent && m_withoutPolishLetters;
    return sent;
}

bool CPhoneSender::SendPdus(CSerialLink& link, const std::string& number, const std::string& text, bool ucs2)
{
    const auto pdus =
        sms::SubmitPdus(number, sms::FromWindows1250(text), ucs2 ? sms::Coding::Ucs2 : sms::Coding::Gsm7,
                        NextReference(), m_reports);
    if (pdus.size() > kMaxParts) {
        // The part count and number are one octet each in the header.
        m_reason = Polish("Wiadomość jest za długa dla telefonu.");
        return false;
    }
    Answer answer = Exchange(link, "at+cmgf=0\r", "OK", m_timeouts.mode);
    if (answer.verdict != Reply::Expected) {
        Refused(answer, "Telefon nie przyjął trybu PDU.");
        m_pduRefused = answer.verdict == Reply::Error;
        return false;
    }
    std::size_t confirmed = 0;
    for (const auto& pdu : pdus) {
        answer = Exchange(link, "at+cmgs=" + std::to_string(pdu.length) + "\r", ">", m_timeouts.prompt);
        if (answer.verdict != Reply::Expected) {
            link.Write(&kEscape, 1);
            Refused(answer, "Telefon nie poprosił o treść wiadomości.");
            if (confirmed > 0)
                m_warning = PartlySent();
            break;
        }
        answer = Exchange(link, pdu.hex + kCtrlZ, "OK", m_timeouts.answer);
        const bool numbered = std::any_of(answer.lines.begin(), answer.lines.end(),
                                          [](const std::string& line) { return StartsWith(line, "+CMGS:"); });
        if (answer.verdict != Reply::Expected || !numbered) {
            Refused(answer, "Telefon nie potwierdził wysłania wiadomości.");
            // Unconfirmed is not undelivered: a part the network took may already be on its way.
            if (pdus.size() > 1 && (confirmed > 0 || answer.verdict != Reply::Error))
                m_warning = PartlySent();
            break;
        }
        ++confirmed;
        if (m_reports)
            m_references.push_back(MessageReference(answer.lines));
    }
    return confirmed == pdus.size();
}

SendOutcome CPhoneSender::Send(const std::string& number, const std::string& text)
{
    m_warning.clear();
    m_pduRefused = false;
    m_pinRefused = false;
    m_withoutPolishLetters = false;
    m_references.clear();
    const auto failed = [this](std::string reason) {
        return SendOutcome{COutcome::Failed(reason), m_warning};
    };
    const std::string dial = DialableNumber(number);
    if (dial.empty())
        return failed(Polish("Numer \"") + number + Polish("\" nie nadaje się do wybrania w telefonie."));
    const sms::Coding coding =
        m_encoding == PhoneEncoding::Text ? sms::Coding::Text : sms::ChooseCoding(text);
    if (coding == sms::Coding::Text &&
        text.find_first_of(std::string{kCtrlZ, kEscape}) != std::string::npos) {
        // In text mode these would end or cancel the message early, and the phone would send
        // something else than the message we file.
        return failed(Polish("Tekst zawiera znaki sterujące (Ctrl+Z, Esc), których telefon w trybie "
                             "tekstowym nie przyjmie."));
    }
    const std::string device = DeviceFor(m_port);
    CSerialLink link(m_hook);
    link.SetByteTimeout(m_timeouts.byte);
    if (device.empty() || !link.OpenDevice(device, kBaud))
        return failed(OpenProblem(link, device));
    bool sent = false;
    if (SimReady(link)) {
        if (coding == sms::Coding::Text)
            sent = SendText(link, dial, text);
        else
            sent = SendPdus(link, dial, text, coding == sms::Coding::Ucs2);
        if (!sent && m_pduRefused && m_encoding == PhoneEncoding::Auto)
            sent = SendWithoutPolishLetters(link, dial, text);
    }
    link.Close();
    if (!sent)
        return failed(m_reason);
    SendOutcome done{COutcome::Done(), {}, {}};
    // A part whose reference the phone did not give cannot be matched to a report; the message
    // then stays "sent" rather than being called delivered on the other parts' word.
    if (m_reports && std::none_of(m_references.begin(), m_references.end(), [](int r) { return r < 0; }))
        done.references = m_references;
    return done;
}

PhoneReport CPhoneSender::Inspect()
{
    PhoneReport report;
    const std::string device = DeviceFor(m_port);
    CSerialLink link(m_hook);
    link.SetByteTimeout(m_timeouts.byte);
    if (device.empty() || !link.OpenDevice(device, kBaud)) {
        report.problem = OpenProblem(link, device);
        return report;
    }
    Answer answer = Exchange(link, "at+cgmi\r", "OK", m_timeouts.query);
    if (!answer.heard || answer.gone) {
        report.problem = Polish(answer.gone ? "Telefon został odłączony." : "Telefon nie odpowiada.");
        return report;
    }
    if (answer.verdict == Reply::Expected)
        report.maker = Plain(answer.lines, "at+cgmi", "+CGMI:");
    answer = Exchange(link, "at+cgmm\r", "OK", m_timeouts.query);
    if (answer.verdict == Reply::Expected)
        report.model = Plain(answer.lines, "at+cgmm", "+CGMM:");
    answer = Exchange(link, "at+cpin?\r", "OK", m_timeouts.query);
    if (answer.verdict != Reply::Pending) {
        const std::string error = answer.verdict == Reply::Error ? answer.lines.back() : std::string();
        report.sim = SimText(SimState(answer.lines, error), Field(answer.lines, "+CPIN:") + error);
    }
    answer = Exchange(link, "at+creg?\r", "OK", m_timeouts.query);
    if (answer.verdict == Reply::Expected) {
        for (const auto& line : answer.lines) {
            if (StartsWith(line, "+CREG:") && !IsUnsolicited(line))
                report.registration = RegistrationText(line.substr(6));
        }
    }
    answer = Exchange(link, "at+csq\r", "OK", m_timeouts.query);
    if (answer.verdict == Reply::Expected) {
        const std::string value = Field(answer.lines, "+CSQ:");
        if (!value.empty())
            report.signal = SignalText(value);
    }
    link.Close();
    return report;
}
