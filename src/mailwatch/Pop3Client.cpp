#include "mailwatch/Pop3Client.h"

#include <algorithm>
#include <limits>

#include "net/TlsStream.h"
#include "store/Windows1250.h"

namespace {

// Status lines are at most 512 bytes by the protocol; this leaves room for chatty servers.
constexpr std::size_t kMaxStatusLine = 4096;
// A listing or a retrieved message larger than this is refused rather than held in memory.
constexpr std::size_t kMaxMultiLine = std::size_t{32} << 20;

const std::string& ConnectError()
{
    static const std::string text = windows1250::FromUtf8Lossy("Błąd podczas łączenia sie z serverem.");
    return text;
}

std::string SocketError(int error)
{
    return "Socket error " + std::to_string(error);
}

const std::string& UserError()
{
    static const std::string text = windows1250::FromUtf8Lossy("Niewłaściwy Użytkownik");
    return text;
}

const std::string& PasswordError()
{
    static const std::string text = windows1250::FromUtf8Lossy("Niewłaściwe Hasło.");
    return text;
}

// "-ERR" in any letter case; everything else that arrived is an acceptance.
bool IsRefusal(const std::string& reply)
{
    static constexpr char kErr[] = "-ERR";
    if (reply.size() < 4)
        return false;
    for (std::size_t i = 0; i < 4; ++i) {
        const char c =
            reply[i] >= 'a' && reply[i] <= 'z' ? static_cast<char>(reply[i] - 'a' + 'A') : reply[i];
        if (c != kErr[i])
            return false;
    }
    return true;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Leading blanks skipped, then the digits up to the first other character (none give 0); pos ends
// after the digits. Saturates instead of wrapping.
std::uint64_t NumberAt(const std::string& text, std::size_t& pos)
{
    while (pos < text.size() && IsBlank(text[pos]))
        ++pos;
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t value = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        const auto digit = static_cast<std::uint64_t>(text[pos] - '0');
        value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
    }
    return value;
}

template <typename T> T Clamp(std::uint64_t value)
{
    return static_cast<T>(std::min<std::uint64_t>(value, std::numeric_limits<T>::max()));
}

// A line break inside a user name or password would smuggle a second command onto the wire.
bool FitsOneLine(const std::string& text)
{
    return text.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

std::string ToLowerAscii(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

} // namespace

std::optional<CPop3Address> CPop3Address::Parse(const std::string& server)
{
    const auto first = server.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::nullopt;
    std::string rest = server.substr(first, server.find_last_not_of(" \t") + 1 - first);
    CPop3Address address;
    const std::string lower = ToLowerAscii(rest);
    if (lower.starts_with("pop3s://")) {
        address.tls = true;
        rest.erase(0, 8);
    } else if (lower.starts_with("pop3://")) {
        rest.erase(0, 7);
    }
    if (!rest.empty() && rest.back() == '/')
        rest.pop_back();
    const std::uint16_t defaultPort = address.tls ? 995 : 110;
    if (!CTcpSocket::SplitHostPort(rest, defaultPort, address.host, address.port))
        return std::nullopt;
    return address;
}

CPop3Client::CPop3Client(CPop3Options options)
    : m_options(std::move(options)), m_socket(m_options.waitHook, m_options.timeouts)
{
    m_socket.SetStopFlag(m_options.stop);
}

CPop3Client::~CPop3Client() = default;

void CPop3Client::Drop()
{
    m_tls.reset();
    m_socket.Close();
    m_pending.clear();
}

bool CPop3Client::Connect(const std::string& server)
{
    Drop();
    const auto address = CPop3Address::Parse(server);
    if (address)
        m_peer = address->host + ":" + std::to_string(address->port);
    if (!address || !m_socket.Connect(address->host, address->port)) {
        m_errorText = m_socket.LastFailure() == CTcpSocket::Failure::Socket
                          ? SocketError(m_socket.LastErrno())
                          : ConnectError();
        return address ? SocketFailed()
                       : Fail(windows1250::FromUtf8Lossy("nieprawidłowy adres serwera poczty"));
    }
    if (!address->tls)
        return true;
    m_tls = std::make_unique<CTlsStream>(m_socket);
    if (!m_tls->Handshake(address->host, m_options.caFile)) {
        m_errorText = ConnectError() + "\nTLS: " + m_tls->ErrorText();
        Fail("TLS: " + m_tls->ErrorText());
        Drop();
        return false;
    }
    return true;
}

COutcome CPop3Client::Login(const std::string& server, const std::string& user, const std::string& password)
{
    m_reason.clear();
    // The check starts here; the login has the shorter limit of the two.
    const auto now = CTcpSocket::Clock::now();
    m_checkEnd = now + m_options.checkLimit;
    m_socket.SetDeadline(std::min(m_checkEnd, now + m_options.loginLimit));
    const bool ok = LoginSteps(server, user, password);
    m_socket.SetDeadline(m_checkEnd);
    return ok ? COutcome::Done() : COutcome::Failed(m_reason);
}

bool CPop3Client::Fail(std::string reason)
{
    m_reason = std::move(reason);
    return false;
}

bool CPop3Client::SocketFailed()
{
    return Fail(m_tls && !m_tls->ErrorText().empty() ? "TLS: " + m_tls->ErrorText()
                                                     : m_socket.FailureReason(m_peer));
}

bool CPop3Client::LoginSteps(const std::string& server, const std::string& user, const std::string& password)
{
    if (!Connect(server))
        return false;
    std::string greeting;
    if (!ReadLine(greeting, kMaxStatusLine)) {
        SocketFailed();
        Drop();
        m_errorText = ConnectError();
        return false;
    }
    if (IsRefusal(greeting)) {
        m_errorText = ConnectError();
        // The connection stays, so the caller's QUIT still reaches the server.
        return Fail(windows1250::FromUtf8Lossy("serwer poczty nie przyjął połączenia"));
    }
    const struct
    {
        const std::string& value;
        const std::string& refusal;
        const char* word;
        const char* reason;
    } steps[] = {{user, UserError(), "USER ", "serwer poczty nie przyjął nazwy użytkownika"},
                 {password, PasswordError(), "PASS ", "serwer poczty nie przyjął hasła"}};
    for (const auto& step : steps) {
        if (!FitsOneLine(step.value)) {
            m_errorText = step.refusal;
            return Fail(windows1250::FromUtf8Lossy(step.reason));
        }
        switch (Command(step.word + step.value + "\r\n")) {
        case Reply::Accepted:
            break;
        case Reply::Refused:
            m_errorText = step.refusal;
            return Fail(windows1250::FromUtf8Lossy(step.reason));
        case Reply::Broken:
            m_errorText = ConnectError();
            return false;
        }
    }
    return true;
}

bool CPop3Client::SendLine(const std::string& line)
{
    if (!m_socket.IsConnected())
        return false;
    return m_tls ? m_tls->SendAll(line) : m_socket.SendAll(line);
}

bool CPop3Client::Fill()
{
    if (!m_socket.IsConnected())
        return false;
    char buffer[4096];
    const long n = m_tls ? m_tls->Receive(buffer, sizeof buffer) : m_socket.Receive(buffer, sizeof buffer);
    if (n <= 0)
        return false;
    m_pending.append(buffer, static_cast<std::size_t>(n));
    return true;
}

bool CPop3Client::ReadLine(std::string& line, std::size_t limit)
{
    std::size_t searched = 0;
    for (;;) {
        const auto end = m_pending.find('\n', searched);
        if (end != std::string::npos) {
            line.assign(m_pending, 0, end);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            m_pending.erase(0, end + 1);
            return true;
        }
        if (m_pending.size() > limit)
            return false;
        searched = m_pending.size();
        if (!Fill())
            return false;
    }
}

bool CPop3Client::ReadMultiLine(std::string& body)
{
    body.clear();
    for (;;) {
        std::string line;
        if (!ReadLine(line, kMaxMultiLine - std::min(body.size(), kMaxMultiLine)))
            return false;
        if (line == ".")
            return true;
        if (!line.empty() && line.front() == '.')
            line.erase(0, 1);
        body += line;
        body += "\r\n";
        if (body.size() > kMaxMultiLine)
            return false;
    }
}

CPop3Client::Reply CPop3Client::Command(const std::string& line)
{
    if (!SendLine(line) || !ReadLine(m_lastReply, kMaxStatusLine)) {
        SocketFailed();
        // Whatever the server still sends would be taken for the next reply: the stream is done.
        Drop();
        return Reply::Broken;
    }
    return IsRefusal(m_lastReply) ? Reply::Refused : Reply::Accepted;
}

bool CPop3Client::Command(const std::string& line, const char* word)
{
    if (Command(line) == Reply::Accepted)
        return true;
    return Refuse(word);
}

bool CPop3Client::Refuse(const char* word)
{
    m_errorText = std::string("Error occured during ") + word;
    return false;
}

COutcome CPop3Client::Stat()
{
    m_reason.clear();
    const Reply reply = Command("STAT \r\n");
    if (reply == Reply::Refused)
        Fail(windows1250::FromUtf8Lossy("serwer poczty odrzucił polecenie STAT"));
    // A reply without a count must not read as an empty mailbox.
    else if (reply == Reply::Accepted && !ParseStat(m_lastReply))
        Fail(windows1250::FromUtf8Lossy("niepoprawna odpowiedź serwera poczty na polecenie STAT"));
    if (m_reason.empty())
        return COutcome::Done();
    Refuse("STAT");
    return COutcome::Failed(m_reason);
}

bool CPop3Client::List()
{
    if (!Command("LIST  \r\n", "LIST"))
        return false;
    std::string body;
    if (!ReadMultiLine(body)) {
        Drop();
        return Refuse("LIST");
    }
    ParseListing(body);
    return true;
}

bool CPop3Client::Retr(int message)
{
    if (!Command("RETR " + std::to_string(message) + "\r\n", "RETR"))
        return false;
    std::string body;
    if (!ReadMultiLine(body)) {
        Drop();
        return Refuse("RETR");
    }
    m_messageText = std::move(body);
    return true;
}

bool CPop3Client::Dele(int message)
{
    return Command("DELE " + std::to_string(message) + "\r\n", "DELE");
}

bool CPop3Client::Noop()
{
    return Command("NOOP  \r\n", "NOOP");
}

bool CPop3Client::Rset()
{
    return Command("RSET \r\n", "RSET");
}

bool CPop3Client::Quit()
{
    const bool ok = Command("QUIT \r\n", "QUIT");
    Drop();
    return ok;
}

bool CPop3Client::ParseStat(const std::string& reply)
{
    // "+OK count size", separated by blanks or tabs; a missing size keeps the one before.
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    if (reply.size() < 3 || ToLowerAscii(reply.substr(0, 3)) != "+ok")
        return false;
    std::size_t pos = 3;
    if (pos >= reply.size() || !IsBlank(reply[pos]))
        return false;
    while (pos < reply.size() && IsBlank(reply[pos]))
        ++pos;
    if (pos >= reply.size() || !isDigit(reply[pos]))
        return false;
    const std::int32_t count = Clamp<std::int32_t>(NumberAt(reply, pos));
    if (pos < reply.size() && !IsBlank(reply[pos]))
        return false;
    while (pos < reply.size() && IsBlank(reply[pos]))
        ++pos;
    std::optional<std::int64_t> size;
    if (pos < reply.size()) {
        if (!isDigit(reply[pos]))
            return false;
        size = Clamp<std::int64_t>(NumberAt(reply, pos));
        if (pos < reply.size() && !IsBlank(reply[pos]))
            return false;
    }
    m_messageCount = count;
    if (size)
        m_mailboxSize = *size;
    return true;
}

void CPop3Client::ParseListing(const std::string& body)
{
    // Each "number size" line adds its size; the listing grows across LIST commands.
    std::size_t start = 0;
    while (start < body.size()) {
        const auto end = body.find("\r\n", start);
        const std::string line = body.substr(start, end - start);
        start = end + 2;
        std::size_t pos = line.find_first_of(" \t");
        if (pos == std::string::npos)
            continue;
        ++pos;
        m_listing.push_back(NumberAt(line, pos));
    }
}

std::uint64_t CPop3Client::GetMessageSize(std::size_t position) const
{
    return position >= 1 && position <= m_listing.size() ? m_listing[position - 1] : 0;
}
