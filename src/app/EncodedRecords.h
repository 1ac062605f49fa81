#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "store/Archive.h"
#include "store/MessageList.h"

// The data file as its records' encoded bytes, kept from one save to the next, so that a save
// encodes only the records that changed and the file stays byte for byte what one archive over
// the whole document writes.
//
// A record's bytes depend on the archive's numbering as well as on its content: the first object
// of a class describes the class, and later ones name it by the index it got then. Each record's
// bytes are therefore kept with the numbering they were written from; they stay valid while the
// same classes with the same indices come before them, and a record that describes a class also
// needs the same next index. Otherwise it is encoded again.
class CEncodedRecords
{
public:
    using Bytes = std::vector<std::uint8_t>;

    // A record's bytes: a stretch of a buffer shared with the writer (a whole read file, or the
    // record's own buffer).
    struct Piece
    {
        std::shared_ptr<const Bytes> owner;
        std::size_t offset = 0;
        std::size_t size = 0;
        // Objects of this class whose class is named anew as they are written (see Rename);
        // null: the bytes go as they are.
        const CRuntimeClass* renamed = nullptr;
        std::uint32_t classIndex = 0;
        bool describeFirst = false;
        const std::uint8_t* data() const { return owner->data() + offset; }
    };
    // Hands the pieces' bytes to write in order, renaming classes where a piece asks. False when
    // write refused, or a renamed piece was not whole objects.
    static bool WritePieces(const std::vector<Piece>& pieces, const CArchive::Writer& write);

    using Stamp = std::array<std::uint64_t, 2>;
    struct Record
    {
        std::function<void(CArchive&)> serialize;
        // Large records carry stamps that stay the same exactly while their content does (see
        // store/ChangeStamp.h); small ones are encoded each time and compared with their bytes.
        bool stamped = false;
        Stamp stamp{};
        // An array that can grow at its end without its earlier elements changing: its count,
        // the stamp of its last change other than an element added at the end, and how to store
        // the elements from a position on. A save after such additions stores only them.
        std::size_t count = 0;
        std::uint64_t reshaped = 0;
        std::function<void(CArchive&, std::size_t)> storeFrom;
        // A folder, which loading may keep as the bytes it is read from (CMessageList::LoadLater).
        CMessageList* folder = nullptr;
        // The record is an array of objects of this class and nothing else: its bytes name no
        // other class and no object, so under another numbering they need only their class named
        // anew.
        const CRuntimeClass* elements = nullptr;
        // Besides being added at its end, elements may be taken out of such an array: the stamp of
        // its last other change, and where they were taken out since a stamp (see
        // CMessageList::TakenOutSince).
        std::uint64_t rebuilt = 0;
        std::function<std::optional<std::vector<std::size_t>>(std::uint64_t)> takenOutSince;
    };

    // The record of a folder.
    static Record ForFolder(CMessageList& list);

    // Brings every record's bytes up to date. True when any record's bytes differ from before.
    // mayReuse: no writer holds the pieces, so a changed record may be encoded into its old buffer.
    // Out of memory the bytes are forgotten and std::bad_alloc goes to the caller.
    bool Update(const std::vector<Record>& records, bool mayReuse);

    // After reading a file: the stretch [begin, end) of bytes holds record index, read from the
    // numbering `entry` to `exit`, in the form storing writes (see CArchive::ReadAsWritten).
    void Adopt(std::size_t index, const std::shared_ptr<const Bytes>& bytes, std::size_t begin,
               std::size_t end, const CArchiveIndexState& entry, const CArchiveIndexState& exit,
               const Record& record);
    // Nothing kept: the next update encodes everything.
    void Forget();

    const std::vector<Piece>& Pieces() const { return m_pieces; }
    std::size_t Size() const;

private:
    struct Slot
    {
        // The record's bytes, one piece or (for an array that grew at its end) several: its new
        // count, the earlier elements where they were, the added ones.
        std::vector<Piece> pieces;
        bool known = false;
        CArchiveIndexState entry;
        CArchiveIndexState exit;
        Stamp stamp{};
        std::size_t count = 0;
        // For an array of objects, once asked for: each element's length in the pieces after the
        // count, in order.
        std::vector<std::uint32_t> lengths;
        bool lengthsKnown = false;
    };
    // Whether the slot's bytes hold when the numbering stands at `state`.
    static bool FitsNumbering(const Slot& slot, const CArchiveIndexState& state);
    void Encode(Slot& slot, const Record& record, CArchiveIndexState& state, bool mayReuse);
    // Stores only the elements added at the end since the slot was written, as a piece of their
    // own behind the earlier ones (never writing into a buffer the writer may read); false when
    // that cannot give the same bytes.
    bool Append(Slot& slot, const Record& record, CArchiveIndexState& state, bool mayReuse);
    // Cuts the elements taken out since the slot was written from its bytes, and stores those
    // added at the end since: a message taken out of a folder costs about what the message is.
    // False when that cannot give the same bytes.
    bool Splice(Slot& slot, const Record& record, CArchiveIndexState& state);
    // Makes the slot's pieces the count alone, then pieces of whole elements.
    static void SplitCount(Slot& slot);
    // Learns each element's length (by walking the bytes once); false when they do not add up.
    static bool KnowLengths(Slot& slot, const CRuntimeClass& cls);
    // Names the elements' class in the slot's pieces as the numbering `state` has it; returns the
    // numbering after the slot's first `objects` elements.
    static CArchiveIndexState NameClass(Slot& slot, const CRuntimeClass& cls, std::size_t objects,
                                        CArchiveIndexState state);
    // Keeps the bytes of an unchanged array of objects that another numbering comes before: its
    // class will be named anew as it is written, which costs the writer a pass over them but
    // reads none of them here. False when the slot's bytes are not known.
    bool Rename(Slot& slot, const Record& record, CArchiveIndexState& state);
    // A read file's buffer mostly replaced by newer encodings: the few records still in it get
    // buffers of their own, so the whole file's bytes can go.
    void ReleaseReadBuffer();

    std::vector<Slot> m_slots;
    std::vector<Piece> m_pieces;
    Bytes m_scratch;
};
