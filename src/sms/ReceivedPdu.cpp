#include "sms/ReceivedPdu.h"

#include "sms/GsmAlphabet.h"

namespace sms {
namespace {

constexpr std::uint8_t kTypeMask = 0x03;
constexpr std::uint8_t kTypeDeliver = 0x00;
constexpr std::uint8_t kTypeStatusReport = 0x02;
constexpr std::uint8_t kHeaderIndicator = 0x40;

// Information elements of the user data header that matter here.
constexpr std::uint8_t kConcat8 = 0x00;
constexpr std::uint8_t kConcat16 = 0x08;
constexpr std::uint8_t kSingleShift = 0x24;
constexpr std::uint8_t kLockingShift = 0x25;

// The bytes of a PDU, read from the front; every read checks what is left.
class Cursor
{
public:
    explicit Cursor(const std::vector<std::uint8_t>& bytes) : m_bytes(bytes) {}

    bool Byte(std::uint8_t& out)
    {
        if (m_pos >= m_bytes.size())
            return false;
        out = m_bytes[m_pos++];
        return true;
    }
    bool Take(std::size_t count, const std::uint8_t*& out)
    {
        if (count > Left())
            return false;
        out = m_bytes.data() + m_pos;
        m_pos += count;
        return true;
    }
    std::size_t Left() const { return m_bytes.size() - m_pos; }

private:
    const std::vector<std::uint8_t>& m_bytes;
    std::size_t m_pos = 0;
};

bool Fail(ReceivedPdu& pdu, const std::string& reason)
{
    pdu.ok = false;
    pdu.reason = reason;
    return false;
}

bool Cut(ReceivedPdu& pdu, const char* field)
{
    return Fail(pdu, std::string("PDU urwane przed polem: ") + field);
}

// Semi-octet digits, the low nibble first, as TS 23.040 writes addresses.
std::string SemiOctets(const std::uint8_t* bytes, std::size_t digits)
{
    static constexpr char kDigits[] = "0123456789*#abc";
    std::string out;
    for (std::size_t i = 0; i < digits; ++i) {
        const unsigned nibble = (i % 2 == 0) ? (bytes[i / 2] & 0x0F) : (bytes[i / 2] >> 4);
        if (nibble == 0x0F)
            break; // the filler of an odd count
        out += kDigits[nibble];
    }
    return out;
}

bool IsInternational(std::uint8_t type)
{
    return (type & 0x70) == 0x10;
}

bool IsAlphanumeric(std::uint8_t type)
{
    return (type & 0x70) == 0x50;
}

// An address field: the count of useful semi-octets, the type, then the digits.
bool ReadAddress(Cursor& in, ReceivedPdu& pdu, std::string& out, const char* field)
{
    std::uint8_t digits = 0;
    std::uint8_t type = 0;
    const std::uint8_t* value = nullptr;
    if (!in.Byte(digits) || !in.Byte(type) || !in.Take((digits + 1u) / 2, value))
        return Cut(pdu, field);
    const std::size_t octets = (digits + 1u) / 2;
    if (IsAlphanumeric(type)) {
        pdu.alphanumeric = true;
        out = SeptetsToUtf8(UnpackSeptets(value, octets, digits * 4u / 7u));
    } else {
        out = (IsInternational(type) ? "+" : "") + SemiOctets(value, digits);
    }
    return true;
}

int SwappedBcd(std::uint8_t b, bool& valid)
{
    const int low = b & 0x0F;
    const int high = b >> 4;
    if (low > 9 || high > 9)
        valid = false;
    return low * 10 + high;
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(int y, int m, int d)
{
    y -= m <= 2 ? 1 : 0;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return static_cast<std::int64_t>(era) * 146097 + doe - 719468;
}

// Seven semi-octet pairs: year, month, day, hour, minute, second, and the zone in quarter hours
// whose sign is bit 3 of the last octet.
bool ReadTime(Cursor& in, ReceivedPdu& pdu, CentreTime& out, const char* field)
{
    const std::uint8_t* t = nullptr;
    if (!in.Take(7, t))
        return Cut(pdu, field);
    bool valid = true;
    const int year = 2000 + SwappedBcd(t[0], valid);
    const int month = SwappedBcd(t[1], valid);
    const int day = SwappedBcd(t[2], valid);
    const int hour = SwappedBcd(t[3], valid);
    const int minute = SwappedBcd(t[4], valid);
    const int second = SwappedBcd(t[5], valid);
    const bool west = (t[6] & 0x08) != 0;
    const int quarters = SwappedBcd(static_cast<std::uint8_t>(t[6] & 0xF7), valid);
    // A centre that writes nonsense here still delivered a message: the time alone is dropped.
    if (!valid || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59 ||
        quarters > 4 * 14)
        return true;
    out.valid = true;
    out.zoneMinutes = (west ? -quarters : quarters) * 15;
    const std::int64_t local = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
    out.utc = local - out.zoneMinutes * 60;
    return true;
}

// TP-DCS: the alphabet and the message class (TS 23.038 chapter 4).
bool ReadCoding(ReceivedPdu& pdu)
{
    const int dcs = pdu.dcs;
    const int group = dcs >> 4;
    int alphabet = 0;
    bool classGiven = false;
    if (group <= 0x7) {
        if (dcs & 0x20)
            return Fail(pdu, "tekst skompresowany, tego program nie czyta");
        alphabet = (dcs >> 2) & 0x03;
        classGiven = (dcs & 0x10) != 0;
    } else if (group == 0xE) {
        alphabet = 2;
    } else if (group == 0xF) {
        alphabet = (dcs & 0x04) ? 1 : 0;
        classGiven = true;
    }
    // Message-waiting groups (0xC, 0xD) and the reserved ones read as the default alphabet;
    // so does the reserved alphabet value 3.
    pdu.coding = alphabet == 1 ? TextCoding::Data8 : alphabet == 2 ? TextCoding::Ucs2 : TextCoding::Gsm7;
    pdu.flash = classGiven && (dcs & 0x03) == 0;
    return true;
}

bool ReadHeader(const std::uint8_t* header, std::size_t size, ReceivedPdu& pdu)
{
    std::size_t pos = 0;
    while (pos < size) {
        if (pos + 2 > size)
            return Fail(pdu, "element nagłówka danych wykracza poza nagłówek");
        const std::uint8_t id = header[pos];
        const std::size_t length = header[pos + 1];
        pos += 2;
        if (length > size - pos)
            return Fail(pdu, "element nagłówka danych wykracza poza nagłówek");
        const std::uint8_t* value = header + pos;
        pos += length;
        if ((id == kConcat8 && length == 3) || (id == kConcat16 && length == 4)) {
            const bool wide = id == kConcat16;
            PartInfo part;
            part.present = true;
            part.wideReference = wide;
            part.reference = wide ? (value[0] << 8 | value[1]) : value[0];
            part.total = value[wide ? 2 : 1];
            part.sequence = value[wide ? 3 : 2];
            // A count of 0, or a number beyond the count, makes the element meaningless; the
            // receiver ignores it and takes the text as a whole message.
            if (part.total == 0 || part.sequence == 0 || part.sequence > part.total) {
                pdu.note = "część " + std::to_string(part.sequence) + " z " + std::to_string(part.total) +
                           ": nagłówek części pominięty";
                continue;
            }
            pdu.part = part;
        } else if (id == kSingleShift && length == 1) {
            pdu.singleShiftLanguage = value[0];
        } else if (id == kLockingShift && length == 1) {
            pdu.lockingShiftLanguage = value[0];
        }
        // Every other element (ports, indications, text formatting) is skipped by its length.
    }
    return true;
}

bool ReadUserData(Cursor& in, ReceivedPdu& pdu, bool hasHeader)
{
    std::uint8_t length = 0;
    if (!in.Byte(length))
        return Cut(pdu, "długość danych");
    const bool septets = pdu.coding == TextCoding::Gsm7;
    const std::size_t octets = septets ? (length * 7u + 7u) / 8u : length;
    const std::uint8_t* data = nullptr;
    if (!in.Take(octets, data))
        return Fail(pdu, "długość danych (" + std::to_string(length) + ") wykracza poza PDU");
    std::size_t headerOctets = 0;
    if (hasHeader) {
        if (octets == 0)
            return Fail(pdu, "brak nagłówka danych, choć PDU go zapowiada");
        headerOctets = data[0] + 1u;
        if (headerOctets > octets)
            return Fail(pdu, "nagłówek danych wykracza poza dane");
        if (!ReadHeader(data + 1, headerOctets - 1, pdu))
            return false;
    }
    if (septets) {
        // The text starts at the first septet boundary after the header.
        const std::size_t headerSeptets = (headerOctets * 8 + 6) / 7;
        if (headerSeptets > length)
            return Fail(pdu, "nagłówek danych wykracza poza dane");
        const unsigned fill = static_cast<unsigned>(headerSeptets * 7 - headerOctets * 8);
        pdu.text = SeptetsToUtf8(
            UnpackSeptets(data + headerOctets, octets - headerOctets, length - headerSeptets, fill));
        return true;
    }
    const std::uint8_t* text = data + headerOctets;
    const std::size_t size = octets - headerOctets;
    if (pdu.coding == TextCoding::Ucs2) {
        if (size % 2 != 0)
            return Fail(pdu, "tekst UCS-2 ma nieparzystą liczbę bajtów");
        std::size_t from = 0;
        std::size_t to = size;
        // Phones cut long texts every 67 units, an emoji's two halves sometimes falling into two
        // parts: a half at either edge of a part is kept aside for joining.
        if (pdu.part.present) {
            const auto unit = [&](std::size_t i) {
                return static_cast<char16_t>(text[i] << 8 | text[i + 1]);
            };
            if (to - from >= 2 && unit(from) >= 0xDC00 && unit(from) <= 0xDFFF) {
                pdu.leadingLowSurrogate = unit(from);
                from += 2;
            }
            if (to - from >= 2 && unit(to - 2) >= 0xD800 && unit(to - 2) <= 0xDBFF) {
                pdu.trailingHighSurrogate = unit(to - 2);
                to -= 2;
            }
        }
        pdu.text = Utf16BeToUtf8(text + from, to - from);
    } else {
        pdu.text = ToHex(text, size);
    }
    return true;
}

bool ReadDeliver(Cursor& in, std::uint8_t first, ReceivedPdu& pdu)
{
    std::uint8_t pid = 0;
    std::uint8_t dcs = 0;
    if (!ReadAddress(in, pdu, pdu.address, "adres nadawcy"))
        return false;
    if (!in.Byte(pid))
        return Cut(pdu, "identyfikator protokołu");
    if (!in.Byte(dcs))
        return Cut(pdu, "schemat kodowania");
    pdu.protocol = pid;
    pdu.dcs = dcs;
    if (!ReadTime(in, pdu, pdu.time, "znacznik czasu centrum"))
        return false;
    if (!ReadCoding(pdu))
        return false;
    return ReadUserData(in, pdu, (first & kHeaderIndicator) != 0);
}

bool ReadStatusReport(Cursor& in, std::uint8_t first, ReceivedPdu& pdu)
{
    std::uint8_t reference = 0;
    std::uint8_t status = 0;
    if (!in.Byte(reference))
        return Cut(pdu, "numer wiadomości");
    pdu.messageReference = reference;
    if (!ReadAddress(in, pdu, pdu.address, "adres odbiorcy"))
        return false;
    if (!ReadTime(in, pdu, pdu.time, "znacznik czasu centrum") ||
        !ReadTime(in, pdu, pdu.discharge, "czas doręczenia"))
        return false;
    if (!in.Byte(status))
        return Cut(pdu, "stan doręczenia");
    pdu.status = status;
    // What may follow (the parameter indicator and its fields) is optional and often cut short
    // by centres; the report is complete without it.
    std::uint8_t indicator = 0;
    if (!in.Byte(indicator) || (indicator & 0x80) != 0)
        return true;
    std::uint8_t value = 0;
    if ((indicator & 0x01) && in.Byte(value))
        pdu.protocol = value;
    if ((indicator & 0x02) && in.Byte(value)) {
        pdu.dcs = value;
        if (!ReadCoding(pdu))
            return true;
    }
    if (indicator & 0x04) {
        ReceivedPdu text = pdu;
        if (ReadUserData(in, text, (first & kHeaderIndicator) != 0))
            pdu.text = text.text;
    }
    return true;
}

} // namespace

ReceivedPdu ReadPdu(const std::vector<std::uint8_t>& bytes)
{
    ReceivedPdu pdu;
    pdu.raw = ToHex(bytes.data(), bytes.size());
    Cursor in(bytes);
    std::uint8_t centreLength = 0;
    const std::uint8_t* centre = nullptr;
    if (!in.Byte(centreLength)) {
        Cut(pdu, "adres centrum");
        return pdu;
    }
    if (centreLength > 0) {
        if (!in.Take(centreLength, centre)) {
            Cut(pdu, "adres centrum");
            return pdu;
        }
        // The length counts octets here, the type octet included.
        pdu.centre = (IsInternational(centre[0]) ? "+" : "") +
                     SemiOctets(centre + 1, static_cast<std::size_t>(centreLength - 1) * 2);
    }
    std::uint8_t first = 0;
    if (!in.Byte(first)) {
        Cut(pdu, "pierwszy oktet");
        return pdu;
    }
    bool read = false;
    switch (first & kTypeMask) {
    case kTypeDeliver:
        pdu.kind = PduKind::Deliver;
        read = ReadDeliver(in, first, pdu);
        break;
    case kTypeStatusReport:
        pdu.kind = PduKind::StatusReport;
        read = ReadStatusReport(in, first, pdu);
        break;
    default:
        Fail(pdu, "to nie jest wiadomość odebrana ani raport doręczenia");
        break;
    }
    pdu.ok = read;
    return pdu;
}

ReceivedPdu ReadPdu(const std::string& hex)
{
    std::vector<std::uint8_t> bytes;
    if (!FromHex(hex, bytes)) {
        ReceivedPdu pdu;
        pdu.raw = hex;
        pdu.reason = "PDU nie jest zapisem szesnastkowym";
        return pdu;
    }
    return ReadPdu(bytes);
}

} // namespace sms
