#include <gtest/gtest.h>

#include "store/AddressBook.h"

namespace {

CAddress* Add(CAddressBook& book, const std::string& display, const std::string& op, const std::string& number)
{
    auto a = std::make_unique<CAddress>();
    a->SetDisplayName(display);
    a->SetCountryPrefix("+48");
    a->SetOperatorCode(op);
    a->SetSubscriberNumber(number);
    CAddress* raw = a.get();
    EXPECT_TRUE(book.AddAddress(a));
    return raw;
}

std::vector<CAddress*> FindAll(CAddressBook& book, const std::string& name, const std::string& number)
{
    std::vector<CAddress*> hits;
    for (CAddress* a = book.FindFirst(name, number); a; a = book.FindNext())
        hits.push_back(a);
    return hits;
}

} // namespace

TEST(AddressBook, ExactLookupsFindTheFirstInBookOrder)
{
    CAddressBook book;
    CAddress* jan1 = Add(book, "Jan", "602", "1111111");
    CAddress* jan2 = Add(book, "Jan", "501", "2222222");
    EXPECT_EQ(book.FindByDisplayName("Jan"), jan1);
    EXPECT_EQ(book.NumberForName("Jan"), "+486021111111");
    EXPECT_EQ(book.NameForNumber(jan2->GetFullNumber()), "Jan");
    EXPECT_TRUE(book.ExistsDisplayName("Jan"));
    EXPECT_FALSE(book.ExistsDisplayName("jan")); // case-sensitive
    EXPECT_FALSE(book.ExistsDisplayName("Ja"));  // whole text
    EXPECT_EQ(book.NameForNumber("+48 602 1111111"), "");
    EXPECT_EQ(book.NumberForName("Nobody"), "");
    EXPECT_EQ(book.FindByDisplayName(""), nullptr);

    CAddress* nameless = Add(book, "", "603", "3");
    EXPECT_EQ(book.FindByDisplayName(""), nameless);
}

TEST(AddressBook, SearchIsCaseInsensitiveSubstringInBookOrder)
{
    CAddressBook book;
    EXPECT_EQ(book.FindFirst("a", ""), nullptr); // empty book

    CAddress* kowalski = Add(book, "Kowalski", "501", "7654321");
    CAddress* nowak = Add(book, "Nowakowska", "603", "1602000");
    CAddress* other = Add(book, "Zenon", "602", "1234567");
    CAddress* lukasz = Add(book, "\xA3UKASZ", "605", "9999999"); // ŁUKASZ in Windows-1250

    EXPECT_EQ(FindAll(book, "kow", ""), (std::vector<CAddress*>{kowalski, nowak}));
    EXPECT_EQ(FindAll(book, "", "602"), (std::vector<CAddress*>{nowak, other}));
    EXPECT_EQ(FindAll(book, "kow", "603"), (std::vector<CAddress*>{nowak}));
    EXPECT_TRUE(FindAll(book, "", "").empty());
    EXPECT_EQ(FindAll(book, "\xB3ukasz", ""), (std::vector<CAddress*>{lukasz})); // łukasz
    EXPECT_TRUE(FindAll(book, "nobody", "").empty());

    // After the search ran out, FindNext stays at none until a new FindFirst.
    EXPECT_EQ(book.FindNext(), nullptr);
    EXPECT_EQ(book.FindFirst("zen", ""), other);
    EXPECT_EQ(book.FindNext(), nullptr);
}

TEST(AddressBook, DeleteAddressRemovesOnlyThatEntry)
{
    CAddressBook book;
    CAddress* a = Add(book, "A", "602", "1");
    CAddress* b = Add(book, "A", "602", "2");
    book.DeleteAddress(a);
    ASSERT_EQ(book.GetEntries().size(), 1u);
    EXPECT_EQ(book.GetEntries()[0].get(), b);
    CAddress stranger;
    book.DeleteAddress(&stranger);
    EXPECT_EQ(book.GetEntries().size(), 1u);
}

TEST(AddressRules, EditorAcceptsOnlyPlainNumbers)
{
    using namespace address_rules;
    EXPECT_TRUE(IsValidCountryPrefix("+48"));
    EXPECT_TRUE(IsValidCountryPrefix("+1"));
    for (const char* bad :
         {"+048", "48", "+48 ", "+", "", "+4a", "++48", "+ 48", "+99999999999", "+-48", "++4", "+-0"})
        EXPECT_FALSE(IsValidCountryPrefix(bad)) << bad;
    EXPECT_TRUE(IsValidOperatorCode("602"));
    for (const char* bad : {"0602", "60a", "", " 602", "602 ", "-602", "+602", "-0"})
        EXPECT_FALSE(IsValidOperatorCode(bad)) << bad;

    CAddress entry;
    entry.SetCountryPrefix("+48");
    entry.SetOperatorCode("602");
    EXPECT_EQ(Check(entry), Problem::NoName);
    entry.SetSurname("Nowak");
    EXPECT_EQ(Check(entry), Problem::NoSubscriberNumber);
    for (const char* bad : {"12 34", "123-456", "+123", "-1", " 1", "1a"}) {
        entry.SetSubscriberNumber(bad);
        EXPECT_EQ(Check(entry), Problem::SubscriberNumber) << bad;
    }
    entry.SetSubscriberNumber("0123456789");
    EXPECT_EQ(Check(entry), Problem::None);
    entry.SetOperatorCode("0602");
    EXPECT_EQ(Check(entry), Problem::OperatorCode);

    EXPECT_EQ(DisplayNameFrom("Jan", "Nowak"), "Jan Nowak");
    EXPECT_EQ(DisplayNameFrom("", "Nowak"), "Nowak");
    EXPECT_EQ(DisplayNameFrom("Jan", ""), "Jan");
}
