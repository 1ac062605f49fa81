#include <gtest/gtest.h>

#include "online/BannerIndex.h"
#include "online/BannerNames.h"
#include "online/BannerRotation.h"
#include "store/Archive.h"
#include "support/Bytes.h"
#include "support/TempDir.h"

namespace {

// An index as the maker's tools write it: the count, the first element with the class
// description, every later one with the class reference 0x8001.
Bytes IndexBytes(const std::vector<std::tuple<std::string, std::string, std::uint32_t>>& entries)
{
    Bytes b;
    b.u16(static_cast<std::uint16_t>(entries.size()));
    bool first = true;
    for (const auto& [image, link, duration] : entries) {
        if (first)
            b.u16(0xFFFF).u16(1).u16(11).raw("CBannerInfo");
        else
            b.u16(0x8001);
        first = false;
        b.shortString(image).shortString(link).u32(duration);
    }
    return b;
}

CBannerList ListOf(const std::vector<int>& durations)
{
    CBannerList list;
    for (std::size_t i = 0; i < durations.size(); ++i)
        list.push_back(
            std::make_unique<CBannerInfo>("b" + std::to_string(i) + ".jpg", "http://x/", durations[i]));
    return list;
}

// The index shown after each tick, and whether the tick advanced.
std::string Ticks(CBannerRotation& rotation, const CBannerList& list, int ticks)
{
    std::string trace;
    for (int i = 0; i < ticks; ++i) {
        const bool advanced = rotation.Tick(list);
        trace += std::to_string(rotation.GetIndex()) + (advanced ? "*" : "") + " ";
    }
    return trace;
}

} // namespace

TEST(BannerInfo, StoresFieldsInOrderAsOneArrayElement)
{
    std::vector<std::uint8_t> bytes;
    CArchive ar(bytes, CArchive::Mode::Store);
    CBannerList list;
    list.push_back(std::make_unique<CBannerInfo>("a.jpg", "http://e.pl/", 3));
    list.push_back(std::make_unique<CBannerInfo>("b.jpg", "", -1));
    SerializeObjectArray(ar, list);
    EXPECT_EQ(bytes, IndexBytes({{"a.jpg", "http://e.pl/", 3}, {"b.jpg", "", 0xFFFFFFFF}}).vec())
        << Hex(bytes);
}

TEST(BannerIndex, ReadsTheMakersFormat)
{
    CBannerList list;
    ASSERT_TRUE(banner_index::Parse(
        IndexBytes({{"a.jpg", "http://a.pl/", 1}, {"b.jpg", "https://b.pl/x", 2}, {"c.jpg", "", 0xFFFFFFFE}}),
        list));
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0]->GetImageFile(), "a.jpg");
    EXPECT_EQ(list[1]->GetLink(), "https://b.pl/x");
    EXPECT_EQ(list[2]->GetDuration(), -2);

    // The 32-bit count form and a long string.
    const std::string longLink = "http://x.pl/" + std::string(300, 'q');
    Bytes wide;
    wide.u16(0xFFFF).u32(1).u16(0xFFFF).u16(1).u16(11).raw("CBannerInfo").shortString("w.jpg");
    wide.u8(0xFF).u16(static_cast<std::uint16_t>(longLink.size())).raw(longLink).u32(5);
    ASSERT_TRUE(banner_index::Parse(wide, list));
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0]->GetLink(), longLink);
}

TEST(BannerIndex, EmptyDamagedAndForeignFiles)
{
    CBannerList list;
    EXPECT_TRUE(banner_index::Parse(Bytes().u16(0), list));
    EXPECT_TRUE(list.empty());
    // Cut inside the second entry, an unknown class, an error page instead of an index.
    std::vector<std::uint8_t> cut = IndexBytes({{"a.jpg", "l", 1}, {"b.jpg", "l", 1}});
    cut.resize(cut.size() - 3);
    EXPECT_FALSE(banner_index::Parse(cut, list));
    EXPECT_TRUE(list.empty());
    EXPECT_FALSE(banner_index::Parse(Bytes().u16(1).u16(0xFFFF).u16(1).u16(8).raw("CMessage"), list));
    EXPECT_FALSE(banner_index::Parse(Bytes().raw("<html>404</html>"), list));
    EXPECT_TRUE(list.empty());
}

