#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "messagedb/MessageDb.h"

class CBrivantelDoc;

// One message of an exchange with a person: sent (from the sent folder), waiting (outbox) or
// received (Brivantel.db). Texts are UTF-8.
struct ThreadItem
{
    enum class Kind
    {
        Sent,
        Queued,
        Received
    };
    Kind kind = Kind::Sent;
    std::string key;       // the normalised number, or a sender's name ("Orange")
    std::string filed;     // sent and waiting: the recipients as filed (Windows-1250)
    std::string number;    // the number as filed or received
    std::int64_t time = 0; // seconds since 1970
    std::string text;
    DeliveryState delivery;
    bool read = true;
    std::int64_t id = 0; // received: its id in the database
};

// One person or number, for a list of conversations.
struct ConversationSummary
{
    std::string key;
    std::string name; // from the address book (UTF-8); empty when none matches
    std::int64_t last = 0;
    std::string preview; // the last message's text
    int unread = 0;
};

// Every exchange with each person, taken from the data file's sent folder and outbox and the
// received messages. Numbers are grouped by their normalised form, so "+48 602 123 456",
// "602123456" and "0048602123456" are one person. A snapshot: build it again after a change.
class CConversations
{
public:
    // db may be closed: then only what the data file holds is shown.
    CConversations(CBrivantelDoc& doc, const CMessageDb& db, std::int64_t now);

    // Newest first.
    std::vector<ConversationSummary> List() const;
    // In time order (equal times: as filed or received).
    std::vector<ThreadItem> Thread(const std::string& key) const;
    // The key for a number in any form or an address book name; empty when a name matches none.
    std::string KeyFor(const std::string& numberOrName) const;
    // The address book's name for the key (UTF-8), or empty.
    std::string NameFor(const std::string& key) const;
    // Sent folder items, oldest first.
    std::vector<ThreadItem> Sent() const;

private:
    std::vector<ThreadItem> m_items; // in time order
    std::map<std::string, std::string> m_names;
    std::map<std::string, std::string> m_byName; // display name (Windows-1250) -> key
};

// "delivered", "failed", "pending" or "" (no report asked for).
const char* DeliveryWord(Delivery state);
