#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "store/Message.h"

class CArchive;

using MessageArray = std::vector<std::unique_ptr<CMessage>>;

// A folder: an ordered array of owned messages, in the order they were filed. Nothing sorts it.
//
// A folder read from a data file may keep its messages as the file's bytes until they are first
// asked for all together (LoadLater): a command that never looks into a folder of a million
// messages does not pay for reading them, a view reads only the rows it shows (At), and a message
// taken out is only passed over in the bytes. Messages filed meanwhile wait behind those bytes.
class CMessageList
{
public:
    using Bytes = std::vector<std::uint8_t>;

    virtual ~CMessageList() = default;

    // The folder takes the message; on failure (out of memory) it is handed back untouched.
    bool AddMessage(std::unique_ptr<CMessage>& message);
    const MessageArray& GetMessages() const
    {
        Decode();
        return m_messages;
    }
    std::size_t GetCount() const { return EncodedLeft() + m_messages.size(); }
    // The message at position i (below GetCount). While the folder is still held as bytes only
    // that message is read (a view shows a few rows of a folder of a million); it stays the same
    // object once the whole folder is read.
    CMessage* At(std::size_t i) const;
    // Where the message is in the folder; reads none of the messages still held as bytes.
    std::optional<std::size_t> IndexOf(const CMessage* message) const;
    void Serialize(CArchive& ar);
    // Loading: checks the folder's bytes as Serialize would read them (the same damage at the same
    // byte) and keeps them instead of the messages. False when they hold a form that must be read
    // in full; the archive is then where it was before. bytes: what ar reads from.
    bool LoadLater(CArchive& ar, const std::shared_ptr<const Bytes>& bytes);
    // Loading once through a file: checks the folder as LoadLater does and shows each message to
    // visit as soon as it is read, keeping none (the folder stays empty). False as for LoadLater.
    bool ReadThrough(CArchive& ar, const std::function<void(const CMessage&)>& visit);
    // Whether the messages are still only the file's bytes.
    bool IsEncoded() const { return m_encodedCount > 0; }
    // Each message in order, without keeping the ones still held as bytes (each is read into one
    // passing object).
    void ForEach(const std::function<void(const CMessage&)>& visit) const;
    // Stores the messages from position `from` on, as they follow the earlier ones in the folder;
    // the earlier ones stay as bytes when they are.
    void StoreFrom(CArchive& ar, std::size_t from) const;
    // New after every change to the folder's list (a message filed, taken out, destroyed, or the
    // folder read); changes inside a message show in GetEditStamp instead.
    std::uint64_t GetChangeStamp() const { return m_stamp; }
    // The stamp of the last change in place to a message while in this folder (0: none). Looked
    // for again only after some message anywhere was changed.
    std::uint64_t GetEditStamp() const;
    // The stamp of the last change other than a message filed at the end: while it is older than
    // a save's stamp, the messages that save wrote are still the folder's first ones.
    std::uint64_t GetReshapeStamp() const { return m_reshaped; }
    // The stamp of the last change other than filing at the end and taking a message out.
    std::uint64_t GetRebuildStamp() const { return m_rebuilt; }
    // Where messages were taken out since the change stamp `since`, in order, each position
    // counted in the folder as it stood then. Nothing when the folder was rebuilt since, or the
    // record of it does not reach that far back.
    std::optional<std::vector<std::size_t>> TakenOutSince(std::uint64_t since) const;

protected:
    CMessageList();
    enum class Change
    {
        Filed,    // a message added at the end
        TakenOut, // the message at `position` taken out
        Rebuilt   // anything else: read, emptied
    };
    void Touch(Change change = Change::Rebuilt, std::size_t position = 0);
    // Reads the messages still held as bytes, ahead of those filed since (their objects, and those
    // read one at a time, stay the same). Every change to m_messages other than filing at the end
    // or taking out comes after it.
    void Decode() const;
    // The messages still held as bytes are dropped unread (the folder is emptied).
    void DropEncoded() const;
    // Takes the message out of the folder, reading none of those still held as bytes; nothing
    // when it is not in the folder.
    std::unique_ptr<CMessage> TakeOut(const CMessage* message);
    // Learns where the messages held as bytes start, up to the one at upTo; false when it cannot.
    bool KnowStarts(std::size_t upTo) const;

    mutable MessageArray m_messages;

private:
    // The messages at the folder's start still as bytes: where they lie in the read file (the
    // count first), and how many.
    mutable std::shared_ptr<const Bytes> m_encoded;
    mutable std::size_t m_encodedBegin = 0;
    mutable std::size_t m_encodedEnd = 0;
    mutable std::size_t m_encodedCount = 0;
    // Messages read one at a time from those bytes (At), by position, which positions hold one,
    // and where the messages start (from m_encodedBegin), learnt as far as such reads needed.
    mutable std::vector<std::unique_ptr<CMessage>> m_read;
    mutable std::vector<std::size_t> m_readAt;
    mutable std::vector<std::uint32_t> m_starts;
    mutable std::size_t m_walked = 0; // where learning the starts stopped
    // Those of them taken out since, by position among the bytes, in order.
    mutable std::vector<std::size_t> m_gone;
    std::size_t EncodedLeft() const { return m_encodedCount - m_gone.size(); }
    // The position among the bytes of the message at position among those left.
    std::size_t Original(std::size_t position) const;
    // GetEditStamp's answer, and CMessage::LastEdit when it was found.
    mutable std::uint64_t m_editStamp = 0;
    mutable std::uint64_t m_editsSeen = 0;
    std::uint64_t m_stamp = 0;
    std::uint64_t m_reshaped = 0;
    std::uint64_t m_rebuilt = 0;
    // The messages taken out since m_takenOutFrom: a save that knows the folder's bytes before them
    // cuts those out instead of encoding the folder again.
    struct TakenOut
    {
        std::uint64_t stamp;
        std::size_t position;
    };
    std::deque<TakenOut> m_takenOut;
    std::uint64_t m_takenOutFrom = 0;
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
