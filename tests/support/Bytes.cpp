#include "support/Bytes.h"

#include <cstdio>
#include <stdexcept>

Bytes& Bytes::u8(std::uint8_t v)
{
    m_bytes.push_back(v);
    return *this;
}

Bytes& Bytes::u16(std::uint16_t v)
{
    m_bytes.push_back(static_cast<std::uint8_t>(v & 0xFF));
    m_bytes.push_back(static_cast<std::uint8_t>(v >> 8));
    return *this;
}

Bytes& Bytes::u32(std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        m_bytes.push_back(static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF));
    return *this;
}

Bytes& Bytes::raw(const std::string& s)
{
    m_bytes.insert(m_bytes.end(), s.begin(), s.end());
    return *this;
}

Bytes& Bytes::raw(const std::vector<std::uint8_t>& v)
{
    m_bytes.insert(m_bytes.end(), v.begin(), v.end());
    return *this;
}

Bytes& Bytes::shortString(const std::string& s)
{
    if (s.size() >= 255)
        throw std::logic_error("shortString is for strings below 255 bytes");
    u8(static_cast<std::uint8_t>(s.size()));
    return raw(s);
}

std::string Hex(const std::vector<std::uint8_t>& bytes, std::size_t from, std::size_t count)
{
    std::string out;
    char buf[4];
    for (std::size_t i = from; i < bytes.size() && i < from + count; ++i) {
        std::snprintf(buf, sizeof buf, "%02x ", bytes[i]);
        out += buf;
    }
    return out;
}
