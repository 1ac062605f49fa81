#include "app/EncodedRecords.h"

#include <algorithm>
#include <cstring>

namespace {

bool IsWholeBuffer(const CEncodedRecords::Piece& piece)
{
    return piece.owner && piece.offset == 0 && piece.size == piece.owner->size();
}

} // namespace

CEncodedRecords::Record CEncodedRecords::ForFolder(CMessageList& list)
{
    return Record{[&list](CArchive& ar) { list.Serialize(ar); },
                  true,
                  {list.GetChangeStamp(), list.GetEditStamp()},
                  list.GetCount(),
                  list.GetReshapeStamp(),
                  [&list](CArchive& ar, std::size_t from) { list.StoreFrom(ar, from); },
                  &list,
                  &CMessage::RuntimeClass(),
                  list.GetRebuildStamp(),
                  [&list](std::uint64_t since) { return list.TakenOutSince(since); }};
}

bool CEncodedRecords::FitsNumbering(const Slot& slot, const CArchiveIndexState& state)
{
    if (!slot.known || slot.entry.classes != state.classes)
        return false;
    // Objects take indices but never write them; only a class description fixes one in the bytes.
    const bool describesClass = slot.exit.classes.size() != slot.entry.classes.size();
    return !describesClass || slot.entry.nextIndex == state.nextIndex;
}

void CEncodedRecords::Encode(Slot& slot, const Record& record, CArchiveIndexState& state, bool mayReuse)
{
    const std::vector<Piece> old = std::exchange(slot.pieces, {});
    slot.known = false;
    std::size_t oldSize = 0;
    for (const Piece& piece : old)
        oldSize += piece.size;
    std::shared_ptr<Bytes> buffer;
    // A large buffer made afresh pays for its page faults again: the last one is written over
    // when nobody else reads it any more.
    if (mayReuse && old.size() == 1 && IsWholeBuffer(old[0]) && old[0].owner.use_count() == 1)
        buffer = std::const_pointer_cast<Bytes>(old[0].owner);
    else {
        buffer = std::make_shared<Bytes>();
        buffer->reserve(oldSize + oldSize / 8);
    }
    buffer->clear();
    CArchive ar(*buffer, CArchive::Mode::Store);
    ar.SetIndexState(state);
    record.serialize(ar);
    slot.entry = state;
    state = ar.GetIndexState();
    slot.exit = state;
    slot.pieces = {Piece{buffer, 0, buffer->size()}};
    slot.stamp = record.stamp;
    slot.count = record.count;
    slot.lengths.clear();
    slot.lengthsKnown = false;
    slot.known = true;
}

bool CEncodedRecords::Append(Slot& slot, const Record& record, CArchiveIndexState& state, bool mayReuse)
{
    // The slot's elements must still be the array's first ones, none changed in place.
    if (!record.storeFrom || slot.stamp[1] != record.stamp[1] || slot.stamp[0] < record.reshaped ||
        record.count < slot.count || !FitsNumbering(slot, state) || slot.pieces.empty())
        return false;
    // The count leads the record; it is replaced only when its width stays.
    constexpr std::size_t kWideCount = 0xFFFF;
    if ((slot.count >= kWideCount) != (record.count >= kWideCount))
        return false;
    auto count = std::make_shared<Bytes>();
    CArchive countAr(*count, CArchive::Mode::Store);
    countAr.WriteCount(record.count);
    if (slot.pieces.front().size < count->size())
        return false;
    // The numbering where the slot's elements end, as it stands now.
    CArchiveIndexState atEnd = state;
    atEnd.nextIndex += slot.exit.nextIndex - slot.entry.nextIndex;
    atEnd.classes = slot.exit.classes;

    // The added elements go behind the last piece when that is a buffer of this slot's own that
    // nobody else reads; otherwise into a new piece.
    std::vector<Piece> pieces;
    pieces.reserve(slot.pieces.size() + 2);
    pieces.push_back(Piece{count, 0, count->size()});
    Piece first = slot.pieces.front();
    first.offset += count->size();
    first.size -= count->size();
    if (first.size > 0)
        pieces.push_back(first);
    pieces.insert(pieces.end(), slot.pieces.begin() + 1, slot.pieces.end());
    std::shared_ptr<Bytes> tail;
    const Piece& last = pieces.back();
    if (mayReuse && pieces.size() > 2 && IsWholeBuffer(last) && last.owner.use_count() == 2)
        tail = std::const_pointer_cast<Bytes>(last.owner); // held here and by the slot only
    else {
        tail = std::make_shared<Bytes>();
        pieces.push_back(Piece{tail, 0, 0});
    }
    slot.known = false; // until the pieces are whole again
    slot.pieces.clear();
    const std::size_t added = tail->size();
    CArchive ar(*tail, CArchive::Mode::Store);
    ar.SetIndexState(atEnd);
    record.storeFrom(ar, slot.count);
    pieces.back().size = tail->size();
    if (slot.lengthsKnown && record.elements) {
        CArchive::WalkStoredObjects(*tail, added, tail->size() - added, *record.elements,
                                    [&](std::size_t tag, std::size_t, std::size_t end) {
                                        slot.lengths.push_back(static_cast<std::uint32_t>(end - tag));
                                        return true;
                                    });
    }
    slot.lengthsKnown = slot.lengthsKnown && slot.lengths.size() == record.count;
    slot.pieces = std::move(pieces);
    slot.entry = state;
    state = ar.GetIndexState();
    slot.exit = state;
    slot.stamp = record.stamp;
    slot.count = record.count;
    slot.known = true;
    return true;
}

