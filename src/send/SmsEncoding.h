#pragma once

#include <cstdint>
#include <string>
#include <vector>

// How a message travels on the phone route, and the SMS-SUBMIT PDUs of PDU mode (3GPP TS 23.038
// for the alphabets, TS 23.040 for the PDU, TS 27.005 for what the phone is handed).
namespace sms {

// The message's characters as Unicode; the text is Windows-1250 bytes as everywhere else.
std::u16string FromWindows1250(const std::string& text);

// Septets one character takes in the GSM 7-bit default alphabet: 1 in the basic table, 2 in the
// extension table (an escape and the character), 0 when the alphabet has no such character.
int GsmSeptets(char16_t c);

// Septet values of a text wholly in the GSM alphabet (extension characters as 0x1B and their
// code); empty for a text holding anything else.
std::vector<std::uint8_t> ToSeptets(const std::u16string& text);

enum class Coding
{
    Text, // text mode, the Windows-1250 bytes as typed
    Gsm7, // PDU mode, GSM 7-bit packed
    Ucs2  // PDU mode, UCS-2
};

// The way a message goes when the phone is left to the program's choice. Text mode only for what
// every phone reads the same in text mode: printable ASCII of the GSM alphabet, CR and LF, in one
// message. Other GSM texts go packed in PDU mode, and anything outside the GSM alphabet in UCS-2.
Coding ChooseCoding(const std::string& text);

// How many SMS the text takes in that coding: 160 septets or 70 UCS-2 characters in one message,
// 153 septets or 67 characters per part of a longer one.
int PartCount(const std::string& text, Coding coding);

// One SMS-SUBMIT as handed to the phone: the hexadecimal PDU (with an empty service centre
// address in front, so the phone uses its own) and the length "at+cmgs=" announces, which counts
// the octets after that address.
struct SubmitPdu
{
    std::string hex;
    int length = 0;
};

// The number as the destination address: "+" and digits are international (type 0x91), digits
// alone unknown (0x81).
std::vector<std::uint8_t> DestinationAddress(const std::string& number);

// Every part of the message; a message of several parts carries a user data header with the
// 8-bit reference, the part count and the part's number. coding is Gsm7 or Ucs2. statusReport
// sets TP-SRR in every part's first octet, so the network reports each part's delivery.
std::vector<SubmitPdu> SubmitPdus(const std::string& number, const std::u16string& text, Coding coding,
                                  std::uint8_t reference, bool statusReport = false);

} // namespace sms
