#include <gtest/gtest.h>

#include "store/AddressBook.h"
#include "store/Archive.h"
#include "store/MessageList.h"
#include "support/Bytes.h"

namespace {

std::vector<std::uint8_t> Written(const std::function<void(CArchive&)>& write)
{
    std::vector<std::uint8_t> bytes;
    CArchive ar(bytes, CArchive::Mode::Store);
    write(ar);
    return bytes;
}

std::vector<std::uint8_t> Prefix(const std::vector<std::uint8_t>& bytes, std::size_t n)
{
    return {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min(n, bytes.size()))};
}

std::string ReadOneString(std::vector<std::uint8_t> bytes)
{
    CArchive ar(bytes, CArchive::Mode::Load);
    std::string s = ar.ReadString();
    EXPECT_EQ(ar.Remaining(), 0u);
    return s;
}

std::unique_ptr<CAddress> Entry(const std::string& display, const std::string& number)
{
    auto a = std::make_unique<CAddress>();
    a->SetDisplayName(display);
    a->SetCountryPrefix("+48");
    a->SetOperatorCode("602");
    a->SetSubscriberNumber(number);
    return a;
}

Bytes& AddressFields(Bytes& b, const std::string& display, const std::string& number)
{
    return b.u8(0).u8(0).shortString(display).shortString("+48").shortString("602").shortString(number);
}

} // namespace

TEST(Archive, StringLengthPrefixesAtEveryBoundary)
{
    struct Case
    {
        std::size_t length;
        std::vector<std::uint8_t> prefix;
    };
    const std::vector<Case> cases = {
        {0, Bytes().u8(0x00)},
        {1, Bytes().u8(0x01)},
        {254, Bytes().u8(0xFE)},
        {255, Bytes().u8(0xFF).u16(255)},
        {65533, Bytes().u8(0xFF).u16(0xFFFD)},
        {65534, Bytes().u8(0xFF).u16(0xFFFF).u32(65534)},
        {65535, Bytes().u8(0xFF).u16(0xFFFF).u32(65535)},
        {70000, Bytes().u8(0xFF).u16(0xFFFF).u32(70000)},
    };
    for (const auto& c : cases) {
        const std::string text(c.length, 'x');
        const auto bytes = Written([&](CArchive& ar) { ar.WriteString(text); });
        EXPECT_EQ(Prefix(bytes, c.prefix.size()), c.prefix) << "length " << c.length;
        EXPECT_EQ(bytes.size(), c.prefix.size() + c.length) << "length " << c.length;
        auto expected = c.prefix;
        expected.insert(expected.end(), text.begin(), text.end());
        EXPECT_EQ(ReadOneString(expected), text) << "length " << c.length;
    }
}

TEST(Archive, ReadsUtf16StringsAsWindows1250)
{
    // 0xFF 0xFFFE announces UTF-16; then a second length prefix and the code units.
    Bytes wide;
    wide.u8(0xFF).u16(0xFFFE).u8(5);
    wide.u16(u'Z').u16(0x0105).u16(0x0142); // Z, ą, ł
    wide.u16(0x0416).u16(u'!');             // Cyrillic Ж (not in the code page), !
    const auto bytes = wide.vec();
    EXPECT_EQ(ReadOneString(bytes), "Z\xB9\xB3?!");

    // A long UTF-16 string uses the 2-byte form of the inner prefix.
    std::vector<std::uint8_t> longWide = Bytes().u8(0xFF).u16(0xFFFE).u8(0xFF).u16(300);
    for (int i = 0; i < 300; ++i) {
        longWide.push_back('a');
        longWide.push_back(0);
    }
    EXPECT_EQ(ReadOneString(longWide), std::string(300, 'a'));

    // Written back, it is plain 8-bit.
    const auto rewritten = Written([&](CArchive& ar) { ar.WriteString(ReadOneString(bytes)); });
    EXPECT_EQ(rewritten, Bytes().u8(5).raw("Z\xB9\xB3?!").vec());
}

