#include "app/Conversations.h"

#include <algorithm>

#include "app/Document.h"
#include "store/Recipients.h"
#include "store/Windows1250.h"

namespace {

void AddFiled(std::vector<ThreadItem>& items, const CMessageList& list, ThreadItem::Kind kind,
              CAddressBook& book, const CMessageDb& db)
{
    for (const auto& message : list.GetMessages()) {
        const std::string& recipients = message->GetRecipients();
        // Filed under a name, a number, or several of either between ";".
        std::vector<std::string> pieces;
        if (book.ExistsDisplayName(recipients))
            pieces.push_back(recipients);
        else
            pieces = recipients::Split(recipients);
        for (const auto& piece : pieces) {
            if (piece.empty())
                continue;
            std::string number = book.NumberForName(piece);
            if (number.empty())
                number = piece;
            ThreadItem item;
            item.kind = kind;
            item.key = CMessageDb::NormaliseNumber(number);
            item.filed = recipients;
            item.number = windows1250::ToUtf8(number);
            item.time = message->GetTime();
            item.text = windows1250::ToUtf8(message->GetText());
            if (kind == ThreadItem::Kind::Sent && db.IsOpen())
                item.delivery = db.DeliveryOf(recipients, message->GetText(), message->GetTime(), number);
            items.push_back(std::move(item));
        }
    }
}

} // namespace

CConversations::CConversations(CBrivantelDoc& doc, const CMessageDb& db, std::int64_t now)
{
    CAddressBook& book = doc.GetAddressBook();
    for (const auto& entry : book.GetEntries()) {
        const std::string key = CMessageDb::NormaliseNumber(entry->GetFullNumber());
        m_names.emplace(key, windows1250::ToUtf8(entry->GetDisplayName()));
        m_byName.emplace(entry->GetDisplayName(), key);
    }
    AddFiled(m_items, doc.GetSent(), ThreadItem::Kind::Sent, book, db);
    AddFiled(m_items, doc.GetOutbox(), ThreadItem::Kind::Queued, book, db);
    if (db.IsOpen()) {
        for (const auto& m : db.List({}, now)) {
            ThreadItem item;
            item.kind = ThreadItem::Kind::Received;
            item.key = m.sender;
            item.number = m.senderRaw.empty() ? m.sender : m.senderRaw;
            item.time = m.sentKnown ? m.sentUtc : m.receivedUtc;
            item.text = m.readable ? m.text : "Nieczytelna wiadomość";
            item.read = m.read;
            item.id = m.id;
            m_items.push_back(std::move(item));
        }
    }
    std::stable_sort(m_items.begin(), m_items.end(),
                     [](const ThreadItem& a, const ThreadItem& b) { return a.time < b.time; });
}

std::vector<ConversationSummary> CConversations::List() const
{
    std::map<std::string, ConversationSummary> byKey;
    for (const auto& item : m_items) {
        ConversationSummary& s = byKey[item.key];
        s.key = item.key;
        s.last = item.time;
        s.preview = item.text;
        if (!item.read)
            ++s.unread;
    }
    std::vector<ConversationSummary> list;
    list.reserve(byKey.size());
    for (auto& [key, summary] : byKey) {
        summary.name = NameFor(key);
        list.push_back(std::move(summary));
    }
    std::stable_sort(list.begin(), list.end(),
                     [](const ConversationSummary& a, const ConversationSummary& b) {
                         return a.last != b.last ? a.last > b.last : a.key < b.key;
                     });
    return list;
}

std::vector<ThreadItem> CConversations::Thread(const std::string& key) const
{
    std::vector<ThreadItem> thread;
    for (const auto& item : m_items)
        if (item.key == key)
            thread.push_back(item);
    return thread;
}

std::string CConversations::KeyFor(const std::string& numberOrName) const
{
    if (const auto it = m_byName.find(numberOrName); it != m_byName.end())
        return it->second;
    const std::string key = CMessageDb::NormaliseNumber(numberOrName);
    // A name that is not in the address book may still be a sender's ("Orange").
    return key;
}

std::string CConversations::NameFor(const std::string& key) const
{
    const auto it = m_names.find(key);
    return it == m_names.end() ? std::string() : it->second;
}

std::vector<ThreadItem> CConversations::Sent() const
{
    std::vector<ThreadItem> sent;
    for (const auto& item : m_items)
        if (item.kind == ThreadItem::Kind::Sent)
            sent.push_back(item);
    return sent;
}

const char* DeliveryWord(Delivery state)
{
    switch (state) {
    case Delivery::Delivered:
        return "delivered";
    case Delivery::Failed:
        return "failed";
    case Delivery::Pending:
        return "pending";
    case Delivery::None:
        break;
    }
    return "";
}
