#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "store/Object.h"

// How far a storing archive's numbering has gone: the classes it has described with their
// indices, in the order described, and the next free index. A record stored by an archive that
// starts from the state a whole file reaches before it gives the same bytes as inside that file.
struct CArchiveIndexState
{
    std::uint32_t nextIndex = 1;
    std::vector<std::pair<const CRuntimeClass*, std::uint32_t>> classes;

    bool operator==(const CArchiveIndexState&) const = default;
};

// Raised inside the store when the bytes being read are not a well-formed archive. It never leaves
// the store's callers: the document catches it and keeps what was read so far. what() says why in
// Polish (Windows-1250); Position() is how many bytes had been read when reading stopped.
class CArchiveException : public std::runtime_error
{
public:
    CArchiveException(const std::string& reason, std::size_t position)
        : std::runtime_error(reason), m_position(position)
    {
    }
    std::size_t Position() const { return m_position; }

private:
    std::size_t m_position;
};

// What a loading archive may read a piece at a time instead of from one buffer (a file).
class CArchiveSource
{
public:
    virtual ~CArchiveSource() = default;
    virtual std::size_t Size() const = 0;
    // Reads exactly n bytes at offset into to; false when they cannot be read.
    virtual bool ReadAt(std::size_t offset, std::uint8_t* to, std::size_t n) = 0;
};

// The data file's encoding: little-endian 32-bit values, length-prefixed 8-bit strings, counts,
// and object references with class descriptions. One archive reads or writes one whole file, so
// class and object indices run over all records.
class CArchive
{
public:
    enum class Mode
    {
        Load,
        Store
    };

    // Loading reads from bytes; storing appends to them.
    CArchive(std::vector<std::uint8_t>& bytes, Mode mode);
    // Loading from a source read a window at a time: memory stays small whatever its size.
    static constexpr std::size_t kWindow = std::size_t{1} << 20;
    explicit CArchive(CArchiveSource& source, std::size_t window = kWindow);
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    bool IsLoading() const { return m_mode == Mode::Load; }
    bool IsStoring() const { return m_mode == Mode::Store; }

    // Where the numbering stands (loading keeps the same numbering); a storing archive may be
    // set to continue from a state.
    const CArchiveIndexState& GetIndexState() const { return m_stored; }
    void SetIndexState(CArchiveIndexState state) { m_stored = std::move(state); }

    // Loading: false once anything has been read in a form that storing would not write (a long
    // length prefix for a short string, UTF-16, a null or repeated reference, a class described
    // twice): such bytes cannot stand in for a fresh encoding of what was read from them.
    bool ReadAsWritten() const { return m_asWritten; }
    void RestartAsWrittenCheck() { m_asWritten = true; }

    void WriteUInt16(std::uint16_t value);
    void WriteUInt32(std::uint32_t value);
    void WriteInt32(std::int32_t value) { WriteUInt32(static_cast<std::uint32_t>(value)); }
    void WriteString(const std::string& text);
    void WriteCount(std::size_t count);
    void WriteObject(const CObject* object);

    std::uint16_t ReadUInt16();
    std::uint32_t ReadUInt32();
    std::int32_t ReadInt32() { return static_cast<std::int32_t>(ReadUInt32()); }
    std::string ReadString();
    // Reads a string into text, reusing its room.
    void ReadStringInto(std::string& text);
    // A count of elements each at least minElementSize bytes long; a count that the rest of the
    // input could not hold is damage, so no caller allocates for it.
    std::size_t ReadCount(std::size_t minElementSize);
    // Reads one object reference of the expected class: null for a null reference, a copy for a
    // reference to an object read before.
    std::unique_ptr<CObject> ReadObject(const CRuntimeClass& expected);

    // Reads or writes the field in place, whichever way the archive goes.
    void Transfer(std::int32_t& value);
    void Transfer(std::uint32_t& value);
    void Transfer(std::string& text);

    std::size_t Remaining() const { return (m_source ? m_total - m_base : m_bytes.size()) - m_pos; }
    std::size_t Position() const { return m_base + m_pos; }

    // Loading: where reading stands, to come back to it when a faster reading of what follows
    // gives way to the ordinary one.
    struct Mark
    {
        std::size_t position = 0;
        CArchiveIndexState state;
        std::size_t loaded = 0;
        std::size_t skipped = 0;
        std::size_t budget = 0;
        bool asWritten = true;
    };
    Mark GetMark() const;
    void Rewind(const Mark& mark);
    // Loading: reads on from position (bytes read before it are taken as checked).
    void Seek(std::size_t position);

    // Loading: an array of objects of one class checked exactly as ReadObject would read it
    // (the same damage at the same byte), each element read into scratch and none kept. The
    // elements' indices are taken but nothing can refer back to them: a later reference to one
    // raises CArchiveSkippedObject. Returns the count, or nothing when the array holds anything
    // storing would not write (a null or a back reference); the caller then rewinds and reads it
    // in full.
    // each, when given, is shown every element as soon as it has been read.
    std::optional<std::size_t> ScanObjectArray(const CRuntimeClass& expected, CObject& scratch,
                                               const std::function<void(const CObject&)>& each = {});
    // Loading: one element of an array that ScanObjectArray accepted: its class tag passed over
    // (it was checked then) and its fields read into object.
    void ReadScannedObject(CObject& object);

