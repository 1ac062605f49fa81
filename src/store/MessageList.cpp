#include "store/MessageList.h"

#include <algorithm>
#include <new>

#include "store/Archive.h"
#include "store/ChangeStamp.h"

namespace {
// How many takings-out the folder remembers; a save further back encodes the folder again.
constexpr std::size_t kTakenOutKept = 4096;
} // namespace

CMessageList::CMessageList() : m_stamp(change_stamp::Next()), m_reshaped(m_stamp), m_rebuilt(m_stamp) {}

void CMessageList::Touch(Change change, std::size_t position)
{
    m_stamp = change_stamp::Next();
    if (change != Change::Filed)
        m_reshaped = m_stamp;
    if (change == Change::Rebuilt) {
        m_rebuilt = m_stamp;
        m_takenOut.clear();
        m_takenOutFrom = m_stamp;
        return;
    }
    if (change != Change::TakenOut)
        return;
    try {
        m_takenOut.push_back({m_stamp, position});
    } catch (const std::bad_alloc&) {
        m_rebuilt = m_stamp; // not remembered: a save encodes the folder whole
    }
    if (m_takenOut.size() > kTakenOutKept) {
        m_takenOutFrom = m_takenOut.front().stamp;
        m_takenOut.pop_front();
    }
}

std::optional<std::vector<std::size_t>> CMessageList::TakenOutSince(std::uint64_t since) const
{
    if (m_rebuilt > since || m_takenOutFrom > since)
        return std::nullopt;
    std::vector<std::size_t> positions;
    for (const TakenOut& taken : m_takenOut) {
        if (taken.stamp > since)
            positions.push_back(taken.position);
    }
    return positions;
}

bool CMessageList::AddMessage(std::unique_ptr<CMessage>& message)
{
    if (!message)
        return false;
    try {
        // Edits made before filing are in the bytes the filing writes, not changes to the folder.
        message->ForgetEdits();
        m_messages.push_back(std::move(message));
        Touch(Change::Filed);
    } catch (const std::bad_alloc&) {
        return false; // push_back leaves the argument alone when it cannot grow
    }
    return true;
}

void CMessageList::Serialize(CArchive& ar)
{
    if (ar.IsLoading()) {
        Touch();
        DropEncoded();
    }
    Decode();
    SerializeObjectArray(ar, m_messages);
}

bool CMessageList::LoadLater(CArchive& ar, const std::shared_ptr<const Bytes>& bytes)
{
    const CArchive::Mark mark = ar.GetMark();
    CMessage scratch;
    const std::optional<std::size_t> count = ar.ScanObjectArray(CMessage::RuntimeClass(), scratch);
    if (!count) {
        ar.Rewind(mark);
        return false;
    }
    Touch();
    m_messages.clear();
    m_encoded = *count > 0 ? bytes : nullptr;
    m_encodedBegin = mark.position;
    m_encodedCount = *count;
    return true;
}

bool CMessageList::ReadThrough(CArchive& ar, const std::function<void(const CMessage&)>& visit)
{
    const CArchive::Mark mark = ar.GetMark();
    CMessage scratch;
    Touch();
    m_messages.clear();
    DropEncoded();
    if (ar.ScanObjectArray(CMessage::RuntimeClass(), scratch, [&](const CObject&) { visit(scratch); }))
        return true;
    ar.Rewind(mark);
    return false;
}

namespace {

// Reads the messages of a folder that LoadLater checked, one at a time.
class CEncodedMessages
{
public:
    CEncodedMessages(const std::shared_ptr<const std::vector<std::uint8_t>>& bytes, std::size_t begin)
        : m_ar(const_cast<std::vector<std::uint8_t>&>(*bytes), CArchive::Mode::Load) // reading never writes
    {
        m_ar.Seek(begin);
        m_count = m_ar.ReadCount(0);
    }
    std::size_t Count() const { return m_count; }
    void Next(CMessage& message) { m_ar.ReadScannedObject(message); }

private:
    CArchive m_ar;
    std::size_t m_count = 0;
};

} // namespace

void CMessageList::Decode() const
{
    if (m_encodedCount == 0)
        return;
    // The bytes were checked when they were read and never change since: reading them again
    // cannot meet damage.
    CEncodedMessages encoded(m_encoded, m_encodedBegin);
    MessageArray messages;
    messages.reserve(m_encodedCount + m_messages.size());
    for (std::size_t i = 0; i < encoded.Count(); ++i) {
        auto message = std::make_unique<CMessage>();
        encoded.Next(*message);
        messages.push_back(std::move(message));
    }
    for (auto& filed : m_messages)
        messages.push_back(std::move(filed));
    m_messages = std::move(messages);
    m_encoded.reset();
    m_encodedCount = 0;
}

std::uint64_t CMessageList::GetEditStamp() const
{
    const std::uint64_t seen = CMessage::LastEdit();
    if (seen != m_editsSeen) {
        m_editsSeen = seen;
        m_editStamp = 0;
        for (const auto& message : m_messages)
            m_editStamp = std::max(m_editStamp, message->GetEditStamp());
    }
    return m_editStamp;
}

void CMessageList::DropEncoded()
{
    m_encoded.reset();
    m_encodedCount = 0;
}

void CMessageList::ForEach(const std::function<void(const CMessage&)>& visit) const
{
    if (m_encodedCount > 0) {
        CEncodedMessages encoded(m_encoded, m_encodedBegin);
        CMessage message;
        for (std::size_t i = 0; i < encoded.Count(); ++i) {
            encoded.Next(message);
            visit(message);
        }
    }
    for (const auto& message : m_messages)
        visit(*message);
}

void CMessageList::StoreFrom(CArchive& ar, std::size_t from) const
{
    if (from < m_encodedCount)
        Decode();
    StoreObjectsFrom(ar, m_messages, from - m_encodedCount);
}

std::unique_ptr<CMessage> CRemovableMessageList::RemoveMessage(const CMessage* message)
{
    Decode();
    for (auto it = m_messages.rbegin(); it != m_messages.rend(); ++it) {
        if (it->get() == message) {
            std::unique_ptr<CMessage> taken = std::move(*it);
            const auto at = std::next(it).base();
            const auto position = static_cast<std::size_t>(at - m_messages.begin());
            m_messages.erase(at);
            Touch(Change::TakenOut, position);
            taken->SetFailureReason({});
            return taken;
        }
    }
    return nullptr;
}

void CDeletedMessagesList::DeleteMessage(const CMessage* message)
{
    Decode();
    for (auto it = m_messages.begin(); it != m_messages.end(); ++it) {
        if (it->get() == message) {
            const auto position = static_cast<std::size_t>(it - m_messages.begin());
            m_messages.erase(it);
            m_messages.shrink_to_fit();
            Touch(Change::TakenOut, position);
            return;
        }
    }
}

void CDeletedMessagesList::DeleteAllMessages()
{
    DropEncoded();
    while (!m_messages.empty())
        m_messages.pop_back();
    Touch();
}
