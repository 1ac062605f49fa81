#pragma once

#include <string>

// The test phone's reading of an SMS-SUBMIT PDU, written from 3GPP TS 23.040 (layout) and
// TS 23.038 (alphabets) without the program's encoder.
struct DecodedSubmit
{
    bool ok = false;
    std::string error;  // why it could not be read
    int tpduLength = 0; // octets after the service centre address
    int firstOctet = -1;
    int addressType = -1; // 0x91 international, 0x81 unknown
    std::string number;   // digits, "+" in front for an international number
    int dcs = -1;
    bool concatenated = false;
    int reference = -1;
    int parts = 0;
    int part = 0;
    std::string text; // UTF-8
};

DecodedSubmit DecodeSubmit(const std::string& hex);
