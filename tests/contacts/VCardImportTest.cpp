#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include "contacts/ContactsImport.h"
#include "contacts/VCardReader.h"
#include "store/AddressBook.h"
#include "store/Windows1250.h"
#include "support/TempDir.h"

namespace {

// What the book holds, in UTF-8 for readable failures: first|surname|display|prefix|operator|number.
std::vector<std::string> Rows(const CAddressBook& book)
{
    std::vector<std::string> rows;
    for (const auto& e : book.GetEntries())
        rows.push_back(windows1250::ToUtf8(e->GetFirstName() + "|" + e->GetSurname() + "|" +
                                           e->GetDisplayName() + "|" + e->GetCountryPrefix() + "|" +
                                           e->GetOperatorCode() + "|" + e->GetSubscriberNumber()));
    return rows;
}

void AddEntry(CAddressBook& book, const char* first, const char* surname, const char* display, const char* op,
              const char* number)
{
    auto e = std::make_unique<CAddress>();
    e->SetFirstName(windows1250::FromUtf8Lossy(first));
    e->SetSurname(windows1250::FromUtf8Lossy(surname));
    e->SetDisplayName(windows1250::FromUtf8Lossy(display));
    e->SetCountryPrefix("+48");
    e->SetOperatorCode(op);
    e->SetSubscriberNumber(number);
    ASSERT_TRUE(book.AddAddress(e));
}

struct Imported
{
    bool ok = false;
    contacts::ImportSummary summary;
    std::string error;
};

Imported Import(const std::string& vcf, CAddressBook& book)
{
    Imported r;
    r.ok = contacts::ImportVCards(vcf, book, r.summary, r.error);
    return r;
}

// Android's contacts app: vCard 2.1, names in quoted-printable UTF-8 with soft line breaks, bare
// types, a picture in base64 whose lines are indented and end with an empty line.
const std::string kAndroid =
    "BEGIN:VCARD\r\n"
    "VERSION:2.1\r\n"
    "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=C5=81=C4=85cka;Zofia;;;\r\n"
    "FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:Zofia =C5=81=C4=85cka\r\n"
    "TEL;CELL:+48 601 234 567\r\n"
    "TEL;HOME:+48 22 628 12 34\r\n"
    "PHOTO;ENCODING=BASE64;JPEG:/9j/4AAQSkZJRgABAQAAAQABAAD/2wBDAAgGBgcGBQgHBwcJ\r\n"
    "  CQgKDBQNDAsLDBkSEw8UHRofHh0aHBwgJC4nICIsIxwcKDcpLDAxNDQ0Hyc5PTgyPC4zNDL/\r\n"
    "\r\n"
    "END:VCARD\r\n"
    "BEGIN:VCARD\r\n"
    "VERSION:2.1\r\n"
    "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:Brz=C4=99czyszczykiewicz-Ko=C5=BA=\r\n"
    "mi=C5=84ska;=C5=9Awi=C4=99tos=C5=82awa;;;\r\n"
    "FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=C5=9Awi=C4=99tos=C5=82awa Brz=C4=\r\n"
    "=99czyszczykiewicz-Ko=C5=BAmi=C5=84ska\r\n"
    "TEL;CELL;PREF:0048 797 000 111\r\n"
    "TEL;WORK:*100#\r\n"
    "END:VCARD\r\n";

// iOS: vCard 3.0, grouped properties, repeated type parameters, an organisation, a picture.
const std::string kIos = "BEGIN:VCARD\r\n"
                         "VERSION:3.0\r\n"
                         "PRODID:-//Apple Inc.//iPhone OS 17.4//EN\r\n"
                         "N:Nowak;\xC5\x81ukasz;;;\r\n"
                         "FN:\xC5\x81ukasz Nowak\r\n"
                         "ORG:Nowak i Syn\\, s.c.;\r\n"
                         "item1.TEL;type=CELL;type=VOICE;type=pref:(+48) 602123456\r\n"
                         "item1.X-ABLabel:_$!<Mobile>!$_\r\n"
                         "TEL;type=IPHONE;type=CELL;type=VOICE:+48 (698) 765-432\r\n"
                         "TEL;type=HOME;type=VOICE:+48 22 555 12 34\r\n"
                         "item2.EMAIL;type=INTERNET;type=pref:lukasz@example.com\r\n"
                         "PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQSkZJRgABAQAAAQABAAD/4QBYRXhpZgAATU0AKgAAAA\r\n"
                         " gAAgESAAMAAAABAAEAAIdpAAQAAAABAAAAJgAAAAAAA6ABAAMAAAABAAEAAKACAAQAAAABAAAAQK\r\n"
                         "END:VCARD\r\n"
                         "BEGIN:VCARD\r\n"
                         "VERSION:3.0\r\n"
                         "N:;;;;\r\n"
                         "FN:Serwis Auta\r\n"
                         "ORG:Serwis Auta;\r\n"
                         "TEL;type=WORK;type=VOICE;type=pref:+48 61 811 22 33\r\n"
                         "END:VCARD\r\n";

// Google Contacts' export: vCard 3.0, TYPE=, foreign numbers, letters outside Windows-1250,
// LF line ends and a long line folded with one blank.
const std::string kGoogle =
    "BEGIN:VCARD\n"
    "VERSION:3.0\n"
    "FN:Anna Wi\xC5\x9Bniewska\n"
    "N:Wi\xC5\x9Bniewska;Anna;;;\n"
    "TEL;TYPE=CELL:602 345 678\n"
    "TEL;TYPE=WORK:22 555 12 34\n"
    "EMAIL;TYPE=INTERNET:anna@example.com\n"
    "NOTE:Pierwsza linia notatki\\nkt\xC3\xB3ra jest bardzo d\xC5\x82uga i zawini\xC4\x99ta na\n"
    "  dwa wiersze\n"
    "CATEGORIES:myContacts\n"
    "END:VCARD\n"
    "BEGIN:VCARD\n"
    "VERSION:3.0\n"
    "FN:Nu\xC3\xB1o S\xC3\xB8rensen \xE2\x98\x8E\n"
    "N:S\xC3\xB8rensen;Nu\xC3\xB1o;;;\n"
    "TEL;TYPE=CELL:+44 7700 900123\n"
    "TEL;TYPE=HOME:+1 212-555-0147\n"
    "TEL;TYPE=CELL:+1 646-555-0199\n"
    "CATEGORIES:myContacts\n"
    "END:VCARD\n";

// An old phone: vCard 2.1 written in its own code page, named by CHARSET, quoted-printable, the
// trunk zero before mobile numbers, and a vCard 4.0 card from a desktop program after it.
const std::string kOldPhone = "BEGIN:VCARD\r\n"
                              "VERSION:2.1\r\n"
                              "N;ENCODING=QUOTED-PRINTABLE;CHARSET=ISO-8859-2:Ma=B3ysz;Ma=B3gorzata\r\n"
                              "TEL;PREF;CELL:0601112233\r\n"
                              "TEL;WORK:012 345 67 89\r\n"
                              "END:VCARD\r\n"
                              "BEGIN:VCARD\r\n"
                              "VERSION:2.1\r\n"
                              "N;CHARSET=WINDOWS-1250;ENCODING=QUOTED-PRINTABLE:=8Cwi=B9tek;J=F3zef\r\n"
                              "FN;CHARSET=WINDOWS-1250;ENCODING=QUOTED-PRINTABLE:J=F3zef =8Cwi=B9tek\r\n"
                              "TEL;CELL:+48501999888\r\n"
                              "END:VCARD\r\n"
                              "BEGIN:VCARD\r\n"
                              "VERSION:4.0\r\n"
                              "N:Zieli\xC5\x84ski;Piotr;;;\r\n"
                              "FN:Piotr Zieli\xC5\x84ski\r\n"
                              "TEL;VALUE=uri;TYPE=\"cell,voice\":tel:+48-790-111-222\r\n"
                              "END:VCARD\r\n";

} // namespace

