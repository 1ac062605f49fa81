#pragma once

#include <cstdint>

class CBrivantelDoc;

// The mailbox-watch schedule, stepped by the one-second timer with the current time, so a test
// can run years of it in a loop. The first check runs on the first tick at or after the start;
// each check moves the next one on by the interval from where it was, so the checks keep their
// rhythm. After the computer slept through more than one interval the missed checks are made up by
// one check, and the next is an interval from then; a clock set back schedules from the new time
// too, instead of waiting for it to catch up.
class CMailSchedule
{
public:
    // Seconds since 1970.
    explicit CMailSchedule(std::int64_t start) : m_next(start) {}

    // One tick: true when a check ran. Nothing happens before the next check time, without a
    // document, or while a check runs (a tick from inside a check's modal message box).
    bool Tick(std::int64_t now, CBrivantelDoc* doc);

    std::int64_t NextCheck() const { return m_next; }

private:
    std::int64_t m_next;
};
