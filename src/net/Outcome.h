#pragma once

#include <string>
#include <utility>

// How an exchange with a peer ended (a gateway, the phone, the mail server, the maker's server):
// done, or failed with a short Polish reason (Windows-1250) for the user: "serwer nie odpowiedział
// w wyznaczonym czasie", "telefon czeka na PIN".
struct [[nodiscard]] COutcome
{
    bool done = false;
    std::string reason;

    static COutcome Done() { return {true, {}}; }
    static COutcome Failed(std::string why) { return {false, std::move(why)}; }
    explicit operator bool() const { return done; }
};