TEST(Archive, CountsUseTheEscapeFrom65535)
{
    EXPECT_EQ(Written([](CArchive& ar) { ar.WriteCount(0); }), Bytes().u16(0).vec());
    EXPECT_EQ(Written([](CArchive& ar) { ar.WriteCount(65534); }), Bytes().u16(0xFFFE).vec());
    EXPECT_EQ(Written([](CArchive& ar) { ar.WriteCount(65535); }), Bytes().u16(0xFFFF).u32(65535).vec());

    std::vector<std::uint8_t> texts = Bytes().u16(0xFFFF).u32(65535);
    texts.resize(texts.size() + 65535, 0); // 65535 empty strings
    CArchive ar(texts, CArchive::Mode::Load);
    std::vector<std::string> read;
    SerializeStringArray(ar, read);
    EXPECT_EQ(read.size(), 65535u);
    EXPECT_EQ(ar.Remaining(), 0u);

    std::vector<std::uint8_t> texts2 = Bytes().u16(0xFFFE);
    texts2.resize(texts2.size() + 65534, 0);
    CArchive ar2(texts2, CArchive::Mode::Load);
    std::vector<std::string> read2;
    SerializeStringArray(ar2, read2);
    EXPECT_EQ(read2.size(), 65534u);
}

TEST(Archive, DamagedLengthsAndCountsNeverAllocateBeyondTheInput)
{
    // A count of four billion with two bytes behind it, a string claiming 4 GB.
    std::vector<std::uint8_t> hugeCount = Bytes().u16(0xFFFF).u32(0xFFFFFFF0).u16(0);
    CArchive a1(hugeCount, CArchive::Mode::Load);
    MessageArray messages;
    EXPECT_THROW(SerializeObjectArray(a1, messages), CArchiveException);
    EXPECT_TRUE(messages.empty());

    std::vector<std::uint8_t> hugeString = Bytes().u8(0xFF).u16(0xFFFF).u32(0xFFFFFFF0).raw("abc");
    CArchive a2(hugeString, CArchive::Mode::Load);
    EXPECT_THROW(a2.ReadString(), CArchiveException);

    std::vector<std::uint8_t> hugeWide = Bytes().u8(0xFF).u16(0xFFFE).u8(0xFF).u16(0xFFFD).raw("ab");
    CArchive a3(hugeWide, CArchive::Mode::Load);
    EXPECT_THROW(a3.ReadString(), CArchiveException);
}

TEST(Archive, ClassTagsAndIndicesRunOverTheWholeArchive)
{
    AddressArray book;
    book.push_back(Entry("Jan", "1111111"));
    book.push_back(Entry("Ewa", "2222222"));
    MessageArray drafts;
    drafts.push_back(std::make_unique<CMessage>("Jan", "Hej", 1000));
    MessageArray sent;
    sent.push_back(std::make_unique<CMessage>("Ewa", "Cze", 2000));

    const auto bytes = Written([&](CArchive& ar) {
        SerializeObjectArray(ar, book);
        SerializeObjectArray(ar, drafts);
        SerializeObjectArray(ar, sent);
    });

    Bytes expected;
    expected.u16(2).u16(0xFFFF).u16(1).u16(8).raw("CAddress"); // class index 1, entry index 2
    AddressFields(expected, "Jan", "1111111");
    expected.u16(0x8001); // entry index 3
    AddressFields(expected, "Ewa", "2222222");
    expected.u16(1).u16(0xFFFF).u16(1).u16(8).raw("CMessage"); // class index 4, message index 5
    expected.shortString("Jan").shortString("Hej").u32(1000);
    expected.u16(1).u16(0x8004); // the next message anywhere in the file
    expected.shortString("Ewa").shortString("Cze").u32(2000);
    EXPECT_EQ(bytes, expected.vec()) << Hex(bytes, 0, 200);
}

TEST(Archive, NullElementsAreSkippedAndBackReferencesGiveCopies)
{
    // Two messages, a null reference, then a reference to object index 2 (the first message).
    Bytes b;
    b.u16(4).u16(0xFFFF).u16(1).u16(8).raw("CMessage").shortString("A").shortString("one").u32(10);
    b.u16(0x8001).shortString("B").shortString("two").u32(20);
    b.u16(0x0000).u16(0x0002);
    std::vector<std::uint8_t> bytes = b.vec();
    CArchive ar(bytes, CArchive::Mode::Load);
    MessageArray messages;
    SerializeObjectArray(ar, messages);
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[2]->GetText(), "one");
    EXPECT_EQ(messages[2]->GetTime(), 10u);
    EXPECT_NE(messages[2].get(), messages[0].get()); // its own object, owned once
}

