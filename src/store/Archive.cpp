#include "store/Archive.h"

#include "store/Windows1250.h"

#include <algorithm>
#include <cstdint>

namespace {
constexpr std::uint16_t kNullTag = 0x0000;
constexpr std::uint16_t kNewClassTag = 0xFFFF;
constexpr std::uint16_t kClassTag = 0x8000;
constexpr std::uint16_t kBigObjectTag = 0x7FFF;
constexpr std::uint32_t kBigClassTag = 0x80000000;
constexpr std::size_t kMaxClassNameLength = 64;
} // namespace

CArchive::CArchive(std::vector<std::uint8_t>& bytes, Mode mode) : m_bytes(bytes), m_mode(mode)
{
    if (IsLoading()) {
        m_loaded.push_back({}); // index 0: the null reference
        m_budget =
            kBudgetBase + std::min(m_bytes.size(), SIZE_MAX / kBudgetPerInputByte / 2) * kBudgetPerInputByte;
    }
}

CArchive::CArchive(CArchiveSource& source, std::size_t window)
    : m_source(&source), m_total(source.Size()), m_windowSize(std::max<std::size_t>(window, 1)),
      m_bytes(m_window), m_mode(Mode::Load)
{
    m_loaded.push_back({});
    m_budget = kBudgetBase + std::min(m_total, SIZE_MAX / kBudgetPerInputByte / 2) * kBudgetPerInputByte;
}

void CArchive::Refill(std::size_t n)
{
    const std::size_t from = m_base + m_pos;
    const std::size_t size = std::max(n, std::min(m_windowSize, m_total - from));
    m_base = from;
    m_pos = 0;
    m_window.resize(size);
    if (!m_source->ReadAt(from, m_window.data(), size)) {
        m_window.clear();
        Damaged("nie można odczytać pliku");
    }
}

void CArchive::Charge(std::size_t n)
{
    if (n > m_budget)
        Damaged("więcej danych, niż plik może zawierać");
    m_budget -= n;
}

void CArchive::Damaged(const std::string& reasonUtf8) const
{
    throw CArchiveException(windows1250::FromUtf8Lossy(reasonUtf8), Position());
}

void CArchive::Need(std::size_t n)
{
    if (n > Remaining())
        Damaged("nieoczekiwany koniec pliku");
    if (n > m_bytes.size() - m_pos)
        Refill(n); // only a source's window can be short of what remains
}

void CArchive::WriteUInt16(std::uint16_t value)
{
    m_bytes.push_back(static_cast<std::uint8_t>(value));
    m_bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

void CArchive::WriteUInt32(std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        m_bytes.push_back(static_cast<std::uint8_t>(value >> shift));
}

std::uint16_t CArchive::ReadUInt16()
{
    Need(2);
    const auto v = static_cast<std::uint16_t>(m_bytes[m_pos] | (m_bytes[m_pos + 1] << 8));
    m_pos += 2;
    return v;
}

std::uint32_t CArchive::ReadUInt32()
{
    Need(4);
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | m_bytes[m_pos + static_cast<std::size_t>(i)];
    m_pos += 4;
    return v;
}

void CArchive::WriteString(const std::string& text)
{
    const std::size_t n = text.size();
    if (n < 0xFF) {
        m_bytes.push_back(static_cast<std::uint8_t>(n));
    } else if (n < 0xFFFE) {
        m_bytes.push_back(0xFF);
        WriteUInt16(static_cast<std::uint16_t>(n));
    } else {
        // 0xFFFE after 0xFF would announce UTF-16, so 65534 and longer take the 4-byte form.
        m_bytes.push_back(0xFF);
        WriteUInt16(0xFFFF);
        WriteUInt32(static_cast<std::uint32_t>(n));
    }
    m_bytes.insert(m_bytes.end(), text.begin(), text.end());
}

std::size_t CArchive::ReadStringLength(bool allowWide, bool& wide)
{
    Need(1);
    const std::uint8_t b = m_bytes[m_pos++];
    if (b < 0xFF)
        return b;
    const std::uint16_t w = ReadUInt16();
    if (w == 0xFFFE) {
        if (!allowWide)
            Damaged("nieprawidłowa długość napisu");
        wide = true;
        m_asWritten = false;
        bool nested = false;
        return ReadStringLength(false, nested);
    }
    if (w < 0xFFFF) {
        if (w < 0xFF)
            m_asWritten = false;
        return w;
    }
    const std::uint32_t d = ReadUInt32();
    if (d == 0xFFFFFFFF)
        Damaged("za długi napis");
    if (d < 0xFFFE)
        m_asWritten = false;
    return d;
}

std::string CArchive::ReadString()
{
    std::string text;
    ReadStringInto(text);
    return text;
}

void CArchive::ReadStringInto(std::string& text)
{
    bool wide = false;
    const std::size_t n = ReadStringLength(true, wide);
    if (!wide) {
        Need(n);
        Charge(n);
        if (m_passOverStrings) {
            m_pos += n;
            return;
        }
        text.assign(reinterpret_cast<const char*>(m_bytes.data() + m_pos), n);
        m_pos += n;
        return;
    }
    if (n > Remaining() / 2)
        Damaged("nieoczekiwany koniec pliku");
    Charge(n);
    text.clear();
    text.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        char32_t unit = ReadUInt16();
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < n && Remaining() >= 2) {
            Need(2);
            // A surrogate pair is one character, and no character beyond the BMP is in the code page.
            const std::uint16_t low = static_cast<std::uint16_t>(m_bytes[m_pos] | (m_bytes[m_pos + 1] << 8));
            if (low >= 0xDC00 && low <= 0xDFFF) {
                m_pos += 2;
                ++i;
            }
        }
        const auto byte = windows1250::FromCodePoint(unit);
        text += byte ? static_cast<char>(*byte) : '?';
    }
}