TEST(VCardImport, CardsAsPhonesAndProgramsWriteThem)
{
    struct Case
    {
        const char* name;
        const std::string& vcf;
        std::vector<std::string> rows;
        contacts::ImportSummary summary; // added, skipped, already in book, names changed
    };
    const Case cases[] = {
        {"Android",
         kAndroid,
         {"Zofia|Łącka|Zofia Łącka|+48|601|234567", "Świętosława|Brzęczyszczykiewicz-Koźmińska|Świętosława "
                                                    "Brzęczyszczykiewicz-Koźmińska|+48|797|000111"},
         {2, 2, 0, 0}},
        {"iOS",
         kIos,
         {"Łukasz|Nowak|Łukasz Nowak|+48|602|123456", "Łukasz|Nowak|Łukasz Nowak (2)|+48|698|765432"},
         {2, 2, 0, 0}},
        {"Google",
         kGoogle,
         {"Anna|Wiśniewska|Anna Wiśniewska|+48|602|345678", "Nuno|Sorensen|Nuno Sorensen ?|+44|770|0900123",
          "Nuno|Sorensen|Nuno Sorensen ? (2)|+1|646|5550199"},
         {3, 2, 0, 2}},
        {"old phone",
         kOldPhone,
         {"Małgorzata|Małysz|Małgorzata Małysz|+48|601|112233", "Józef|Świątek|Józef Świątek|+48|501|999888",
          "Piotr|Zieliński|Piotr Zieliński|+48|790|111222"},
         {3, 1, 0, 0}},
    };
    for (const auto& c : cases) {
        CAddressBook book;
        const auto r = Import(c.vcf, book);
        ASSERT_TRUE(r.ok) << c.name << ": " << windows1250::ToUtf8(r.error);
        EXPECT_EQ(Rows(book), c.rows) << c.name;
        EXPECT_EQ(r.summary.added, c.summary.added) << c.name;
        EXPECT_EQ(r.summary.skippedNumbers, c.summary.skippedNumbers) << c.name;
        EXPECT_EQ(r.summary.alreadyInBook, c.summary.alreadyInBook) << c.name;
        EXPECT_EQ(r.summary.namesChanged, c.summary.namesChanged) << c.name;
    }
}

