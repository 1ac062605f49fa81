#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>

#include <QString>

#include "messagedb/MessageDb.h"

class CMessage;

// The sent folder's "Stan": each filed copy's delivery state, read from Brivantel.db in one go
// when the folder is shown and again when a send or a report changed it, so that painting a row
// of a folder of a hundred thousand messages asks the database nothing.
//
// A copy is named as the send recorded it: its recipients, text and time as filed.
class CDeliveryColumn
{
public:
    // Reads every state afresh; a closed database leaves the column empty.
    void Load(const CMessageDb& db);
    void Clear() { m_states.clear(); }
    DeliveryState StateOf(const CMessage& message) const;
    // "", "Wysłano", "Doręczono 12:03" (with the date when not today), "Nie doręczono".
    QString Text(const CMessage& message) const;
    static QString Text(const DeliveryState& state, std::int64_t now);
    // Tests set "now", which decides whether a delivery was today.
    void SetClock(std::function<std::int64_t()> clock) { m_clock = std::move(clock); }

private:
    static std::string Key(const std::string& name, const std::string& text, std::int64_t filed);

    std::unordered_map<std::string, DeliveryState> m_states;
    std::function<std::int64_t()> m_clock;
};
