#include "SampleFile.h"

namespace sample_file {
namespace {

const std::string kNotice = "Masz nowa wiadomosc w skrzynce email. Liczba wiadomosci: %d.";

Bytes& DefaultSettings(Bytes& b)
{
    b.u32(0).u8(0).u8(0).u8(0).shortString("3").u32(0).u8(0).u8(0).u8(0).u8(0).u32(1).u32(0);
    return b.u32(0).u8(0).u32(8080);
}

Bytes& DefaultMailWatch(Bytes& b)
{
    return b.u8(0).shortString(kNotice).u8(0).u8(0).u8(0).u32(1).u32(0).u8(0).u8(0).u32(0);
}

} // namespace

Bytes Empty()
{
    Bytes b;
    b.u32(1).u32(100).u32(100); // address-book view: details, two widths
    b.u16(0);                   // address book
    DefaultSettings(b);
    b.u8(0).u8(0);       // composing view
    b.u16(0);            // predefined texts
    b.u16(0);            // drafts
    b.u32(100).u32(100); // drafts view
    b.u16(0);            // deleted
    b.u32(100).u32(100);
    DefaultMailWatch(b);
    b.u16(0);                     // sent
    b.u32(100).u32(100).u32(100); // sent view
    b.u16(0);                     // outbox
    b.u32(100).u32(100);
    return b;
}

Bytes Full()
{
    Bytes b;
    b.u32(3).u32(140).u32(90);
    // Address book: CAddress is index 1, the entries 2 and 3.
    b.u16(2).u16(0xFFFF).u16(1).u16(8).raw("CAddress");
    b.shortString("Jan").shortString("Kowalski").shortString("Jan Kowalski");
    b.shortString("+48").shortString("602").shortString("1234567");
    b.u16(0x8001)
        .shortString("Ewa")
        .u8(0)
        .shortString("Ewa")
        .shortString("+48")
        .shortString("501")
        .shortString("7654321");
    // Settings with a proxy.
    b.u32(0).shortString("ja@poczta.pl").u8(0).u8(0).shortString("3").u32(0).u8(0).u8(0).u8(0).u8(0);
    b.u32(1).u32(0).u32(1).shortString("127.0.0.1").u32(3128);
    b.shortString("Jan Kowalski;Ewa").shortString("Do zobaczenia\r\njutro");
    b.u16(2).shortString("Jestem w drodze.").shortString("Oddzwoni\xEA.");
    // Drafts: CMessage becomes index 4, this draft 5.
    b.u16(1).u16(0xFFFF).u16(1).u16(8).raw("CMessage");
    b.shortString("Ewa").shortString("Szkic").u32(946684800);
    b.u32(120).u32(200);
    b.u16(1).u16(0x8004).shortString("Jan Kowalski").shortString("Usuni\xEAta").u32(1000000000);
    b.u32(100).u32(100);
    b.shortString("+48").shortString(kNotice).shortString("602").shortString("1234567").shortString("tajne");
    b.u32(15).u32(1).shortString("pop.example.org").shortString("jan").u32(1);
    b.u16(2).u16(0x8004).shortString("Jan Kowalski").shortString("Wys\xB3\x61na").u32(1100000000);
    b.u16(0x8004)
        .u8(0)
        .shortString("Masz nowa wiadomosc w skrzynce email. Liczba wiadomosci: 3.")
        .u32(4102444800u);
    b.u32(110).u32(220).u32(130);
    b.u16(1).u16(0x8004).shortString("+486021234567").shortString("Czeka").u32(1200000000);
    b.u32(100).u32(100);
    return b;
}

Bytes UpToPredefinedTexts()
{
    Bytes b;
    b.u32(0).u32(150).u32(80);
    b.u16(1).u16(0xFFFF).u16(1).u16(8).raw("CAddress");
    b.shortString("Ola").u8(0).shortString("Ola").shortString("+48").shortString("603").shortString(
        "5555555");
    b.u32(0).u8(0).u8(0).u8(0).shortString("1").u32(0).u8(0).u8(0).u8(0).u8(0).u32(0).u32(1);
    b.shortString("Ola").shortString("Hej");
    b.u16(1).shortString("OK");
    return b;
}

Bytes BackReferenceBomb(std::size_t textSize, std::size_t references)
{
    Bytes b;
    b.u32(1).u32(100).u32(100);
    b.u16(0);
    DefaultSettings(b);
    b.u8(0).u8(0);
    b.u16(0);
    const std::size_t count = references + 1;
    if (count < 0xFFFF)
        b.u16(static_cast<std::uint16_t>(count));
    else
        b.u16(0xFFFF).u32(static_cast<std::uint32_t>(count));
    b.u16(0xFFFF).u16(1).u16(8).raw("CMessage"); // class index 1, the message index 2
    b.shortString("Jan");
    if (textSize < 255)
        b.u8(static_cast<std::uint8_t>(textSize));
    else if (textSize < 0xFFFE)
        b.u8(0xFF).u16(static_cast<std::uint16_t>(textSize));
    else
        b.u8(0xFF).u16(0xFFFF).u32(static_cast<std::uint32_t>(textSize));
    b.raw(std::string(textSize, 'a')).u32(1000);
    for (std::size_t i = 0; i < references; ++i)
        b.u16(0x0002);
    b.u32(100).u32(100); // drafts view
    b.u16(0);
    b.u32(100).u32(100);
    DefaultMailWatch(b);
    b.u16(0);
    b.u32(100).u32(100).u32(100);
    b.u16(0);
    b.u32(100).u32(100);
    return b;
}

} // namespace sample_file