TEST(Archive, MalformedReferencesAreDamage)
{
    auto readMessages = [](std::vector<std::uint8_t> bytes) {
        CArchive ar(bytes, CArchive::Mode::Load);
        MessageArray messages;
        SerializeObjectArray(ar, messages);
    };
    // Unknown class name.
    EXPECT_THROW(readMessages(Bytes().u16(1).u16(0xFFFF).u16(1).u16(8).raw("CUnknown").vec()), CArchiveException);
    // Schema other than 1.
    EXPECT_THROW(readMessages(Bytes().u16(1).u16(0xFFFF).u16(2).u16(8).raw("CMessage").vec()), CArchiveException);
    // A known class where messages are expected.
    EXPECT_THROW(readMessages(Bytes().u16(1).u16(0xFFFF).u16(1).u16(8).raw("CAddress").raw(std::string(6, '\0')).vec()),
                 CArchiveException);
    // A class index never defined, and a back reference to nothing.
    EXPECT_THROW(readMessages(Bytes().u16(1).u16(0x8005).vec()), CArchiveException);
    EXPECT_THROW(readMessages(Bytes().u16(1).u16(0x0007).vec()), CArchiveException);
    // Class index 0.
    EXPECT_THROW(readMessages(Bytes().u16(1).u16(0x8000).vec()), CArchiveException);
}

TEST(Archive, BigIndexFormAfter32766Entries)
{
    constexpr std::size_t kEntries = 32767; // CAddress is index 1, entries 2..32768
    AddressArray book;
    for (std::size_t i = 0; i < kEntries; ++i)
        book.push_back(Entry("", ""));
    MessageArray messages;
    messages.push_back(std::make_unique<CMessage>("", "a", 1));
    messages.push_back(std::make_unique<CMessage>("", "b", 2));

    auto bytes = Written([&](CArchive& ar) {
        SerializeObjectArray(ar, book);
        SerializeObjectArray(ar, messages);
    });

    // Each entry after the first: tag 0x8001 and six strings (the three filled ones fixed).
    const std::size_t entryBytes = 2 + 3 + 4 + 4 + 1;
    const std::size_t bookBytes = 2 + (2 + 2 + 8) + entryBytes * kEntries; // count, class description
    const std::vector<std::uint8_t> tail(bytes.begin() + static_cast<std::ptrdiff_t>(bookBytes), bytes.end());
    // CMessage becomes class index 32769 = 0x8001: beyond the short form, so the second message
    // refers to its class with 0x7FFF and 0x80000000 + index.
    Bytes expected;
    expected.u16(2).u16(0xFFFF).u16(1).u16(8).raw("CMessage").u8(0).shortString("a").u32(1);
    expected.u16(0x7FFF).u32(0x80000000u + 32769u).u8(0).shortString("b").u32(2);
    EXPECT_EQ(tail, expected.vec()) << Hex(tail);

    CArchive in(bytes, CArchive::Mode::Load);
    AddressArray book2;
    MessageArray messages2;
    SerializeObjectArray(in, book2);
    SerializeObjectArray(in, messages2);
    EXPECT_EQ(book2.size(), kEntries);
    ASSERT_EQ(messages2.size(), 2u);
    EXPECT_EQ(messages2[1]->GetText(), "b");
    EXPECT_EQ(in.Remaining(), 0u);
}

TEST(Archive, BigObjectIndexBackReference)
{
    // An object index that needs the 4-byte form: 0x7FFF then the index without its top bit.
    constexpr std::size_t kEntries = 32767;
    Bytes b;
    b.u16(static_cast<std::uint16_t>(kEntries + 1)).u16(0xFFFF).u16(1).u16(8).raw("CAddress");
    AddressFields(b, "first", "1"); // entry index 2
    for (std::size_t i = 1; i < kEntries; ++i)
        AddressFields(b.u16(0x8001), "", "");
    b.u16(0x7FFF).u32(32768); // the last entry (index 32768) referenced again
    std::vector<std::uint8_t> bytes = b.vec();
    CArchive ar(bytes, CArchive::Mode::Load);
    AddressArray book;
    SerializeObjectArray(ar, book);
    ASSERT_EQ(book.size(), kEntries + 1);
    EXPECT_EQ(book.front()->GetDisplayName(), "first");
    EXPECT_NE(book.back().get(), book[kEntries - 1].get());
}

TEST(Archive, TimeStampsAreUnsigned32Bit)
{
    // 2100-01-01: beyond 2038, still fits the unsigned field.
    const TimeStamp late = 4102444800u;
    MessageArray in;
    in.push_back(std::make_unique<CMessage>("", "", late));
    auto bytes = Written([&](CArchive& ar) { SerializeObjectArray(ar, in); });
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.end() - 4, bytes.end()), Bytes().u32(late).vec());
    CArchive ar(bytes, CArchive::Mode::Load);
    MessageArray out;
    SerializeObjectArray(ar, out);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0]->GetTime(), late);
}
