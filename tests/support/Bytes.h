#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Builds expected byte vectors by hand, field by field as the data file's rules lay them out, so
// tests never compare our writer against itself.
class Bytes
{
public:
    Bytes& u8(std::uint8_t v);
    Bytes& u16(std::uint16_t v);
    Bytes& u32(std::uint32_t v);
    Bytes& raw(const std::string& s);
    Bytes& raw(const std::vector<std::uint8_t>& v);
    // A string shorter than 255 bytes: the one-byte length, then the bytes.
    Bytes& shortString(const std::string& s);

    const std::vector<std::uint8_t>& vec() const { return m_bytes; }
    operator const std::vector<std::uint8_t>&() const { return m_bytes; }
    std::size_t size() const { return m_bytes.size(); }

private:
    std::vector<std::uint8_t> m_bytes;
};

// Hex dump of a byte range, for readable assertion failures.
std::string Hex(const std::vector<std::uint8_t>& bytes, std::size_t from = 0, std::size_t count = 64);
