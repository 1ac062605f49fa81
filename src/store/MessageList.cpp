#include "store/MessageList.h"

#include <new>

#include "store/Archive.h"
#include "store/ChangeStamp.h"

CMessageList::CMessageList() : m_stamp(change_stamp::Next()), m_reshaped(m_stamp) {}

void CMessageList::Touch(bool reshaped)
{
    m_stamp = change_stamp::Next();
    if (reshaped)
        m_reshaped = m_stamp;
}

bool CMessageList::AddMessage(std::unique_ptr<CMessage>& message)
{
    if (!message)
        return false;
    try {
        m_messages.push_back(std::move(message));
        Touch(false);
    } catch (const std::bad_alloc&) {
        return false; // push_back leaves the argument alone when it cannot grow
    }
    return true;
}

void CMessageList::Serialize(CArchive& ar)
{
    if (ar.IsLoading())
        Touch();
    SerializeObjectArray(ar, m_messages);
}

std::unique_ptr<CMessage> CRemovableMessageList::RemoveMessage(const CMessage* message)
{
    for (auto it = m_messages.rbegin(); it != m_messages.rend(); ++it) {
        if (it->get() == message) {
            std::unique_ptr<CMessage> taken = std::move(*it);
            m_messages.erase(std::next(it).base());
            Touch();
            taken->SetFailureReason({});
            return taken;
        }
    }
    return nullptr;
}

void CDeletedMessagesList::DeleteMessage(const CMessage* message)
{
    for (auto it = m_messages.begin(); it != m_messages.end(); ++it) {
        if (it->get() == message) {
            m_messages.erase(it);
            m_messages.shrink_to_fit();
            Touch();
            return;
        }
    }
}

void CDeletedMessagesList::DeleteAllMessages()
{
    while (!m_messages.empty())
        m_messages.pop_back();
    Touch();
}