TEST(VCardImport, EntriesAlreadyInTheBookAreNotAddedAgain)
{
    CAddressBook book;
    AddEntry(book, "Zofia", "Łącka", "Zofia Łącka", "601", "234567");
    AddEntry(book, "Z", "", "Zosia", "797", "000111"); // same number, another name: a new entry
    const auto first = Import(kAndroid, book);
    ASSERT_TRUE(first.ok);
    EXPECT_EQ(first.summary.added, 1);
    EXPECT_EQ(first.summary.alreadyInBook, 1);
    EXPECT_EQ(book.GetEntries().size(), 3u);
    const auto again = Import(kAndroid + kAndroid, book);
    ASSERT_TRUE(again.ok);
    EXPECT_EQ(again.summary.added, 0);
    EXPECT_EQ(again.summary.alreadyInBook, 4);
    EXPECT_EQ(book.GetEntries().size(), 3u);
}

TEST(VCardImport, ExportWritesVCard4InUtf8)
{
    CAddressBook book;
    AddEntry(book, "Jan", "Kowalski", "Jan Kowalski", "602", "123456");
    AddEntry(book, "Zofia", "Łącka; Nowak", "Zosia, ta od Łąckich", "501", "000111");
    AddEntry(book, "", "", "", "603", "999999");
    const std::string expected = "BEGIN:VCARD\r\n"
                                 "VERSION:4.0\r\n"
                                 "N:Kowalski;Jan;;;\r\n"
                                 "FN:Jan Kowalski\r\n"
                                 "TEL;TYPE=cell:+48602123456\r\n"
                                 "END:VCARD\r\n"
                                 "BEGIN:VCARD\r\n"
                                 "VERSION:4.0\r\n"
                                 "N:\xC5\x81\xC4\x85"
                                 "cka\\; Nowak;Zofia;;;\r\n"
                                 "FN:Zosia\\, ta od \xC5\x81\xC4\x85"
                                 "ckich\r\n"
                                 "TEL;TYPE=cell:+48501000111\r\n"
                                 "END:VCARD\r\n"
                                 "BEGIN:VCARD\r\n"
                                 "VERSION:4.0\r\n"
                                 "N:;;;;\r\n"
                                 "FN:+48603999999\r\n"
                                 "TEL;TYPE=cell:+48603999999\r\n"
                                 "END:VCARD\r\n";
    EXPECT_EQ(contacts::ExportVCards(book), expected);
}

