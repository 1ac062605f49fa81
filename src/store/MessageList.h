#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "store/Message.h"

class CArchive;

using MessageArray = std::vector<std::unique_ptr<CMessage>>;

// A folder: an ordered array of owned messages, in the order they were filed. Nothing sorts it.
class CMessageList
{
public:
    virtual ~CMessageList() = default;

    // The folder takes the message; on failure (out of memory) it is handed back untouched.
    bool AddMessage(std::unique_ptr<CMessage>& message);
    const MessageArray& GetMessages() const { return m_messages; }
    std::size_t GetCount() const { return m_messages.size(); }
    void Serialize(CArchive& ar);
    // New after every change to the folder's list (a message filed, taken out, destroyed, or the
    // folder read); changes inside a message show in CMessage::LastEdit instead.
    std::uint64_t GetChangeStamp() const { return m_stamp; }
    // The stamp of the last change other than a message filed at the end: while it is older than
    // a save's stamp, the messages that save wrote are still the folder's first ones.
    std::uint64_t GetReshapeStamp() const { return m_reshaped; }

protected:
    CMessageList();
    // A change to the folder's list; reshaped: not only a message added at the end.
    void Touch(bool reshaped = true);

    MessageArray m_messages;

private:
    std::uint64_t m_stamp = 0;
    std::uint64_t m_reshaped = 0;
};

// Folders from which a view takes a message back without destroying it.
class CRemovableMessageList : public CMessageList
{
public:
    // Searches from the last message towards the first; the caller owns what comes back, and
    // gets nothing when the message is not in this folder.
    std::unique_ptr<CMessage> RemoveMessage(const CMessage* message);
};

class COutboxList final : public CRemovableMessageList
{
};

class CSentList final : public CRemovableMessageList
{
};

class CDraftsList final : public CRemovableMessageList
{
};

class CDeletedMessagesList final : public CMessageList
{
public:
    // Destroys the message when it is in this folder; does nothing otherwise.
    void DeleteMessage(const CMessage* message);
    void DeleteAllMessages();
};
