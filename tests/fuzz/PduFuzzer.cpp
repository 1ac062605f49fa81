// libFuzzer entry point for the reader of received PDUs: `make fuzz`. Inputs it finds wrong are
// kept in tests/fuzz/pdu-found and read again by sms_tests.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "sms/GsmAlphabet.h"
#include "sms/ReceivedPdu.h"

namespace {

// Well-formed UTF-8 without surrogates or overlong forms: what the message database takes.
bool IsUtf8(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t extra = 0;
        char32_t value = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1;
            value = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            value = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            value = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= text.size())
            return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto b = static_cast<unsigned char>(text[i + k]);
            if ((b & 0xC0) != 0x80)
                return false;
            value = value << 6 | (b & 0x3F);
        }
        static constexpr char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
        if (value < kLeast[extra] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::uint8_t> bytes(data, data + size);
    const sms::ReceivedPdu pdu = sms::ReadPdu(bytes);
    Check(pdu.raw == sms::ToHex(data, size));
    Check(pdu.ok || !pdu.reason.empty());
    Check(IsUtf8(pdu.text) && IsUtf8(pdu.address) && IsUtf8(pdu.centre));
    if (pdu.part.present)
        Check(pdu.part.total >= 1 && pdu.part.sequence >= 1 && pdu.part.sequence <= pdu.part.total);
    // The same PDU as the phone lists it, in hexadecimal, reads the same.
    const sms::ReceivedPdu fromHex = sms::ReadPdu(pdu.raw);
    Check(fromHex.ok == pdu.ok && fromHex.text == pdu.text && fromHex.reason == pdu.reason);
    return 0;
}