TEST(VCardImport, LongLinesAreFoldedBetweenCharacters)
{
    CAddressBook book;
    // 70 ASCII letters and then two-byte letters: the fold must not split one.
    AddEntry(book, "", "", (std::string(70, 'a') + "ąąąąą").c_str(), "602", "123456");
    const std::string out = contacts::ExportVCards(book);
    const std::string fn = "FN:" + std::string(70, 'a') + "\xC4\x85\r\n \xC4\x85\xC4\x85\xC4\x85\xC4\x85\r\n";
    EXPECT_NE(out.find(fn), std::string::npos) << out;
}

TEST(VCardImport, RoundTripGivesTheSameBook)
{
    CAddressBook first;
    for (const auto* vcf : {&kAndroid, &kIos, &kGoogle, &kOldPhone})
        ASSERT_TRUE(Import(*vcf, first).ok);
    ASSERT_EQ(first.GetEntries().size(), 10u);
    CAddressBook second;
    const auto r = Import(contacts::ExportVCards(first), second);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.summary.added, 10);
    EXPECT_EQ(r.summary.skippedNumbers, 0);
    EXPECT_EQ(Rows(second), Rows(first));
    EXPECT_EQ(contacts::ExportVCards(second), contacts::ExportVCards(first));
}

TEST(VCardImport, BadInputIsRefusedAndChangesNothing)
{
    struct Case
    {
        const char* name;
        std::string bytes;
        const char* error; // UTF-8
    };
    const Case cases[] = {
        {"not vCard", "Imię;Nazwisko;Telefon\r\nJan;Kowalski;602123456\r\n",
         "Nie zaimportowano kontaktów: to nie jest plik vCard (wiersz 1 nie należy do żadnej karty "
         "BEGIN:VCARD ... "
         "END:VCARD)."},
        {"empty", "", "Nie zaimportowano kontaktów: to nie jest plik vCard: nie ma w nim żadnej karty."},
        {"cut off at the end",
         kAndroid + "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Jan\r\nTEL;TYPE=CELL:602123456\r\n",
         "Nie zaimportowano kontaktów: plik jest ucięty: karta nr 3 nie kończy się wierszem END:VCARD."},
        {"cut off inside", "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Jan\r\n" + kIos,
         "Nie zaimportowano kontaktów: plik jest ucięty: karta nr 1 nie kończy się wierszem END:VCARD."},
        {"binary garbage", std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR\0\0\x01\0", 20) + kGoogle,
         "Nie zaimportowano kontaktów: plik zawiera dane binarne, a nie tekst kart vCard."},
        {"not UTF-8",
         "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Jan Ma\xB3ysz\r\nTEL;TYPE=CELL:602123456\r\nEND:VCARD\r\n",
         "Nie zaimportowano kontaktów: wiersz 3 nie jest zapisany w UTF-8, a karta nie podaje kodowania."},
        {"over 20 MB", std::string(contacts::kMaxFileSize + 1, 'x'),
         "Nie zaimportowano kontaktów: plik ma więcej niż 20 MB."},
    };
    for (const auto& c : cases) {
        CAddressBook book;
        AddEntry(book, "Jan", "Kowalski", "Jan Kowalski", "602", "123456");
        const auto before = Rows(book);
        const auto r = Import(c.bytes, book);
        EXPECT_FALSE(r.ok) << c.name;
        EXPECT_EQ(windows1250::ToUtf8(r.error), c.error) << c.name;
        EXPECT_EQ(Rows(book), before) << c.name;
    }
}

TEST(VCardImport, FileOver20MegabytesIsRefusedBeforeReading)
{
    TempDir dir;
    const std::string path = dir.file("big.vcf");
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 200LL * 1024 * 1024), 0); // sparse: 200 MB that take no room
    ::close(fd);
    std::string bytes, error;
    EXPECT_FALSE(contacts::ReadContactsFile(path, bytes, error));
    EXPECT_EQ(windows1250::ToUtf8(error), "Nie zaimportowano kontaktów: plik ma więcej niż 20 MB.");
    EXPECT_TRUE(bytes.empty());
}

