#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "messagedb/MessageDb.h"

class CBrivantelDoc;
class CMessage;

// One message of an exchange, as small as a thread of thousands needs: its text is read only when
// its row is shown.
struct ConversationItem
{
    enum class Kind : std::uint8_t
    {
        Sent,
        Queued, // still in the outbox
        Received
    };
    Kind kind = Kind::Sent;
    bool read = true;
    std::int64_t time = 0;
    const CMessage* message = nullptr; // sent and queued: the folder's message
    std::int64_t id = 0;               // received: its id in Brivantel.db
    int chars = 0;                     // the text's characters and lines, to size its row unread
    int lines = 1;
};

// One person or number.
struct Conversation
{
    std::string key;  // the normalised number, or a sender's name ("Orange")
    std::string name; // the address book's display name (UTF-8); empty when none matches
    std::int64_t last = 0;
    int unread = 0;
    const CMessage* lastFiled = nullptr; // the newest sent or waiting message, for the first words
    std::int64_t lastFiledTime = 0;
    std::int64_t lastReceived = 0;       // the newest received message's time
    bool loaded = false;                 // items read (the thread was opened)
    std::vector<ConversationItem> items; // in time order once loaded
};

// Every exchange with each person: the data file's sent folder and outbox and the received
// messages, grouped by the normalised number, so that "+48 602 123 456", "602123456" and
// "0048602123456" are one person. The list needs only each person's newest time and unread count
// (the received side comes from the database's index of senders); a thread's messages are read
// when it is opened. Items point into the document's folders: the index is built again whenever
// a folder changes (IsCurrent says when it has not been yet).
class CConversationIndex
{
public:
    void Build(CBrivantelDoc& document, const std::vector<SenderSummary>& received);

    // Newest first.
    const std::vector<Conversation>& List() const { return m_list; }
    // The row of a key; -1 when there is none.
    int Find(const std::string& key) const;
    // The row of a person with nothing exchanged yet, added for them (or the row they have).
    int Add(const std::string& key);
    // The row's messages in time order (equal times: sent, waiting, received, each as filed), read
    // on the first call: the received ones from db when it is open.
    const std::vector<ConversationItem>& Thread(int row, const CMessageDb* db, std::int64_t now);
    // Counts the row's received messages as read.
    void MarkRead(int row);
    // The key for a number in any form or an address book name (Windows-1250).
    std::string KeyFor(const std::string& numberOrName) const;
    // False once a folder changed after the index was built: its message pointers may be stale.
    bool IsCurrent(CBrivantelDoc& document) const;

private:
    const std::vector<std::string>& KeysOf(const std::string& recipients);

    CBrivantelDoc* m_document = nullptr;
    std::vector<Conversation> m_list;
    std::unordered_map<std::string, int> m_rows;
    std::unordered_map<std::string, std::string> m_numberOfName;        // display name -> full number
    std::unordered_map<std::string, std::string> m_nameOfKey;           // key -> display name (UTF-8)
    std::unordered_map<std::string, std::vector<std::string>> m_keysOf; // recipients -> keys
    std::uint64_t m_sentStamp = 0;
    std::uint64_t m_outboxStamp = 0;
    std::uint64_t m_bookSize = 0;
};
