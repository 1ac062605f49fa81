#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The status line and header lines of HTTP replies, read the same way for the web gateways, the
// user's own gateway and the maker's server. Old servers end their lines with a bare LF, so a
// head ends at CR LF CR LF as well as at LF LF (or a mix of the two).
namespace http_response {

struct Head
{
    int status = 0;
    std::string statusLine; // without its line break
    std::string header;     // the lines after the status line, each ended by CR LF
    bool hasLength = false;
    std::size_t length = 0;
    bool chunked = false;
    // Content-Length unreadable or given twice differently, or a transfer coding we cannot undo:
    // where the body ends is unknown.
    bool badFraming = false;
    bool badLine = false; // a header line without a name and a colon
    std::size_t size = 0; // bytes of the head in the input, empty line included
};

enum class Parse
{
    Complete,
    NeedMore,
    Bad
};

// Just past the empty line that ends a head in raw, or npos while it has not arrived. from: the
// first position that may hold the line break before the empty line.
std::size_t HeadEnd(std::string_view raw, std::size_t from = 0);
// Parses a head that raw holds whole; Bad only when the status line is not HTTP's.
Parse ParseHeadLenient(std::string_view raw, Head& head);
// As ParseHeadLenient, but a malformed header line or framing is Bad too.
Parse ParseHead(std::string_view raw, Head& head);
// The status code of "HTTP/1.x NNN reason"; 0 when the line is not an HTTP status line.
int StatusCode(std::string_view statusLine);
// The value of the first header line of that (lower-case) name, or nothing.
std::optional<std::string> HeaderValue(std::string_view header, std::string_view name);
// Decodes a chunked body; Complete once the last chunk and the trailer are there.
Parse DecodeChunked(std::string_view raw, std::size_t maxBody, std::string& body);

} // namespace http_response

// Reads the head of one reply from the pieces a connection delivers. Interim 1xx replies are
// skipped, but only a handful of them and within the size cap: a server that streams them would
// otherwise hold the exchange for ever. Reasons are Polish (Windows-1250).
class CHttpHeadReader
{
public:
    static constexpr std::size_t kMaxHead = 64 * 1024;
    static constexpr int kMaxInterim = 4;

    enum class State
    {
        NeedMore,
        Complete,
        Failed
    };

    explicit CHttpHeadReader(std::size_t maxHead = kMaxHead) : m_maxHead(maxHead) {}

    State Feed(std::string_view piece);
    const http_response::Head& Head() const { return m_head; }
    // What arrived after the head: the start of the body.
    std::string TakeRest();
    // What arrived since the last interim reply, while the head is not complete.
    const std::string& Received() const { return m_raw; }
    const std::string& Reason() const { return m_reason; }

private:
    State Fail(std::string reason);

    std::size_t m_maxHead;
    std::string m_raw;
    std::size_t m_scanned = 0;  // of m_raw, searched for the end of the head
    std::size_t m_consumed = 0; // bytes of interim replies already dropped
    int m_interim = 0;
    State m_state = State::NeedMore;
    http_response::Head m_head;
    std::string m_reason;
};