bool CEncodedRecords::Update(const std::vector<Record>& records, bool mayReuse)
{
    if (m_slots.size() != records.size()) {
        m_slots.clear();
        m_slots.resize(records.size());
    }
    // The pieces handed out last time would keep every buffer shared.
    m_pieces.clear();
    bool changed = false;
    CArchiveIndexState state;
    try {
        for (std::size_t i = 0; i < records.size(); ++i) {
            Slot& slot = m_slots[i];
            const Record& record = records[i];
            if (record.stamped) {
                if (slot.stamp == record.stamp && FitsNumbering(slot, state)) {
                    const std::uint32_t taken = slot.exit.nextIndex - slot.entry.nextIndex;
                    slot.entry = state;
                    state.nextIndex += taken;
                    state.classes = slot.exit.classes;
                    slot.exit = state;
                    continue;
                }
                if (slot.stamp == record.stamp && Rename(slot, record, state)) {
                    changed = true;
                    continue;
                }
                if (!Append(slot, record, state, mayReuse) && !Splice(slot, record, state))
                    Encode(slot, record, state, mayReuse);
                changed = true;
                continue;
            }
            m_scratch.clear();
            CArchive ar(m_scratch, CArchive::Mode::Store);
            ar.SetIndexState(state);
            record.serialize(ar);
            const bool same = slot.known && slot.pieces.size() == 1 &&
                              slot.pieces[0].size == m_scratch.size() &&
                              std::memcmp(slot.pieces[0].data(), m_scratch.data(), m_scratch.size()) == 0;
            if (!same) {
                slot.pieces = {Piece{std::make_shared<const Bytes>(m_scratch), 0, m_scratch.size()}};
                changed = true;
            }
            slot.known = true;
            slot.entry = state;
            state = ar.GetIndexState();
            slot.exit = state;
        }
        ReleaseReadBuffer();
        m_pieces.reserve(m_slots.size() + 4);
        for (const Slot& slot : m_slots)
            m_pieces.insert(m_pieces.end(), slot.pieces.begin(), slot.pieces.end());
    } catch (...) {
        Forget();
        throw;
    }
    return changed;
}

namespace {

std::size_t CountSize(std::size_t count)
{
    return count < 0xFFFF ? 2 : 6;
}

// Where a slot's bytes name the elements' class: by an index, or described by the first.
struct Naming
{
    bool describe = false;
    std::uint32_t classIndex = 0;
    bool operator==(const Naming&) const = default;
};

Naming NamingAt(const CArchiveIndexState& state, const CRuntimeClass& cls)
{
    const auto described = std::find_if(state.classes.begin(), state.classes.end(),
                                        [&](const auto& entry) { return entry.first == &cls; });
    if (described == state.classes.end())
        return {true, state.nextIndex};
    return {false, described->second};
}

// How many elements a slot written from entry to exit holds (each takes an index, and so does a
// class it describes).
std::size_t ObjectsIn(const CArchiveIndexState& entry, const CArchiveIndexState& exit)
{
    return exit.nextIndex - entry.nextIndex - (exit.classes.size() - entry.classes.size());
}

} // namespace

void CEncodedRecords::SplitCount(Slot& slot)
{
    const std::size_t countSize = CountSize(slot.count);
    Piece head = slot.pieces.front();
    if (head.size == countSize)
        return;
    std::vector<Piece> pieces;
    pieces.reserve(slot.pieces.size() + 1);
    pieces.push_back(Piece{head.owner, head.offset, countSize});
    head.offset += countSize;
    head.size -= countSize;
    pieces.push_back(head);
    pieces.insert(pieces.end(), slot.pieces.begin() + 1, slot.pieces.end());
    slot.pieces = std::move(pieces);
}

