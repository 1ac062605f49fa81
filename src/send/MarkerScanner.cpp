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
