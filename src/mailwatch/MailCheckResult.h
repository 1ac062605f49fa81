#pragma once

#include <string>

// What the last mail check did, for callers that report more than the returned count (the
// command-line tool prints the error; the returned 0 alone cannot tell "empty" from "failed").
struct CMailCheckResult
{
    enum class Outcome
    {
        Off,
        LoginFailed,
        StatFailed,
        Interrupted, // the stop flag ended the check; nothing was sent, the count stays
        Checked
    };
    enum class Notice
    {
        None,
        Sent,
        Queued
    };

    Outcome outcome = Outcome::Off;
    int count = 0;
    std::string error;  // the POP3 client's error text after a failure
    std::string reason; // and its short Polish reason
    Notice notice = Notice::None;
};
