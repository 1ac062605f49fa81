#pragma once

#include <string>

class CSettingsStore;

// When the daily online update is due: automatic checking is on and the date of the last
// successful update is not today.
namespace update_schedule {

struct Date
{
    int year = 2000;
    int month = 1;
    int day = 1;
};

Date Today();
std::string Format(const Date& date);

bool IsDue(const CSettingsStore& store, const Date& today);
void RecordUpdate(CSettingsStore& store, const Date& today);

} // namespace update_schedule
