#include "send/MarkerScanner.h"

CMarkerScanner::CMarkerScanner(std::string marker) : m_marker(std::move(marker)) {}

CMarkerScanner::CMarkerScanner(std::string marker, char terminator, std::size_t maxValue)
    : m_marker(std::move(marker)), m_withValue(true), m_terminator(terminator), m_maxValue(maxValue)
{
}

bool CMarkerScanner::Feed(std::string_view piece)
{
    if (m_seen)
        return m_withValue ? FeedValue(piece) : true;
    m_window.append(piece);
    const auto at = m_window.find(m_marker);
    if (at == std::string::npos) {
        // Only the tail that could still begin the marker is worth keeping.
        const std::size_t keep = m_marker.empty() ? 0 : m_marker.size() - 1;
        if (m_window.size() > keep)
            m_window.erase(0, m_window.size() - keep);
        return false;
    }
    m_seen = true;
    const std::string rest = m_window.substr(at + m_marker.size());
    m_window.clear();
    m_window.shrink_to_fit();
    return m_withValue ? FeedValue(rest) : true;
}

bool CMarkerScanner::FeedValue(std::string_view piece)
{
    if (m_complete || m_tooLong)
        return true;
    const auto end = piece.find(m_terminator);
    m_value.append(piece.substr(0, end));
    if (m_value.size() > m_maxValue) {
        m_tooLong = true;
        return true;
    }
    m_complete = end != std::string_view::npos;
    return m_complete;
}

namespace {

// How much of the page before a confirmation is kept to look for the negation: the word, with
// the blanks and tags a page may put between it and the confirmation.
constexpr std::size_t kNegationContext = 512;

bool IsLetter(char c)
{
    const auto b = static_cast<unsigned char>(c);
    return (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || b >= 0x80;
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

CConfirmationScanner::CConfirmationScanner(std::string confirmation) : m_confirmation(std::move(confirmation))
{
}

bool CConfirmationScanner::EndsInNegation(std::string_view before)
{
    for (;;) {
        if (before.empty())
            return false;
        const char last = before.back();
        if (before.ends_with("\xC2\xA0")) { // a UTF-8 no-break space (own gateway pages)
            before.remove_suffix(2);
        } else if (last == ' ' || last == '\t' || last == '\r' || last == '\n' || last == '\xA0') {
            before.remove_suffix(1);
        } else if (before.ends_with("&nbsp;")) {
            before.remove_suffix(6);
        } else if (last == '>') {
            const auto open = before.rfind('<');
            if (open == std::string_view::npos)
                return false;
            before.remove_suffix(before.size() - open);
        } else {
            break;
        }
    }
    if (before.size() < 3)
        return false;
    const std::string_view word = before.substr(before.size() - 3);
    if (Lower(word[0]) != 'n' || Lower(word[1]) != 'i' || Lower(word[2]) != 'e')
        return false;
    return before.size() == 3 || !IsLetter(before[before.size() - 4]);
}

bool CConfirmationScanner::Feed(std::string_view piece)
{
    if (m_decided)
        return true;
    m_window.append(piece);
    const auto at = m_window.find(m_confirmation);
    if (at == std::string::npos) {
        const std::size_t keep = m_confirmation.size() + kNegationContext;
        if (m_window.size() > keep)
            m_window.erase(0, m_window.size() - keep);
        return false;
    }
    m_decided = true;
    m_confirmed = !EndsInNegation(std::string_view(m_window).substr(0, at));
    m_window.clear();
    return true;
}