void CArchive::WriteCount(std::size_t count)
{
    if (count < 0xFFFF) {
        WriteUInt16(static_cast<std::uint16_t>(count));
    } else {
        WriteUInt16(0xFFFF);
        WriteUInt32(static_cast<std::uint32_t>(count));
    }
}

std::size_t CArchive::ReadCount(std::size_t minElementSize)
{
    std::size_t count = ReadUInt16();
    if (count == 0xFFFF) {
        count = ReadUInt32();
        if (count < 0xFFFF)
            m_asWritten = false;
    }
    if (minElementSize > 0 && count > Remaining() / minElementSize)
        Damaged("liczba elementów większa, niż reszta pliku pomieści");
    return count;
}

void CArchive::WriteClass(const CRuntimeClass& rc)
{
    for (const auto& [cls, index] : m_stored.classes) {
        if (cls == &rc) {
            WriteClassReference(index);
            return;
        }
    }
    WriteClassDescription(rc);
    m_stored.classes.emplace_back(&rc, m_stored.nextIndex++);
}

void CArchive::WriteClassReference(std::uint32_t index)
{
    if (index < kBigObjectTag) {
        WriteUInt16(static_cast<std::uint16_t>(kClassTag | index));
    } else {
        WriteUInt16(kBigObjectTag);
        WriteUInt32(kBigClassTag | index);
    }
}

void CArchive::WriteClassDescription(const CRuntimeClass& rc)
{
    WriteUInt16(kNewClassTag);
    WriteUInt16(static_cast<std::uint16_t>(rc.schema));
    const std::string name = rc.name;
    WriteUInt16(static_cast<std::uint16_t>(name.size()));
    m_bytes.insert(m_bytes.end(), name.begin(), name.end());
}

void CArchive::WriteObject(const CObject* object)
{
    if (!object) {
        WriteUInt16(kNullTag);
        return;
    }
    // The program never stores one object twice, so no back reference is ever written and no map
    // of stored objects is kept; the object still takes its index after its class.
    WriteClass(object->GetRuntimeClass());
    ++m_stored.nextIndex;
    const_cast<CObject*>(object)->Serialize(*this);
}

const CRuntimeClass& CArchive::ReadClassDescription()
{
    const std::uint16_t schema = ReadUInt16();
    const std::uint16_t length = ReadUInt16();
    if (length == 0 || length > kMaxClassNameLength)
        Damaged("nieprawidłowa nazwa klasy");
    Need(length);
    const std::string name(reinterpret_cast<const char*>(m_bytes.data() + m_pos), length);
    m_pos += length;
    const CRuntimeClass* rc = runtime_classes::Find(name);
    if (!rc)
        Damaged("nieznana klasa " + name);
    if (schema != rc->schema)
        Damaged("nieznana wersja klasy " + name);
    for (const auto& described : m_stored.classes) {
        if (described.first == rc)
            m_asWritten = false;
    }
    m_loaded.push_back({rc, nullptr, 0});
    m_stored.classes.emplace_back(rc, m_stored.nextIndex++);
    return *rc;
}

