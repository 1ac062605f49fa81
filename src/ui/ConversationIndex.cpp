#include "ui/ConversationIndex.h"

#include <algorithm>

#include "app/Document.h"
#include "store/Recipients.h"
#include "store/Windows1250.h"

namespace {

// Lines and characters of a Windows-1250 text with CR LF breaks, as the row sizes count them.
void Measure(const std::string& text, int& chars, int& lines)
{
    chars = 0;
    lines = 1;
    for (char c : text) {
        if (c == '\n')
            ++lines;
        else if (c != '\r')
            ++chars;
    }
}

} // namespace

const std::vector<std::string>& CConversationIndex::KeysOf(const std::string& recipients)
{
    const auto found = m_keysOf.find(recipients);
    if (found != m_keysOf.end())
        return found->second;
    // Filed under a name, a number, or several of either between ";".
    std::vector<std::string> pieces;
    if (m_numberOfName.count(recipients))
        pieces.push_back(recipients);
    else
        pieces = recipients::Split(recipients);
    std::vector<std::string> keys;
    for (const auto& piece : pieces) {
        if (piece.empty())
            continue;
        const auto number = m_numberOfName.find(piece);
        std::string key =
            CMessageDb::NormaliseNumber(number != m_numberOfName.end() ? number->second : piece);
        if (std::find(keys.begin(), keys.end(), key) == keys.end())
            keys.push_back(std::move(key));
    }
    return m_keysOf.emplace(recipients, std::move(keys)).first->second;
}

void CConversationIndex::Build(CBrivantelDoc& document, const std::vector<SenderSummary>& received)
{
    m_document = &document;
    m_list.clear();
    m_rows.clear();
    m_numberOfName.clear();
    m_nameOfKey.clear();
    m_keysOf.clear();
    // The first entry of a name or a number wins, as the address book's own look-ups do.
    for (const auto& entry : document.GetAddressBook().GetEntries()) {
        const std::string number = entry->GetFullNumber();
        m_numberOfName.emplace(entry->GetDisplayName(), number);
        m_nameOfKey.emplace(CMessageDb::NormaliseNumber(number),
                            windows1250::ToUtf8(entry->GetDisplayName()));
    }
    m_bookSize = document.GetAddressBook().GetEntries().size();

    auto rowOf = [this](const std::string& key) -> int {
        const auto [it, added] = m_rows.emplace(key, static_cast<int>(m_list.size()));
        if (added) {
            Conversation c;
            c.key = key;
            m_list.push_back(std::move(c));
        }
        return it->second;
    };
    // The rows of each distinct recipients text, found once: a folder of 100,000 messages holds a
    // few hundred of them.
    std::unordered_map<std::string, std::vector<int>> rowsOf;
    for (const CMessageList* folder : {static_cast<const CMessageList*>(&document.GetSent()),
                                       static_cast<const CMessageList*>(&document.GetOutbox())}) {
        for (const auto& message : folder->GetMessages()) {
            auto found = rowsOf.find(message->GetRecipients());
            if (found == rowsOf.end()) {
                std::vector<int> rows;
                for (const auto& key : KeysOf(message->GetRecipients()))
                    rows.push_back(rowOf(key));
                found = rowsOf.emplace(message->GetRecipients(), std::move(rows)).first;
            }
            const auto time = static_cast<std::int64_t>(message->GetTime());
            for (int row : found->second) {
                Conversation& c = m_list[static_cast<std::size_t>(row)];
                // The later filed of equal times is the newer.
                if (!c.lastFiled || time >= c.lastFiledTime) {
                    c.lastFiled = message.get();
                    c.lastFiledTime = time;
                }
            }
        }
    }
    for (const auto& sender : received) {
        Conversation& c = m_list[static_cast<std::size_t>(rowOf(sender.sender))];
        c.lastReceived = sender.last;
        c.unread = sender.unread;
    }
    for (auto& c : m_list) {
        c.last = std::max(c.lastReceived, c.lastFiled ? c.lastFiledTime : 0);
        if (const auto name = m_nameOfKey.find(c.key); name != m_nameOfKey.end())
            c.name = name->second;
    }
    std::stable_sort(m_list.begin(), m_list.end(), [](const Conversation& a, const Conversation& b) {
        return a.last != b.last ? a.last > b.last : a.key < b.key;
    });
    m_rows.clear();
    for (std::size_t i = 0; i < m_list.size(); ++i)
        m_rows.emplace(m_list[i].key, static_cast<int>(i));
    m_sentStamp = document.GetSent().GetChangeStamp();
    m_outboxStamp = document.GetOutbox().GetChangeStamp();
}

int CConversationIndex::Find(const std::string& key) const
{
    const auto found = m_rows.find(key);
    return found == m_rows.end() ? -1 : found->second;
}

int CConversationIndex::Add(const std::string& key)
{
    if (const int row = Find(key); row >= 0)
        return row;
    Conversation c;
    c.key = key;
    if (const auto name = m_nameOfKey.find(key); name != m_nameOfKey.end())
        c.name = name->second;
    m_rows.emplace(key, static_cast<int>(m_list.size()));
    m_list.push_back(std::move(c));
    return static_cast<int>(m_list.size()) - 1;
}

const std::vector<ConversationItem>& CConversationIndex::Thread(int row, const CMessageDb* db,
                                                                std::int64_t now)
{
    Conversation& c = m_list.at(static_cast<std::size_t>(row));
    if (c.loaded || !m_document)
        return c.items;
    c.loaded = true;
    c.items.clear();
    // Sent, then waiting, each in folder order, then received in the order they were sent: a
    // stable sort by time keeps those orders among equal times.
    auto addFiled = [&](const CMessageList& folder, ConversationItem::Kind kind) {
        for (const auto& message : folder.GetMessages()) {
            const auto& keys = KeysOf(message->GetRecipients());
            if (std::find(keys.begin(), keys.end(), c.key) == keys.end())
                continue;
            ConversationItem item;
            item.kind = kind;
            item.time = static_cast<std::int64_t>(message->GetTime());
            item.message = message.get();
            Measure(message->GetText(), item.chars, item.lines);
            c.items.push_back(item);
        }
    };
    addFiled(m_document->GetSent(), ConversationItem::Kind::Sent);
    addFiled(m_document->GetOutbox(), ConversationItem::Kind::Queued);
    if (db && db->IsOpen()) {
        for (const auto& head : db->SenderHeads(c.key, now)) {
            ConversationItem item;
            item.kind = ConversationItem::Kind::Received;
            item.time = head.time;
            item.id = head.id;
            item.read = head.read;
            item.chars = head.chars;
            item.lines = head.lines;
            c.items.push_back(item);
        }
    }
    std::stable_sort(c.items.begin(), c.items.end(),
                     [](const ConversationItem& a, const ConversationItem& b) { return a.time < b.time; });
    return c.items;
}

void CConversationIndex::MarkRead(int row)
{
    Conversation& c = m_list.at(static_cast<std::size_t>(row));
    for (auto& item : c.items)
        item.read = true;
    c.unread = 0;
}

std::string CConversationIndex::KeyFor(const std::string& numberOrName) const
{
    if (const auto number = m_numberOfName.find(numberOrName); number != m_numberOfName.end())
        return CMessageDb::NormaliseNumber(number->second);
    return CMessageDb::NormaliseNumber(numberOrName);
}

bool CConversationIndex::IsCurrent(CBrivantelDoc& document) const
{
    return m_sentStamp == document.GetSent().GetChangeStamp() &&
           m_outboxStamp == document.GetOutbox().GetChangeStamp() &&
           m_bookSize == document.GetAddressBook().GetEntries().size();
}
