#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Looks for a marker in a reply that arrives in pieces, wherever the pieces are cut, and keeps
// only as much of what came before as a marker split across two pieces needs. With a terminator
// it also collects the value that follows the marker up to that character.
class CMarkerScanner
{
public:
    explicit CMarkerScanner(std::string marker);
    CMarkerScanner(std::string marker, char terminator, std::size_t maxValue);

    // Takes the next piece; true once the search is over (found, or a value grew too long).
    bool Feed(std::string_view piece);

    bool MarkerSeen() const { return m_seen; }
    // Found: the marker, and with a terminator the whole value, have arrived.
    bool Found() const { return m_seen && (!m_withValue || m_complete); }
    bool TooLong() const { return m_tooLong; }
    // What followed the marker: up to the terminator, or all that arrived when none has.
    const std::string& Value() const { return m_value; }

private:
    bool FeedValue(std::string_view piece);

    std::string m_marker;
    bool m_withValue = false;
    char m_terminator = 0;
    std::size_t m_maxValue = 0;
    std::string m_window;
    bool m_seen = false;
    bool m_complete = false;
    bool m_tooLong = false;
    std::string m_value;
};

// Looks for a gateway's confirmation text in a reply page that arrives in pieces. The text also
// stands in the page that says the opposite ("Wiadomość nie została wysłana!"), so a confirmation
// preceded by the word "nie" (blanks, line breaks and tags between them skipped) is a refusal.
class CConfirmationScanner
{
public:
    explicit CConfirmationScanner(std::string confirmation);

    // Takes the next piece; true once the page has decided (confirmed or refused).
    bool Feed(std::string_view piece);
    bool Confirmed() const { return m_confirmed; }

    // Whether the text before a confirmation ends in the word "nie".
    static bool EndsInNegation(std::string_view before);

private:
    std::string m_confirmation;
    std::string m_window;
    bool m_confirmed = false;
    bool m_decided = false;
};