TEST(VCardImport, SummaryUsesPolishPluralForms)
{
    struct Case
    {
        contacts::ImportSummary s;
        const char* text;
    };
    const Case cases[] = {
        {{120, 3, 2, 0}, "Dodano 120 kontaktów, pominięto 3 numery, 2 kontakty były już w książce."},
        {{1, 1, 1, 0}, "Dodano 1 kontakt, pominięto 1 numer, 1 kontakt był już w książce."},
        {{0, 0, 0, 0}, "Dodano 0 kontaktów, pominięto 0 numerów, 0 kontaktów było już w książce."},
        {{22, 12, 5, 0}, "Dodano 22 kontakty, pominięto 12 numerów, 5 kontaktów było już w książce."},
        {{114, 104, 113, 0}, "Dodano 114 kontaktów, pominięto 104 numery, 113 kontaktów było już w książce."},
        {{3, 0, 0, 1},
         "Dodano 3 kontakty, pominięto 0 numerów, 0 kontaktów było już w książce. W 1 nazwie znaki "
         "spoza polskiego alfabetu zastąpiono literami bez akcentów lub znakiem „?”."},
        {{3, 0, 0, 2},
         "Dodano 3 kontakty, pominięto 0 numerów, 0 kontaktów było już w książce. W 2 nazwach znaki "
         "spoza polskiego alfabetu zastąpiono literami bez akcentów lub znakiem „?”."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(windows1250::ToUtf8(contacts::SummaryText(c.s)), c.text);
}

TEST(VCardImport, FileCutAtAnyByteIsReadOrRefusedWhole)
{
    const std::string whole = kAndroid + kIos + kGoogle + kOldPhone;
    for (std::size_t length = 0; length < whole.size(); ++length) {
        CAddressBook book;
        AddEntry(book, "Jan", "Kowalski", "Jan Kowalski", "602", "123456");
        const auto r = Import(whole.substr(0, length), book);
        if (r.ok) {
            EXPECT_EQ(book.GetEntries().size(), 1u + r.summary.added) << length;
        } else {
            EXPECT_EQ(book.GetEntries().size(), 1u) << length;
            EXPECT_FALSE(r.error.empty()) << length;
        }
    }
}

namespace {

long PeakResidentKilobytes()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

// A file of nothing but line breaks, as big as the size limit allows, costs memory in proportion
// to itself (each line once cost about 95 bytes) and is refused as not a vCard file.
TEST(VCardImport, FileOfLineBreaksIsRefusedWithoutGrowingMemory)
{
    const std::string bytes(contacts::kMaxFileSize, '\n');
    const long before = PeakResidentKilobytes();
    const auto result = contacts::ReadVCards(bytes);
    const long grown = PeakResidentKilobytes() - before;
    EXPECT_EQ(result.error, contacts::VCardError::NotVCard);
    EXPECT_LT(grown, 200 * 1024) << grown << " KiB";
}

// Long folded lines, with a quoted-printable value over many soft line breaks and a head whose
// quote is never closed, read as their joined lines.
TEST(VCardImport, ManyContinuationLinesAreJoined)
{
    const int kLines = 20000;
    std::string file = "BEGIN:VCARD\r\nVERSION:2.1\r\nNOTE;QUOTED-PRINTABLE:";
    for (int i = 0; i < kLines; ++i)
        file += "a=\r\n";
    file += "b\r\nX-BAD;TYPE=\"open";
    for (int i = 0; i < kLines; ++i)
        file += "\r\n c";
    file += "\r\nTEL;CELL:602123456\r\nEND:VCARD\r\n";
    const auto result = contacts::ReadVCards(file);
    ASSERT_EQ(result.error, contacts::VCardError::None);
    ASSERT_EQ(result.cards.size(), 1u);
    const auto& properties = result.cards[0].properties;
    ASSERT_EQ(properties.size(), 2u); // the line without a value's colon is skipped
    EXPECT_EQ(properties[0].name, "NOTE");
    EXPECT_EQ(properties[0].value, std::u32string(kLines, U'a') + U'b');
    EXPECT_EQ(properties[1].name, "TEL");
}
