#include "store/MessageList.h"

#include <algorithm>
#include <cstdint>
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
    DropEncoded();
    m_messages.clear();
    m_encoded = *count > 0 ? bytes : nullptr;
    m_encodedBegin = mark.position;
    m_encodedEnd = ar.Position();
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
    // cannot meet damage. Messages read one at a time before stay the objects they are; those
    // taken out are passed over.
    CEncodedMessages encoded(m_encoded, m_encodedBegin);
    MessageArray messages;
    messages.reserve(EncodedLeft() + m_messages.size());
    CMessage passed;
    auto gone = m_gone.begin();
    for (std::size_t i = 0; i < encoded.Count(); ++i) {
        const bool taken = gone != m_gone.end() && *gone == i;
        if (taken || (i < m_read.size() && m_read[i])) {
            encoded.Next(passed);
            if (taken)
                ++gone;
            else
                messages.push_back(std::move(m_read[i]));
            continue;
        }
        auto message = std::make_unique<CMessage>();
        encoded.Next(*message);
        messages.push_back(std::move(message));
    }
    for (auto& filed : m_messages)
        messages.push_back(std::move(filed));
    m_messages = std::move(messages);
    DropEncoded();
}

std::size_t CMessageList::Original(std::size_t position) const
{
    for (const std::size_t gone : m_gone) {
        if (gone > position)
            break;
        ++position;
    }
    return position;
}

bool CMessageList::KnowStarts(std::size_t upTo) const
{
    if (upTo < m_starts.size())
        return true;
    // The walk goes only as far as asked: a view showing the first rows reads past no more.
    if (m_starts.empty()) {
        CArchive ar(const_cast<Bytes&>(*m_encoded), CArchive::Mode::Load); // reading never writes
        ar.Seek(m_encodedBegin);
        if (ar.ReadCount(0) != m_encodedCount)
            return false;
        m_walked = ar.Position();
    }
    try {
        CArchive::WalkStoredObjects(*m_encoded, m_walked, m_encodedEnd - m_walked, CMessage::RuntimeClass(),
                                    [&](std::size_t tag, std::size_t, std::size_t end) {
                                        m_starts.push_back(static_cast<std::uint32_t>(tag - m_encodedBegin));
                                        m_walked = end;
                                        return m_starts.size() <= upTo;
                                    });
    } catch (const CArchiveException&) {
        return false;
    }
    return upTo < m_starts.size();
}

CMessage* CMessageList::At(std::size_t i) const
{
    const std::size_t left = EncodedLeft();
    if (i >= left)
        return i - left < m_messages.size() ? m_messages[i - left].get() : nullptr;
    const std::size_t original = Original(i);
    if (m_read.empty())
        m_read.resize(m_encodedCount);
    if (!m_read[original]) {
        // Folders of up to 4 GB of bytes are read a message at a time; reading fails only where
        // memory does, and then the whole folder is read instead.
        if (m_encodedEnd - m_encodedBegin > UINT32_MAX || !KnowStarts(original)) {
            Decode();
            return m_messages[i].get();
        }
        auto message = std::make_unique<CMessage>();
        CArchive ar(const_cast<Bytes&>(*m_encoded), CArchive::Mode::Load);
        ar.Seek(m_encodedBegin + m_starts[original]);
        ar.ReadScannedObject(*message);
        m_readAt.push_back(original);
        m_read[original] = std::move(message);
    }
    return m_read[original].get();
}

std::optional<std::size_t> CMessageList::IndexOf(const CMessage* message) const
{
    for (std::size_t i = m_messages.size(); i-- > 0;) {
        if (m_messages[i].get() == message)
            return EncodedLeft() + i;
    }
    for (const std::size_t at : m_readAt) {
        if (m_read[at].get() != message || !message)
            continue;
        const auto before = std::lower_bound(m_gone.begin(), m_gone.end(), at) - m_gone.begin();
        return at - static_cast<std::size_t>(before);
    }
    return std::nullopt;
}

std::unique_ptr<CMessage> CMessageList::TakeOut(const CMessage* message)
{
    const std::optional<std::size_t> position = IndexOf(message);
    if (!position)
        return nullptr;
    std::unique_ptr<CMessage> taken;
    const std::size_t left = EncodedLeft();
    if (*position < left) {
        // A message read alone leaves the bytes where it is: it is only marked as gone.
        const std::size_t original = Original(*position);
        taken = std::move(m_read[original]);
        m_readAt.erase(std::find(m_readAt.begin(), m_readAt.end(), original));
        m_gone.insert(std::upper_bound(m_gone.begin(), m_gone.end(), original), original);
        if (m_gone.size() == m_encodedCount)
            DropEncoded();
    } else {
        const auto at = m_messages.begin() + static_cast<std::ptrdiff_t>(*position - left);
        taken = std::move(*at);
        m_messages.erase(at);
    }
    Touch(Change::TakenOut, *position);
    return taken;
}

std::uint64_t CMessageList::GetEditStamp() const
{
    const std::uint64_t seen = CMessage::LastEdit();
    if (seen != m_editsSeen) {
        m_editsSeen = seen;
        m_editStamp = 0;
        for (const auto& message : m_messages)
            m_editStamp = std::max(m_editStamp, message->GetEditStamp());
        for (const std::size_t at : m_readAt)
            m_editStamp = std::max(m_editStamp, m_read[at]->GetEditStamp());
    }
    return m_editStamp;
}

void CMessageList::DropEncoded() const
{
    m_encoded.reset();
    m_encodedCount = 0;
    m_read.clear();
    m_readAt.clear();
    m_gone.clear();
    m_starts.clear();
    m_starts.shrink_to_fit();
}

void CMessageList::ForEach(const std::function<void(const CMessage&)>& visit) const
{
    if (m_encodedCount > 0) {
        CEncodedMessages encoded(m_encoded, m_encodedBegin);
        CMessage message;
        auto gone = m_gone.begin();
        for (std::size_t i = 0; i < encoded.Count(); ++i) {
            encoded.Next(message);
            if (gone != m_gone.end() && *gone == i) {
                ++gone;
                continue;
            }
            // One read before may have been changed in place since.
            visit(i < m_read.size() && m_read[i] ? *m_read[i] : message);
        }
    }
    for (const auto& message : m_messages)
        visit(*message);
}

void CMessageList::StoreFrom(CArchive& ar, std::size_t from) const
{
    if (from < EncodedLeft())
        Decode();
    StoreObjectsFrom(ar, m_messages, from - EncodedLeft());
}

std::unique_ptr<CMessage> CRemovableMessageList::RemoveMessage(const CMessage* message)
{
    std::unique_ptr<CMessage> taken = TakeOut(message);
    if (taken)
        taken->SetFailureReason({});
    return taken;
}

void CDeletedMessagesList::DeleteMessage(const CMessage* message)
{
    TakeOut(message);
    m_messages.shrink_to_fit();
}

void CDeletedMessagesList::DeleteAllMessages()
{
    DropEncoded();
    while (!m_messages.empty())
        m_messages.pop_back();
    Touch();
}