bool CEncodedRecords::KnowLengths(Slot& slot, const CRuntimeClass& cls)
{
    if (slot.lengthsKnown)
        return true;
    std::vector<std::uint32_t> lengths;
    lengths.reserve(slot.count);
    try {
        for (std::size_t i = 1; i < slot.pieces.size(); ++i) {
            const Piece& piece = slot.pieces[i];
            CArchive::WalkStoredObjects(*piece.owner, piece.offset, piece.size, cls,
                                        [&](std::size_t tag, std::size_t, std::size_t end) {
                                            lengths.push_back(static_cast<std::uint32_t>(end - tag));
                                            return true;
                                        });
        }
    } catch (const CArchiveException&) {
        return false; // not what the slot was taken for: it is encoded again
    }
    if (lengths.size() != slot.count)
        return false;
    slot.lengths = std::move(lengths);
    slot.lengthsKnown = true;
    return true;
}

CArchiveIndexState CEncodedRecords::NameClass(Slot& slot, const CRuntimeClass& cls, std::size_t objects,
                                              CArchiveIndexState state)
{
    const Naming naming = NamingAt(state, cls);
    bool first = true;
    for (std::size_t i = 1; i < slot.pieces.size(); ++i) {
        Piece& piece = slot.pieces[i];
        if (piece.size == 0)
            continue;
        piece.renamed = &cls;
        piece.classIndex = naming.classIndex;
        piece.describeFirst = naming.describe && first;
        first = false;
    }
    if (objects > 0 && naming.describe)
        state.classes.emplace_back(&cls, state.nextIndex++);
    state.nextIndex += static_cast<std::uint32_t>(objects);
    return state;
}

bool CEncodedRecords::Rename(Slot& slot, const Record& record, CArchiveIndexState& state)
{
    if (!record.elements || !slot.known || slot.pieces.empty() ||
        slot.pieces.front().size < CountSize(slot.count))
        return false;
    const std::size_t objects = ObjectsIn(slot.entry, slot.exit);
    SplitCount(slot);
    slot.entry = state;
    state = NameClass(slot, *record.elements, objects, state);
    slot.exit = state;
    return true;
}

bool CEncodedRecords::Splice(Slot& slot, const Record& record, CArchiveIndexState& state)
{
    if (!record.elements || !record.takenOutSince || !slot.known || slot.pieces.empty() ||
        slot.stamp[1] != record.stamp[1] || record.rebuilt > slot.stamp[0] ||
        slot.pieces.front().size < CountSize(slot.count) || ObjectsIn(slot.entry, slot.exit) != slot.count)
        return false;
    const std::optional<std::vector<std::size_t>> taken = record.takenOutSince(slot.stamp[0]);
    if (!taken || taken->size() >= slot.count || record.count < slot.count - taken->size())
        return false; // nothing of the old bytes is left: encoded whole
    const CRuntimeClass& cls = *record.elements;
    SplitCount(slot);
    if (!KnowLengths(slot, cls))
        return false;

    // Which of the slot's elements were taken out, found from the positions as they were taken.
    std::vector<std::size_t> gone;
    gone.reserve(taken->size());
    for (std::size_t index : *taken) {
        auto at = gone.begin();
        for (; at != gone.end() && *at <= index; ++at)
            ++index;
        if (index >= slot.lengths.size())
            return false;
        gone.insert(at, index);
    }
    const bool firstTaken = !gone.empty() && gone.front() == 0;
    // One pass cuts them all out: the kept stretches of each piece become pieces of their own.
    // The slot stays as it was until all is known.
    std::vector<Piece> pieces{Piece{}};
    std::vector<std::uint32_t> lengths;
    lengths.reserve(slot.lengths.size() - gone.size());
    std::size_t element = 0;
    auto next = gone.begin();
    const auto keep = [&pieces](const Piece& piece, std::size_t from, std::size_t to) {
        if (to == from)
            return;
        Piece part = piece;
        part.offset += from;
        part.size = to - from;
        part.describeFirst = piece.describeFirst && from == 0;
        pieces.push_back(part);
    };
    for (std::size_t i = 1; i < slot.pieces.size(); ++i) {
        const Piece& piece = slot.pieces[i];
        std::size_t from = 0;
        std::size_t at = 0;
        while (at < piece.size) {
            if (element >= slot.lengths.size())
                return false;
            const std::size_t length = slot.lengths[element];
            if (next != gone.end() && *next == element) {
                keep(piece, from, at);
                from = at + length;
                ++next;
            } else {
                lengths.push_back(slot.lengths[element]);
            }
            at += length;
            ++element;
        }
        if (at != piece.size)
            return false;
        keep(piece, from, at);
    }
    if (element != slot.lengths.size() || next != gone.end())
        return false;
    const std::size_t kept = lengths.size();
    auto count = std::make_shared<Bytes>();
    CArchive countAr(*count, CArchive::Mode::Store);
    countAr.WriteCount(record.count);
    pieces.front() = Piece{count, 0, count->size()};

    // The kept elements' class named as the numbering now has it: anew when that moved, or when
    // the element that described it was taken out.
    const Naming was = NamingAt(slot.entry, cls);
    const Naming now = NamingAt(state, cls);
    const CArchiveIndexState entry = state;
    slot.pieces = std::move(pieces);
    slot.lengths = std::move(lengths);
    CArchiveIndexState atEnd = state;
    if (firstTaken || was != now) {
        atEnd = NameClass(slot, cls, kept, state);
    } else {
        if (now.describe)
            atEnd.classes.emplace_back(&cls, atEnd.nextIndex++);
        atEnd.nextIndex += static_cast<std::uint32_t>(kept);
    }
    if (record.count > kept) {
        auto tail = std::make_shared<Bytes>();
        CArchive ar(*tail, CArchive::Mode::Store);
        ar.SetIndexState(atEnd);
        record.storeFrom(ar, kept);
        atEnd = ar.GetIndexState();
        slot.pieces.push_back(Piece{tail, 0, tail->size()});
        CArchive::WalkStoredObjects(*tail, 0, tail->size(), cls,
                                    [&](std::size_t tag, std::size_t, std::size_t end) {
                                        slot.lengths.push_back(static_cast<std::uint32_t>(end - tag));
                                        return true;
                                    });
    }
    slot.lengthsKnown = slot.lengths.size() == record.count;
    slot.entry = entry;
    state = atEnd;
    slot.exit = state;
    slot.stamp = record.stamp;
    slot.count = record.count;
    return true;
}