    // Walks [begin, begin + size) of bytes, whole objects of class cls as storing wrote them (no
    // nulls, no back references), showing each one's stretch: where its class tag starts, where its
    // fields start and where it ends. Stops early, returning false, when visit does. Raises
    // CArchiveException when the bytes are not such objects.
    using ObjectVisitor = std::function<bool(std::size_t tag, std::size_t fields, std::size_t end)>;
    static bool WalkStoredObjects(const std::vector<std::uint8_t>& bytes, std::size_t begin, std::size_t size,
                                  const CRuntimeClass& cls, const ObjectVisitor& visit);
    // Copies such objects, naming their class as a storing archive would where it had described
    // the class at classIndex: each by that index, or the first with the description itself when
    // describeFirst. The fields are copied unchanged. The copy goes to write a stretch at a time;
    // false when write refuses one.
    using Writer = std::function<bool(const std::uint8_t*, std::size_t)>;
    static bool CopyRenamingClass(const std::vector<std::uint8_t>& bytes, std::size_t begin, std::size_t size,
                                  const CRuntimeClass& cls, std::uint32_t classIndex, bool describeFirst,
                                  const Writer& write);

    // What a loaded object is charged against the budget besides its strings: about what one
    // small object costs in memory with its slot in an array.
    static constexpr std::size_t kObjectCost = 128;
    // A loading archive may decode this many bytes per byte of input, plus a fixed allowance;
    // more means the input names the same large object over and over, and counts as damage.
    static constexpr std::size_t kBudgetPerInputByte = 32;
    static constexpr std::size_t kBudgetBase = std::size_t{1} << 20;

private:
    void Need(std::size_t n);
    // Reading from a source: the window moved to the present position, holding at least n bytes.
    void Refill(std::size_t n);
    // Raises damage at the present position; the reason is UTF-8 here, Windows-1250 in the exception.
    [[noreturn]] void Damaged(const std::string& reasonUtf8) const;
    // Takes n decoded bytes from the budget, or raises damage when the input cannot justify them.
    void Charge(std::size_t n);
    std::size_t ReadStringLength(bool allowWide, bool& wide);
    const CRuntimeClass& ReadClassDescription();
    // The object tag after a 16-bit tag that is not a new class: read on when it is the long form.
    std::uint32_t ReadObjectTag(std::uint16_t tag);
    void WriteClass(const CRuntimeClass& rc);
    void WriteClassDescription(const CRuntimeClass& rc);
    void WriteClassReference(std::uint32_t index);
    // Loading: passes over an object's class tag, in whichever form it is.
    void SkipClassTag();

    // Reading from a source: the window of it in memory, where the window starts and the whole size.
    std::vector<std::uint8_t> m_window;
    CArchiveSource* m_source = nullptr;
    std::size_t m_base = 0;
    std::size_t m_total = 0;
    std::size_t m_windowSize = kWindow;

    std::vector<std::uint8_t>& m_bytes; // the buffer, or the window (m_pos counts from its start)
    Mode m_mode;
    std::size_t m_pos = 0;

    // One index counter for classes and objects alike, starting at 1 (0 is the null reference),
    // and the classes described so far (a file has one or two of them).
    CArchiveIndexState m_stored;
    bool m_asWritten = true;
    // Loading only to find where objects end (WalkStoredObjects): strings are passed over unread.
    bool m_passOverStrings = false;
    // While loading: what each index stands for.
    struct LoadedEntry
    {
        const CRuntimeClass* cls = nullptr;
        const CObject* object = nullptr;
        std::size_t cost = 0; // what reading the object was charged, and so what a copy costs
    };
    // The entry of an index read before; raises CArchiveSkippedObject for one ScanObjectArray
    // passed over, nothing for one not read yet.
    const LoadedEntry* LoadedAt(std::uint32_t index) const;

    std::size_t m_budget = 0;
    std::vector<LoadedEntry> m_loaded;
    // Indices taken by scanned elements, which have no entry in m_loaded: first index and count.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> m_skipped;
};

// A reference to an object that a scan passed over (see CArchive::ScanObjectArray): the data file
// is well formed, but must be read again in full.
class CArchiveSkippedObject : public std::exception
{
public:
    const char* what() const noexcept override { return "reference to a scanned object"; }
};

// Arrays of owned objects as the data file holds them: a count, then one reference per element.
// Loading replaces what the array held. An interrupted read keeps the elements read completely;
// null references are skipped.
template <class T> void SerializeObjectArray(CArchive& ar, std::vector<std::unique_ptr<T>>& items)
{
    if (ar.IsStoring()) {
        ar.WriteCount(items.size());
        for (const auto& item : items)
            ar.WriteObject(item.get());
        return;
    }
    items.clear();
    const std::size_t count = ar.ReadCount(2);
    // Room for the whole array at once instead of its doublings (a folder of a million messages
    // would move its slots twenty times); a count no real element size could fill asks for no
    // more slots than the rest of the input has 8-byte pieces.
    items.reserve(items.size() + std::min(count, ar.Remaining() / 8));
    for (std::size_t i = 0; i < count; ++i) {
        std::unique_ptr<CObject> object = ar.ReadObject(T::RuntimeClass());
        if (object)
            items.emplace_back(static_cast<T*>(object.release()));
    }
}

// Stores the elements from `from` on, as they follow the earlier ones in an array.
template <class T>
void StoreObjectsFrom(CArchive& ar, const std::vector<std::unique_ptr<T>>& items, std::size_t from)
{
    for (std::size_t i = from; i < items.size(); ++i)
        ar.WriteObject(items[i].get());
}

void SerializeStringArray(CArchive& ar, std::vector<std::string>& texts);
