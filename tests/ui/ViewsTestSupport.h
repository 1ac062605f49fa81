#pragma once

#include <ctime>
#include <memory>
#include <string>

#include <QDir>
#include <QWidget>

#include "UiTestSupport.h"
#include "app/Document.h"
#include "store/Address.h"
#include "store/AddressBook.h"
#include "store/Windows1250.h"
#include "ui/BrivantelFrame.h"
#include "ui/BrivantelView.h"

// Helpers shared by the folder, address-book and address-dialog tests.
namespace views_test {

inline std::string Polish(const char* utf8)
{
    return windows1250::FromUtf8Lossy(utf8);
}

inline CAddress* AddEntry(CAddressBook& book, const char* first, const char* surname, const char* display,
                          const char* code, const char* number)
{
    auto entry = std::make_unique<CAddress>();
    entry->SetFirstName(Polish(first));
    entry->SetSurname(Polish(surname));
    entry->SetDisplayName(Polish(display));
    entry->SetCountryPrefix("+48");
    entry->SetOperatorCode(code);
    entry->SetSubscriberNumber(number);
    CAddress* kept = entry.get();
    return book.AddAddress(entry) ? kept : nullptr;
}

// The state a view gives its command (false when the view does not handle it).
inline bool Enabled(const CBrivantelView& view, CommandId command)
{
    const auto state = view.QueryCommand(command);
    return state && state->enabled;
}

inline bool Checked(const CBrivantelView& view, CommandId command)
{
    const auto state = view.QueryCommand(command);
    return state && state->checked;
}

// The program's main window switched to one view, the way the user reaches it: its commands run
// through the window's one action each, as from the menu, a bar or a key.
template <class View> struct InFrame
{
    InFrame(CBrivantelDoc& document, CommandId command)
        : frame(document, document.GetSettingsStore()), view(Switch(frame, command))
    {
    }
    static View& Switch(CBrivantelFrame& frame, CommandId command)
    {
        frame.SwitchView(command);
        return dynamic_cast<View&>(*frame.GetActiveView());
    }
    void Run(CommandId command) { TriggerEnabled(frame.Action(command)); }
    bool Offers(CommandId command) const { return frame.Action(command)->isEnabled(); }

    CBrivantelFrame frame;
    View& view;
};

// Seconds since 1970 of a local date and time.
inline std::uint32_t LocalTime(int year, int month, int day, int hour, int minute, int second)
{
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    parts.tm_isdst = -1;
    return static_cast<std::uint32_t>(std::mktime(&parts));
}

} // namespace views_test
