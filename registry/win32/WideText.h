// Registry text between the program's 8-bit form and UTF-16, converted the way
// the registry calls convert it: losslessly with UTF-8 as the 8-bit code page
// off Windows, through the ANSI code page on Windows. And UTF-16 as the registry
// stores it and files hold it: UTF-16LE, two bytes a unit, the low byte first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

std::u16string WideFromBytes(std::string_view bytes);
std::string BytesFromWide(std::u16string_view units);

// The unit whose two UTF-16LE bytes start at `at`.
inline char16_t utf16leUnit(const void *at)
{
    const auto *p = static_cast<const unsigned char *>(at);
    return static_cast<char16_t>(p[0] | p[1] << 8);
}

// The units of UTF-16LE bytes; an odd last byte is no unit and is left out.
std::u16string utf16leUnits(const void *data, std::size_t size);
// For a std::string, std::string_view or std::vector<uint8_t>.
template <typename Bytes> std::u16string utf16leUnits(const Bytes &bytes)
{
    return utf16leUnits(bytes.data(), bytes.size());
}

// `units` appended to `out` (a std::string or std::vector<uint8_t>) as UTF-16LE.
template <typename Bytes> void appendUtf16le(Bytes &out, std::u16string_view units)
{
    using Byte = typename Bytes::value_type;
    const std::size_t at = out.size();
    out.resize(at + 2 * units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        out[at + 2 * i] = static_cast<Byte>(units[i] & 0xFF);
        out[at + 2 * i + 1] = static_cast<Byte>(units[i] >> 8);
    }
}

template <typename Bytes = std::string> Bytes utf16leBytes(std::u16string_view units)
{
    Bytes bytes;
    appendUtf16le(bytes, units);
    return bytes;
}