std::uint32_t CArchive::ReadObjectTag(std::uint16_t tag)
{
    const std::uint32_t objTag = tag == kBigObjectTag ? ReadUInt32()
                                                      : ((static_cast<std::uint32_t>(tag & kClassTag) << 16) |
                                                         static_cast<std::uint32_t>(tag & ~kClassTag));
    // A small index written in the long form reads fine but is not how a save would write it.
    if (tag == kBigObjectTag && (objTag & ~kBigClassTag) < kBigObjectTag)
        m_asWritten = false;
    return objTag;
}

std::unique_ptr<CObject> CArchive::ReadObject(const CRuntimeClass& expected)
{
    const std::uint16_t tag = ReadUInt16();
    const CRuntimeClass* rc = nullptr;
    if (tag == kNewClassTag) {
        rc = &ReadClassDescription();
    } else {
        const std::uint32_t objTag = ReadObjectTag(tag);
        const std::uint32_t index = objTag & ~kBigClassTag;
        const LoadedEntry* known = LoadedAt(index);
        if (!known)
            Damaged("odwołanie do nieznanego obiektu");
        const LoadedEntry& entry = *known;
        if (objTag & kBigClassTag) {
            if (!entry.cls || entry.object)
                Damaged("odwołanie do obiektu zamiast do klasy");
            rc = entry.cls;
        } else {
            m_asWritten = false; // storing writes neither nulls nor back references
            if (index == 0)
                return nullptr;
            if (!entry.object)
                Damaged("odwołanie do klasy zamiast do obiektu");
            if (!entry.object->IsKindOf(expected))
                Damaged("obiekt nieoczekiwanej klasy");
            // A second reference gets a copy of its own, so no element is ever owned twice. The copy
            // costs what the original did: a small file naming one large object many times must
            // not be able to ask for far more memory than it is long.
            Charge(entry.cost);
            return entry.object->Clone();
        }
    }
    if (rc != &expected)
        Damaged(std::string("oczekiwano obiektu klasy ") + expected.name);
    const std::size_t budgetBefore = m_budget;
    Charge(kObjectCost);
    std::unique_ptr<CObject> object = rc->create();
    const std::size_t slot = m_loaded.size();
    m_loaded.push_back({rc, object.get(), 0});
    ++m_stored.nextIndex;
    object->Serialize(*this);
    m_loaded[slot].cost = budgetBefore - m_budget;
    return object;
}

const CArchive::LoadedEntry* CArchive::LoadedAt(std::uint32_t index) const
{
    std::size_t slot = index;
    for (const auto& [first, count] : m_skipped) {
        if (index < first)
            break;
        if (index - first < count)
            throw CArchiveSkippedObject();
        slot -= count;
    }
    return slot < m_loaded.size() ? &m_loaded[slot] : nullptr;
}

CArchive::Mark CArchive::GetMark() const
{
    return {Position(), m_stored, m_loaded.size(), m_skipped.size(), m_budget, m_asWritten};
}

void CArchive::Rewind(const Mark& mark)
{
    Seek(mark.position);
    m_stored = mark.state;
    m_loaded.resize(mark.loaded);
    m_skipped.resize(mark.skipped);
    m_budget = mark.budget;
    m_asWritten = mark.asWritten;
}

std::optional<std::size_t> CArchive::ScanObjectArray(const CRuntimeClass& expected, CObject& scratch,
                                                     const std::function<void(const CObject&)>& each)
{
    const std::size_t count = ReadCount(2);
    const std::size_t rangesBefore = m_skipped.size();
    for (std::size_t i = 0; i < count; ++i) {
        // The same steps as ReadObject, in the same order, so that damage shows at the same byte.
        const std::uint16_t tag = ReadUInt16();
        const CRuntimeClass* rc = nullptr;
        if (tag == kNewClassTag) {
            rc = &ReadClassDescription();
        } else {
            const std::uint32_t objTag = ReadObjectTag(tag);
            const std::uint32_t index = objTag & ~kBigClassTag;
            if (!(objTag & kBigClassTag))
                return std::nullopt; // a null or a back reference: read in full
            const LoadedEntry* entry = LoadedAt(index);
            if (!entry)
                Damaged("odwołanie do nieznanego obiektu");
            if (!entry->cls || entry->object)
                Damaged("odwołanie do obiektu zamiast do klasy");
            rc = entry->cls;
        }
        if (rc != &expected)
            Damaged(std::string("oczekiwano obiektu klasy ") + expected.name);
        Charge(kObjectCost);
        const std::uint32_t index = m_stored.nextIndex++;
        if (m_skipped.size() > rangesBefore && m_skipped.back().first + m_skipped.back().second == index)
            ++m_skipped.back().second;
        else
            m_skipped.emplace_back(index, 1);
        scratch.Serialize(*this);
        if (each)
            each(scratch);
    }
    return count;
}

