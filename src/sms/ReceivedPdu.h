#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Reading what the network delivers to the phone (3GPP TS 23.040): SMS-DELIVER, the received
// message, and SMS-STATUS-REPORT, the delivery report of a message we sent. A PDU comes as the
// phone lists it in PDU mode: the service centre's address first, then the TPDU.
namespace sms {

enum class PduKind
{
    Unknown,
    Deliver,
    StatusReport
};

enum class TextCoding
{
    Gsm7,
    Data8, // binary: the text is its bytes in hexadecimal
    Ucs2
};

// The service centre's time stamp: when the message reached the centre, in the centre's zone.
struct CentreTime
{
    bool valid = false;
    std::int64_t utc = 0; // seconds since 1970, UTC
    int zoneMinutes = 0;  // the zone the centre gave, east of UTC positive
};

// One part of a message split into several (the concatenation element of the user data header).
struct PartInfo
{
    bool present = false;
    int reference = 0; // 0..255, or 0..65535 for the 16-bit element
    bool wideReference = false;
    int total = 0;    // 1..255
    int sequence = 0; // 1..total
};

struct ReceivedPdu
{
    // False when the PDU cannot be read; reason says why (in Polish) and nothing below it but
    // what was read before the fault is filled. The PDU is always kept whole in raw.
    bool ok = false;
    std::string reason;
    std::string raw; // the PDU as given, upper-case hexadecimal

    PduKind kind = PduKind::Unknown;
    std::string centre;        // the service centre's number, "+" in front when international
    std::string address;       // the sender (DELIVER) or the recipient (STATUS-REPORT)
    bool alphanumeric = false; // a name such as "Orange" rather than a number
    int protocol = 0;          // TP-PID
    int dcs = 0;               // TP-DCS
    TextCoding coding = TextCoding::Gsm7;
    bool flash = false; // message class 0: shown at once, not stored by the phone
    CentreTime time;
    PartInfo part;
    // The language a national single-shift or locking-shift element named (-1 none). The text is
    // read with the default tables: no national table is known here.
    int singleShiftLanguage = -1;
    int lockingShiftLanguage = -1;
    // Why a header element was left aside (a part number outside its count): the text is still
    // good, read as a whole message.
    std::string note;
    std::string text; // UTF-8
    // A part in UCS-2 that begins with the second half of a character split between parts, or
    // ends with the first half: the half, left out of text (0: none).
    char16_t leadingLowSurrogate = 0;
    char16_t trailingHighSurrogate = 0;

    // STATUS-REPORT only.
    int messageReference = 0; // TP-MR of the message the report is about
    CentreTime discharge;     // when the message was delivered (or the attempt ended)
    int status = -1;          // TP-ST
};

// Reads a PDU given in hexadecimal with the service centre's address in front.
ReceivedPdu ReadPdu(const std::string& hex);
// The same from bytes.
ReceivedPdu ReadPdu(const std::vector<std::uint8_t>& bytes);

} // namespace sms
