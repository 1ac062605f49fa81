#include "app/UpdateSchedule.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "app/SettingsKeys.h"

namespace update_schedule {
namespace {

// The number in characters [from, from + count) as the C runtime's atoi reads it.
int NumberAt(const std::string& text, std::size_t from, std::size_t count)
{
    if (from >= text.size())
        return 0;
    return std::atoi(text.substr(from, count).c_str());
}

// Local midnight of a date; out-of-range fields roll over as the C runtime rolls them.
std::time_t Midnight(int year, int month, int day)
{
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

} // namespace

Date Today()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

std::string Format(const Date& date)
{
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
    return text;
}

bool IsDue(const CSettingsStore& store, const Date& today)
{
    int due = 1;
    const std::string date = store.Get(settings_keys::kLastUpdate);
    if (!date.empty()) {
        const std::time_t stored = Midnight(NumberAt(date, 0, 4), NumberAt(date, 5, 2), NumberAt(date, 8, 2));
        if (stored == Midnight(today.year, today.month, today.day))
            due = 0;
    }
    // A bitwise AND, as the flag has always been combined; the settings page writes only 0 or 1.
    return (due & store.Get(settings_keys::kAutoUpdate)) != 0;
}

void RecordUpdate(CSettingsStore& store, const Date& today)
{
    store.Set(settings_keys::kLastUpdate, Format(today));
}

} // namespace update_schedule