void CArchive::SkipClassTag()
{
    const std::uint16_t tag = ReadUInt16();
    if (tag == kNewClassTag) {
        ReadUInt16(); // the schema
        const std::uint16_t length = ReadUInt16();
        Need(length);
        m_pos += length;
    } else if (tag == kBigObjectTag) {
        ReadUInt32();
    }
}

void CArchive::ReadScannedObject(CObject& object)
{
    SkipClassTag();
    object.Serialize(*this);
}

bool CArchive::WalkStoredObjects(const std::vector<std::uint8_t>& bytes, std::size_t begin, std::size_t size,
                                 const CRuntimeClass& cls, const ObjectVisitor& visit)
{
    CArchive in(const_cast<std::vector<std::uint8_t>&>(bytes), Mode::Load); // loading never writes
    in.m_passOverStrings = true;
    in.Seek(begin);
    const std::size_t end = std::min(begin + size, bytes.size());
    const std::unique_ptr<CObject> scratch = cls.create();
    while (in.Position() < end) {
        const std::size_t tag = in.Position();
        in.SkipClassTag();
        const std::size_t fields = in.Position();
        scratch->Serialize(in);
        if (in.Position() > end)
            in.Damaged("obiekt wykracza poza rekord");
        if (!visit(tag, fields, in.Position()))
            return false;
    }
    return true;
}

bool CArchive::CopyRenamingClass(const std::vector<std::uint8_t>& bytes, std::size_t begin, std::size_t size,
                                 const CRuntimeClass& cls, std::uint32_t classIndex, bool describeFirst,
                                 const Writer& write)
{
    // The copy is made a stretch at a time in one small buffer: a folder of a million messages
    // needs no second copy of itself.
    constexpr std::size_t kStretch = std::size_t{1} << 20;
    std::vector<std::uint8_t> out;
    out.reserve(kStretch + 256);
    CArchive tags(out, Mode::Store);
    bool first = true;
    const bool walked =
        WalkStoredObjects(bytes, begin, size, cls, [&](std::size_t, std::size_t fields, std::size_t end) {
            if (first && describeFirst)
                tags.WriteClassDescription(cls);
            else
                tags.WriteClassReference(classIndex);
            first = false;
            out.insert(out.end(), bytes.data() + fields, bytes.data() + end);
            if (out.size() < kStretch)
                return true;
            const bool written = write(out.data(), out.size());
            out.clear();
            return written;
        });
    return walked && (out.empty() || write(out.data(), out.size()));
}

void CArchive::Seek(std::size_t position)
{
    if (!m_source) {
        m_pos = std::min(position, m_bytes.size());
        return;
    }
    position = std::min(position, m_total);
    if (position >= m_base && position - m_base <= m_window.size()) {
        m_pos = position - m_base;
        return;
    }
    m_base = position; // the next read fills the window from here
    m_pos = 0;
    m_window.clear();
}

void CArchive::Transfer(std::int32_t& value)
{
    if (IsStoring())
        WriteInt32(value);
    else
        value = ReadInt32();
}

void CArchive::Transfer(std::uint32_t& value)
{
    if (IsStoring())
        WriteUInt32(value);
    else
        value = ReadUInt32();
}

void CArchive::Transfer(std::string& text)
{
    if (IsStoring())
        WriteString(text);
    else
        ReadStringInto(text);
}

void SerializeStringArray(CArchive& ar, std::vector<std::string>& texts)
{
    if (ar.IsStoring()) {
        ar.WriteCount(texts.size());
        for (const auto& t : texts)
            ar.WriteString(t);
        return;
    }
    texts.clear();
    const std::size_t count = ar.ReadCount(1);
    for (std::size_t i = 0; i < count; ++i)
        texts.push_back(ar.ReadString());
}
