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
        keys.push_back(CMessageDb::NormaliseNumber(number != m_numberOfName.end() ? number->second : piece));
    }
    return m_keysOf.emplace(recipients, std::move(keys)).first->second;
}

void CConversationIndex::Build(CBrivantelDoc& document, const std::vector<MessageHead>& received)
{
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
                            std::make_pair(windows1250::ToUtf8(entry->GetDisplayName()), entry->GetDisplayName()));
    }
    m_bookSize = document.GetAddressBook().GetEntries().size();

    auto rowOf = [this](const std::string& key) -> Conversation& {
        const auto [it, added] = m_rows.emplace(key, static_cast<int>(m_list.size()));
        if (added) {
            Conversation c;
            c.key = key;
            m_list.push_back(std::move(c));
        }
        return m_list[static_cast<std::size_t>(it->second)];
    };
    auto addFiled = [&](const CMessageList& folder, ConversationItem::Kind kind) {
        for (const auto& message : folder.GetMessages()) {
            ConversationItem item;
            item.kind = kind;
            item.time = static_cast<std::int64_t>(message->GetTime());
            item.message = message.get();
            Measure(message->GetText(), item.chars, item.lines);
            for (const auto& key : KeysOf(message->GetRecipients())) {
                Conversation& c = rowOf(key);
                c.items.push_back(item);
                c.last = std::max(c.last, item.time);
            }
        }
    };
    addFiled(document.GetSent(), ConversationItem::Kind::Sent);
    addFiled(document.GetOutbox(), ConversationItem::Kind::Queued);
    for (const auto& head : received) {
        ConversationItem item;
        item.kind = ConversationItem::Kind::Received;
        item.time = head.time;
        item.id = head.id;
        item.read = head.read;
        item.chars = head.chars;
        item.lines = head.lines;
        Conversation& c = rowOf(head.sender);
        c.items.push_back(item);
        c.last = std::max(c.last, item.time);
        if (!head.read)
            ++c.unread;
    }
    for (auto& c : m_list) {
        if (const auto name = m_nameOfKey.find(c.key); name != m_nameOfKey.end()) {
            c.name = name->second.first;
            c.bookName = name->second.second;
        }
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
    if (const auto name = m_nameOfKey.find(key); name != m_nameOfKey.end()) {
        c.name = name->second.first;
        c.bookName = name->second.second;
    }
    c.sorted = true;
    m_rows.emplace(key, static_cast<int>(m_list.size()));
    m_list.push_back(std::move(c));
    return static_cast<int>(m_list.size()) - 1;
}

const std::vector<ConversationItem>& CConversationIndex::Thread(int row)
{
    Conversation& c = m_list.at(static_cast<std::size_t>(row));
    if (!c.sorted) {
        // Sent, then waiting, then received were appended in their own orders: a stable sort
        // keeps those among equal times.
        std::stable_sort(c.items.begin(), c.items.end(),
                         [](const ConversationItem& a, const ConversationItem& b) { return a.time < b.time; });
        c.sorted = true;
    }
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
