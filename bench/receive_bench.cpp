// Reading 1,000 messages (a quarter of them parts of longer ones) from a phone with storages on a
// pseudo-terminal into a fresh Brivantel.db, and the database commit of one poll's worth.
// Targets: the whole reading under 2 s (the fake phone answers at once: no pacing of its own),
// the commit of a poll under 20 ms.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "messagedb/MessageDb.h"
#include "phone/FakeSmsPhone.h"
#include "phone/SmsReceiver.h"
#include "support/TempDir.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMessages = 1000;
constexpr int kParts = kMessages / 4;

std::string Hex(const std::vector<unsigned char>& bytes)
{
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

// Septets of ASCII letters and digits (the same codes in the GSM alphabet), packed after `fill`
// bits.
std::vector<unsigned char> Pack(const std::string& text, unsigned fill)
{
    std::vector<unsigned char> out((fill + text.size() * 7 + 7) / 8, 0);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::size_t bit = fill + i * 7;
        const unsigned value = static_cast<unsigned char>(text[i]) & 0x7F;
        out[bit / 8] = static_cast<unsigned char>(out[bit / 8] | (value << (bit % 8)));
        if (bit % 8 > 1)
            out[bit / 8 + 1] = static_cast<unsigned char>(out[bit / 8 + 1] | (value >> (8 - bit % 8)));
    }
    return out;
}

// An SMS-DELIVER from +486020xxxxx; part > 0 adds an 8-bit concatenation header.
std::string Deliver(int sender, int second, const std::string& text, int reference, int total, int part)
{
    std::vector<unsigned char> pdu = {0x00, static_cast<unsigned char>(part ? 0x44 : 0x04), 0x0B, 0x91};
    // +48 602 and six digits: eleven semi-octets, the last paired with the F filler.
    const std::string digits = "486021" + std::to_string(100000 + sender % 900000).substr(1) + "F";
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2)
        pdu.push_back(static_cast<unsigned char>((digits[i] - '0') |
                                                 ((digits[i + 1] == 'F' ? 15 : digits[i + 1] - '0') << 4)));
    pdu.insert(pdu.end(), {0x00, 0x00, 0x62, 0x21, 0x80, 0x12});
    const int minute = second / 60 % 60;
    const int sec = second % 60;
    pdu.push_back(static_cast<unsigned char>((minute / 10) | (minute % 10) << 4));
    pdu.push_back(static_cast<unsigned char>((sec / 10) | (sec % 10) << 4));
    pdu.push_back(0x40);
    if (part) {
        pdu.push_back(static_cast<unsigned char>(7 + text.size()));
        pdu.insert(pdu.end(), {0x05, 0x00, 0x03, static_cast<unsigned char>(reference),
                               static_cast<unsigned char>(total), static_cast<unsigned char>(part)});
        const auto packed = Pack(text, 1);
        pdu.insert(pdu.end(), packed.begin(), packed.end());
    } else {
        pdu.push_back(static_cast<unsigned char>(text.size()));
        const auto packed = Pack(text, 0);
        pdu.insert(pdu.end(), packed.begin(), packed.end());
    }
    return Hex(pdu);
}

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

} // namespace

int main()
{
    FakeSmsPhone::Options options;
    options.echo = true;
    options.capacity = kMessages;
    FakeSmsPhone phone(options);
    if (!phone.IsReady()) {
        std::fprintf(stderr, "no pseudo-terminal\n");
        return 1;
    }
    int put = 0;
    for (int i = 0; put < kParts; ++i) {
        for (int p = 1; p <= 2; ++p, ++put)
            phone.Put("ME", Deliver(i, put, "Part " + std::to_string(p) + " of message " + std::to_string(i),
                                    i % 256, 2, p));
    }
    for (int i = 0; put < kMessages; ++i, ++put)
        phone.Put("ME",
                  Deliver(1000 + i, put, "Message number " + std::to_string(i) + " from the bench", 0, 0, 0));

    TempDir dir;
    CMessageDb db;
    if (!db.Open(dir.path()).ok)
        return 1;
    CSmsReceiver receiver(phone.DevicePath(), db);
    Clock::duration commit{};
    Clock::time_point committing = Clock::now();
    receiver.SetAfterCommit([&] { commit += Clock::now() - committing; });
    const auto start = Clock::now();
    committing = start;
    const ReceiveReport report = receiver.Receive(1796760330);
    const auto whole = Clock::now() - start;
    std::printf("read %d messages (%d stored, %d deleted, %zu shown) in %.0f ms (target < 2000 ms)%s\n",
                kMessages, report.stored, report.deleted, report.shown.size(), Ms(whole),
                report.ok ? "" : " FAILED");

    // One poll's worth: ten messages into the database holding the thousand.
    std::vector<IncomingMessage> poll;
    for (int i = 0; i < 10; ++i) {
        IncomingMessage m;
        m.source = "bench/" + std::to_string(i);
        m.sender = "+48602123456";
        m.text = "Wiadomość " + std::to_string(i);
        m.receivedUtc = 1796760330;
        poll.push_back(m);
    }
    const auto before = Clock::now();
    const ImportResult imported = db.Import(poll);
    std::printf("commit of a poll of %zu messages: %.2f ms (target < 20 ms)%s\n", poll.size(),
                Ms(Clock::now() - before), imported.ok ? "" : " FAILED");

    // The whole list of a large inbox, as a folder view would first fill itself.
    std::vector<IncomingMessage> many;
    for (int i = 0; i < 100000; ++i) {
        IncomingMessage m;
        m.source = "bulk/" + std::to_string(i);
        m.sender = "+48602" + std::to_string(100000 + i % 900000);
        m.text = "Wiadomość numer " + std::to_string(i) + ", zwykłej długości jak na SMS od znajomego.";
        m.sentKnown = true;
        m.sentUtc = 1700000000 + i;
        m.receivedUtc = 1700000000 + i;
        many.push_back(m);
    }
    const auto filling = Clock::now();
    const bool filled = db.Import(many).ok;
    const auto listing = Clock::now();
    const auto all = db.List({}, 1796760330);
    const auto paging = Clock::now();
    ListOptions screen;
    screen.limit = 50;
    const auto first = db.List(screen, 1796760330);
    std::printf("import of 100,000 messages in one commit: %.0f ms; listing all %zu: %.0f ms; the first %zu: "
                "%.2f ms\n",
                Ms(listing - filling), all.size(), Ms(paging - listing), first.size(),
                Ms(Clock::now() - paging));
    return report.ok && imported.ok && filled && report.stored == kMessages ? 0 : 1;
}