TEST(BannerIndex, LoadingKeepsTheListWhenMissingAndDropsUnsafeNames)
{
    TempDir dir;
    CBannerList list = ListOf({4});
    EXPECT_FALSE(banner_index::LoadBannerList(dir.path(), list));
    EXPECT_EQ(list.size(), 1u); // no file: unchanged

    WriteFileBytes(dir.file("Brivantel.adv"), IndexBytes({{"good.jpg", "http://a/", 1},
                                                          {"../evil.jpg", "http://a/", 1},
                                                          {"CON", "", 1},
                                                          {"ok2.jpg", "", 2}}));
    ASSERT_TRUE(banner_index::LoadBannerList(dir.path(), list));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0]->GetImageFile(), "good.jpg");
    EXPECT_EQ(list[1]->GetImageFile(), "ok2.jpg");

    CBannerList all;
    EXPECT_EQ(banner_index::ReadFile(dir.file("Brivantel.adv"), all), banner_index::FileState::Read);
    EXPECT_EQ(all.size(), 4u); // listing shows every entry

    WriteFileBytes(dir.file("Brivantel.adv"), {0x01});
    EXPECT_TRUE(banner_index::LoadBannerList(dir.path(), list));
    EXPECT_TRUE(list.empty()); // unreadable: emptied
}

TEST(BannerNames, PlainFileNamesOnly)
{
    for (const char* ok :
         {"banner.jpg", "a", "Reklama 1.jpg", "x..y.jpg", "console.jpg", "COM0.jpg", "LPT10"})
        EXPECT_TRUE(banner_names::IsPlainFileName(ok)) << ok;
    for (const char* bad :
         {"",        ".",      "..",       ".hidden.jpg", "../x.jpg",  "a/b.jpg",     "a\\b.jpg",
          "C:x.jpg", "x.jpg.", "x.jpg ",   "CON",         "con.jpg",   "Nul",         "aux.txt",
          "PRN",     "COM1",   "com9.jpg", "LPT3.jpg",    "tab\there", "line\nbreak", "del\x7f"})
        EXPECT_FALSE(banner_names::IsPlainFileName(bad)) << bad;
    EXPECT_TRUE(banner_names::IsPlainFileName(std::string(255, 'a')));
    EXPECT_FALSE(banner_names::IsPlainFileName(std::string(256, 'a')));
}

TEST(BannerNames, PictureNamesEndInJpgAndAreNeverTheProgramsFiles)
{
    for (const char* ok : {"banner.jpg", "Reklama 1.JPG", "a.jpeg", "B.JpEg", "brivantel.jpg", "x.vs.jpg"})
        EXPECT_TRUE(banner_names::IsPictureName(ok)) << ok;
    for (const char* bad :
         {"Brivantel.vs", "Brivantel.vs.lock", "Brivantel.vs.damaged", "Brivantel.vs.damaged-2",
          "Brivantel.adv", "brivantel.VS.jpg", "BRIVANTEL.ADV.jpeg", "Brivantel.vs.tmp-1.jpg", "banner",
          "banner.png", "banner.jpg.exe", "a.jpgx", ".jpg", "../x.jpg", "CON.jpg", "x.jpg "})
        EXPECT_FALSE(banner_names::IsPictureName(bad)) << bad;
}

TEST(BannerNames, OnlyWebAddressesAreOpened)
{
    for (const char* ok : {"http://www.example.pl/", "https://example.pl/a?b=c", "HTTP://X.PL"})
        EXPECT_TRUE(banner_names::IsWebAddress(ok)) << ok;
    for (const char* bad :
         {"", "file:///etc/passwd", "C:\\Windows\\calc.exe", "calc.exe", "ftp://x.pl/", "javascript:alert(1)",
          "http://", "http:///etc", "http://x.pl/ -x", "mailto:a@b.pl", " http://x.pl/"})
        EXPECT_FALSE(banner_names::IsWebAddress(bad)) << bad;
}

TEST(BannerRotation, DurationsOneTwoThree)
{
    const CBannerList list = ListOf({1, 2, 3});
    CBannerRotation rotation;
    EXPECT_EQ(rotation.Current(list), list[0].get());
    // Index 0 lasts one tick, index 1 two, index 2 three, then index 0 again.
    EXPECT_EQ(Ticks(rotation, list, 8), "1* 1 2* 2 2 0* 1* 1 ");
    EXPECT_EQ(rotation.Current(list), list[1].get());
}

TEST(BannerRotation, OneEntryZeroAndNegativeDurations)
{
    CBannerRotation one;
    const CBannerList six = ListOf({6});
    EXPECT_EQ(Ticks(one, six, 12), "0 0 0 0 0 0* 0 0 0 0 0 0* ");

    CBannerRotation short_;
    const CBannerList list = ListOf({0, -5, 1});
    EXPECT_EQ(Ticks(short_, list, 4), "1* 2* 0* 1* ");

    CBannerRotation empty;
    EXPECT_FALSE(empty.Tick(CBannerList{}));
    EXPECT_EQ(empty.Current(CBannerList{}), nullptr);
}

TEST(BannerRotation, ShorterListStartsOver)
{
    CBannerList list = ListOf({1, 1, 1});
    CBannerRotation rotation;
    Ticks(rotation, list, 2);
    EXPECT_EQ(rotation.GetIndex(), 2u);
    list.pop_back();
    EXPECT_EQ(rotation.Current(list), list[0].get());
    EXPECT_TRUE(rotation.Tick(list));
    EXPECT_EQ(rotation.GetIndex(), 1u);
}
