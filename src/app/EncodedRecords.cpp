#include "app/EncodedRecords.h"

#include <algorithm>
#include <cstring>

namespace {

bool IsWholeBuffer(const CEncodedRecords::Piece& piece)
{
    return piece.owner && piece.offset == 0 && piece.size == piece.owner->size();
}

} // namespace

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
    CArchive ar(*tail, CArchive::Mode::Store);
    ar.SetIndexState(atEnd);
    record.storeFrom(ar, slot.count);
    pieces.back().size = tail->size();
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
                if (!Append(slot, record, state, mayReuse))
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

bool CEncodedRecords::Rename(Slot& slot, const Record& record, CArchiveIndexState& state)
{
    if (!record.elements || !slot.known || slot.pieces.empty())
        return false;
    const CRuntimeClass& cls = *record.elements;
    const auto described = std::find_if(state.classes.begin(), state.classes.end(),
                                        [&](const auto& entry) { return entry.first == &cls; });
    const bool describe = described == state.classes.end();
    const std::uint32_t classIndex = describe ? state.nextIndex : described->second;
    const std::uint32_t objects = slot.exit.nextIndex - slot.entry.nextIndex -
                                  static_cast<std::uint32_t>(slot.exit.classes.size() - slot.entry.classes.size());

    // The count leads the first piece and stays as it is; the objects follow it.
    Bytes countBytes;
    CArchive countAr(countBytes, CArchive::Mode::Store);
    countAr.WriteCount(slot.count);
    std::vector<Piece> pieces;
    pieces.reserve(slot.pieces.size() + 1);
    Piece head = slot.pieces.front();
    if (head.size < countBytes.size())
        return false;
    pieces.push_back(Piece{head.owner, head.offset, countBytes.size()});
    head.offset += countBytes.size();
    head.size -= countBytes.size();
    if (head.size > 0)
        pieces.push_back(head);
    pieces.insert(pieces.end(), slot.pieces.begin() + 1, slot.pieces.end());
    bool first = true;
    for (std::size_t i = 1; i < pieces.size(); ++i) {
        if (pieces[i].size == 0)
            continue;
        pieces[i].renamed = &cls;
        pieces[i].classIndex = classIndex;
        pieces[i].describeFirst = describe && first;
        first = false;
    }
    slot.pieces = std::move(pieces);
    slot.entry = state;
    if (objects > 0 && describe)
        state.classes.emplace_back(&cls, state.nextIndex++);
    state.nextIndex += objects;
    slot.exit = state;
    return true;
}

bool CEncodedRecords::WritePieces(const std::vector<Piece>& pieces, const CArchive::Writer& write)
{
    for (const Piece& piece : pieces) {
        if (piece.size == 0)
            continue;
        const bool written = piece.renamed ? CArchive::CopyRenamingClass(*piece.owner, piece.offset, piece.size,
                                                                         *piece.renamed, piece.classIndex,
                                                                         piece.describeFirst, write)
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
