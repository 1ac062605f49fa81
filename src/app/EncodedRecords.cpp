#include "app/EncodedRecords.h"

#include <algorithm>
#include <cstring>

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
    const Piece old = std::exchange(slot.piece, Piece{});
    slot.known = false;
    std::shared_ptr<Bytes> buffer;
    // A large buffer made afresh pays for its page faults again: the last one is written over
    // when nobody else reads it any more.
    if (mayReuse && old.owner && old.owner.use_count() == 1 && old.offset == 0 &&
        old.size == old.owner->size())
        buffer = std::const_pointer_cast<Bytes>(old.owner);
    else {
        buffer = std::make_shared<Bytes>();
        buffer->reserve(old.size + old.size / 8);
    }
    buffer->clear();
    CArchive ar(*buffer, CArchive::Mode::Store);
    ar.SetIndexState(state);
    record.serialize(ar);
    slot.entry = state;
    state = ar.GetIndexState();
    slot.exit = state;
    slot.piece = Piece{buffer, 0, buffer->size()};
    slot.stamp = record.stamp;
    slot.count = record.count;
    slot.known = true;
}

bool CEncodedRecords::Append(Slot& slot, const Record& record, CArchiveIndexState& state, bool mayReuse)
{
    const Piece& old = slot.piece;
    // The slot's elements must still be the array's first ones, none changed in place, and its
    // buffer its own with nobody reading it.
    if (!record.storeFrom || !mayReuse || slot.stamp[1] != record.stamp[1] ||
        slot.stamp[0] < record.reshaped || record.count < slot.count || !FitsNumbering(slot, state) ||
        !old.owner || old.owner.use_count() != 1 || old.offset != 0 || old.size != old.owner->size())
        return false;
    // The count leads the record; it is rewritten in place only when its width stays.
    constexpr std::size_t kWideCount = 0xFFFF;
    if ((slot.count >= kWideCount) != (record.count >= kWideCount))
        return false;
    Bytes count;
    CArchive countAr(count, CArchive::Mode::Store);
    countAr.WriteCount(record.count);
    auto buffer = std::const_pointer_cast<Bytes>(old.owner);
    if (buffer->size() < count.size())
        return false;
    // The numbering where the slot's elements end, as it stands now.
    CArchiveIndexState atEnd = state;
    atEnd.nextIndex += slot.exit.nextIndex - slot.entry.nextIndex;
    atEnd.classes = slot.exit.classes;
    slot.known = false; // until the buffer is whole again
    CArchive ar(*buffer, CArchive::Mode::Store);
    ar.SetIndexState(atEnd);
    record.storeFrom(ar, slot.count);
    std::copy(count.begin(), count.end(), buffer->begin());
    slot.entry = state;
    state = ar.GetIndexState();
    slot.exit = state;
    slot.piece.size = buffer->size();
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
                if (!Append(slot, record, state, mayReuse))
                    Encode(slot, record, state, mayReuse);
                changed = true;
                continue;
            }
            m_scratch.clear();
            CArchive ar(m_scratch, CArchive::Mode::Store);
            ar.SetIndexState(state);
            record.serialize(ar);
            const bool same = slot.known && slot.piece.size == m_scratch.size() &&
                              std::memcmp(slot.piece.data(), m_scratch.data(), m_scratch.size()) == 0;
            if (!same) {
                slot.piece = Piece{std::make_shared<const Bytes>(m_scratch), 0, m_scratch.size()};
                changed = true;
            }
            slot.known = true;
            slot.entry = state;
            state = ar.GetIndexState();
            slot.exit = state;
        }
        ReleaseReadBuffer();
        m_pieces.reserve(m_slots.size());
        for (const Slot& slot : m_slots)
            m_pieces.push_back(slot.piece);
    } catch (...) {
        Forget();
        throw;
    }
    return changed;
}

void CEncodedRecords::Adopt(std::size_t index, const std::shared_ptr<const Bytes>& bytes, std::size_t begin,
                            std::size_t end, const CArchiveIndexState& entry, const CArchiveIndexState& exit,
                            const Record& record)
{
    if (m_slots.size() <= index)
        m_slots.resize(index + 1);
    Slot& slot = m_slots[index];
    slot.piece = Piece{bytes, begin, end - begin};
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
    for (const Slot& slot : m_slots)
        size += slot.piece.size;
    return size;
}

void CEncodedRecords::ReleaseReadBuffer()
{
    for (const Slot& candidate : m_slots) {
        const auto& owner = candidate.piece.owner;
        if (!owner || (candidate.piece.offset == 0 && candidate.piece.size == owner->size()))
            continue;
        std::size_t used = 0;
        for (const Slot& slot : m_slots) {
            if (slot.piece.owner == owner)
                used += slot.piece.size;
        }
        if (used >= owner->size() / 2)
            continue;
        const std::shared_ptr<const Bytes> shared = owner; // the loop below replaces every holder
        for (Slot& slot : m_slots) {
            if (slot.piece.owner != shared)
                continue;
            auto own = std::make_shared<const Bytes>(slot.piece.data(), slot.piece.data() + slot.piece.size);
            slot.piece = Piece{std::move(own), 0, slot.piece.size};
        }
        return; // a document reads one file
    }
}
