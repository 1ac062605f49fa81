#include "net/HttpHead.h"

#include <cctype>

namespace http_response {
namespace {

std::string Lower(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// Digits only, no sign, no overflow.
bool ParseSize(std::string_view text, std::size_t& value, int base = 10)
{
    if (text.empty() || text.size() > 15)
        return false;
    value = 0;
    for (const char c : text) {
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && std::isxdigit(static_cast<unsigned char>(c)))
            digit = std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
        if (digit < 0)
            return false;
        value = value * static_cast<std::size_t>(base) + static_cast<std::size_t>(digit);
    }
    return true;
}

void ParseHeaderLine(std::string_view line, Head& head)
{
    const auto colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) {
        head.badLine = true;
        return;
    }
    const std::string name = Lower(Trim(line.substr(0, colon)));
    const std::string_view value = Trim(line.substr(colon + 1));
    if (name == "content-length") {
        std::size_t n = 0;
        if (!ParseSize(value, n) || (head.hasLength && n != head.length))
            head.badFraming = true;
        head.hasLength = true;
        head.length = n;
    } else if (name == "transfer-encoding") {
        const std::string v = Lower(value);
        if (v == "chunked")
            head.chunked = true;
        else if (v != "identity")
            head.badFraming = true;
    }
}

} // namespace

std::size_t HeadEnd(std::string_view raw, std::size_t from)
{
    for (std::size_t i = raw.find('\n', from); i != std::string_view::npos; i = raw.find('\n', i + 1)) {
        if (i + 1 < raw.size() && raw[i + 1] == '\n')
            return i + 2;
        if (i + 2 < raw.size() && raw[i + 1] == '\r' && raw[i + 2] == '\n')
            return i + 3;
    }
    return std::string_view::npos;
}

int StatusCode(std::string_view line)
{
    // "HTTP/1.0 200 OK"
    if (!line.starts_with("HTTP/"))
        return 0;
    const auto space = line.find(' ');
    if (space == std::string_view::npos || space > 10 || line.size() < space + 4)
        return 0;
    int code = 0;
    for (std::size_t i = space + 1; i < space + 4; ++i) {
        if (line[i] < '0' || line[i] > '9')
            return 0;
        code = code * 10 + (line[i] - '0');
    }
    if (line.size() > space + 4 && line[space + 4] != ' ' && line[space + 4] != '\r')
        return 0;
    return code;
}

Parse ParseHeadLenient(std::string_view raw, Head& head)
{
    head = Head{};
    const std::size_t end = HeadEnd(raw);
    if (end == std::string_view::npos)
        return Parse::NeedMore;
    head.size = end;
    std::string_view rest = raw.substr(0, end);
    bool first = true;
    while (!rest.empty()) {
        const auto eol = rest.find('\n');
        std::string_view line = rest.substr(0, eol);
        rest.remove_prefix(eol == std::string_view::npos ? rest.size() : eol + 1);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (first) {
            head.statusLine = std::string(line);
            head.status = StatusCode(line);
            if (head.status == 0)
                return Parse::Bad;
            first = false;
            continue;
        }
        if (line.empty())
            break;
        head.header.append(line);
        head.header += "\r\n";
        ParseHeaderLine(line, head);
    }
    if (head.chunked)
        head.hasLength = false; // the chunking decides where the body ends
    return Parse::Complete;
}

Parse ParseHead(std::string_view raw, Head& head)
{
    const Parse parse = ParseHeadLenient(raw, head);
    if (parse == Parse::Complete && (head.badFraming || head.badLine))
        return Parse::Bad;
    return parse;
}

std::optional<std::string> HeaderValue(std::string_view header, std::string_view name)
{
    while (!header.empty()) {
        const auto end = header.find("\r\n");
        const std::string_view line = header.substr(0, end);
        const auto colon = line.find(':');
        if (colon != std::string_view::npos && Lower(Trim(line.substr(0, colon))) == name)
            return std::string(Trim(line.substr(colon + 1)));
        if (end == std::string_view::npos)
            break;
        header.remove_prefix(end + 2);
    }
    return std::nullopt;
}

Parse DecodeChunked(std::string_view raw, std::size_t maxBody, std::string& body)
{
    body.clear();
    for (;;) {
        const auto eol = raw.find("\r\n");
        if (eol == std::string_view::npos)
            return raw.size() > 1024 ? Parse::Bad : Parse::NeedMore;
        std::string_view sizeText = raw.substr(0, eol);
        sizeText = Trim(sizeText.substr(0, sizeText.find(';'))); // chunk extensions are ignored
        std::size_t size = 0;
        if (!ParseSize(sizeText, size, 16))
            return Parse::Bad;
        raw.remove_prefix(eol + 2);
        if (size == 0) {
            // Trailer lines up to an empty line.
            if (raw.starts_with("\r\n"))
                return Parse::Complete;
            return raw.find("\r\n\r\n") == std::string_view::npos ? Parse::NeedMore : Parse::Complete;
        }
        if (body.size() + size > maxBody)
            return Parse::Bad;
        if (raw.size() < size + 2)
            return Parse::NeedMore;
        if (raw.substr(size, 2) != "\r\n")
            return Parse::Bad;
        body.append(raw.substr(0, size));
        raw.remove_prefix(size + 2);
    }
}

} // namespace http_response

CHttpHeadReader::State CHttpHeadReader::Fail(std::string reason)
{
    m_reason = std::move(reason);
    m_state = State::Failed;
    return m_state;
}

CHttpHeadReader::State CHttpHeadReader::Feed(std::string_view piece)
{
    if (m_state != State::NeedMore)
        return m_state;
    m_raw.append(piece);
    for (;;) {
        const std::size_t end = http_response::HeadEnd(m_raw, m_scanned);
        if (end == std::string::npos) {
            m_scanned = m_raw.size() < 2 ? 0 : m_raw.size() - 2;
            if (m_consumed + m_raw.size() > m_maxHead)
                return Fail("nag\xB3\xF3wek odpowiedzi serwera jest d\xB3u\xBFszy ni\xBF " +
                            std::to_string(m_maxHead / 1024) + " KiB");
            return m_state;
        }
        if (m_consumed + end > m_maxHead)
            return Fail("nag\xB3\xF3wek odpowiedzi serwera jest d\xB3u\xBFszy ni\xBF " +
                        std::to_string(m_maxHead / 1024) + " KiB");
        if (http_response::ParseHeadLenient(std::string_view(m_raw).substr(0, end), m_head) ==
            http_response::Parse::Bad)
            return Fail("serwer nie odpowiedzia\xB3 po HTTP");
        if (m_head.status >= 200) {
            m_state = State::Complete;
            return m_state;
        }
        // An interim answer ("100 Continue"): the real one follows.
        if (++m_interim > kMaxInterim)
            return Fail("serwer przys\xB3"
                        "a\xB3 za du\xBFo odpowiedzi wst\xEApnych (1xx)");
        m_consumed += end;
        m_raw.erase(0, end);
        m_scanned = 0;
    }
}

std::string CHttpHeadReader::TakeRest()
{
    if (m_state != State::Complete)
        return {};
    std::string rest = m_raw.substr(m_head.size);
    m_raw.clear();
    return rest;
}