bool CEncodedRecords::WritePieces(const std::vector<Piece>& pieces, const CArchive::Writer& write)
{
    for (const Piece& piece : pieces) {
        if (piece.size == 0)
            continue;
        const bool written =
            piece.renamed
                ? CArchive::CopyRenamingClass(*piece.owner, piece.offset, piece.size, *piece.renamed,
                                              piece.classIndex, piece.describeFirst, write)
                : write(piece.data(), piece.size);
        if (!written)
            return false;
    }
    return true;
}

void CEncodedRecords::Adopt(std::size_t index, const std::shared_ptr<const Bytes>& bytes, std::size_t begin,
                            std::size_t end, const CArchiveIndexState& entry, const CArchiveIndexState& exit,
                            const Record& record)
{
    if (m_slots.size() <= index)
        m_slots.resize(index + 1);
    Slot& slot = m_slots[index];
    slot.pieces = {Piece{bytes, begin, end - begin}};
    slot.lengths.clear();
    slot.lengthsKnown = false;
    slot.entry = entry;
    slot.exit = exit;
    slot.stamp = record.stamp;
    slot.count = record.count;
    slot.known = true;
}

void CEncodedRecords::Forget()
{
    m_slots.clear();
    m_pieces.clear();
}

std::size_t CEncodedRecords::Size() const
{
    std::size_t size = 0;
    for (const Slot& slot : m_slots) {
        for (const Piece& piece : slot.pieces)
            size += piece.size;
    }
    return size;
}

void CEncodedRecords::ReleaseReadBuffer()
{
    // Buffers only partly used: the read file's, or an encoding whose count was replaced.
    std::vector<std::shared_ptr<const Bytes>> partial;
    for (const Slot& slot : m_slots) {
        for (const Piece& piece : slot.pieces) {
            if (piece.owner && !IsWholeBuffer(piece) &&
                std::find(partial.begin(), partial.end(), piece.owner) == partial.end())
                partial.push_back(piece.owner);
        }
    }
    for (const auto& shared : partial) {
        std::size_t used = 0;
        for (const Slot& slot : m_slots) {
            for (const Piece& piece : slot.pieces) {
                if (piece.owner == shared)
                    used += piece.size;
            }
        }
        if (used >= shared->size() / 2)
            continue;
        for (Slot& slot : m_slots) {
            for (Piece& piece : slot.pieces) {
                if (piece.owner != shared)
                    continue;
                piece.owner = std::make_shared<const Bytes>(piece.data(), piece.data() + piece.size);
                piece.offset = 0;
            }
        }
    }
}
