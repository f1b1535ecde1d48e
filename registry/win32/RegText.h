// Text as the registry keeps it (UTF-16 units) and as the 8-bit calls see it.
// UTF-8 is our 8-bit code page. The conversion is lossless in both directions:
// bytes that are not valid UTF-8 travel as the lone surrogates U+DC80..U+DCFF,
// and lone surrogates from UTF-16 travel as their generalised UTF-8 form, so
// whatever either side wrote reads back unchanged.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace quarnel::platform {

// The length of the UTF-8 sequence of two to four bytes at the front of `s`, and
// its code point; 0 when none starts there (a stray byte, a sequence cut short,
// an overlong form, beyond U+10FFFF). Encoded surrogates count: what they stand
// for is the caller's to say.
inline std::size_t utf8Sequence(std::string_view s, char32_t &cp)
{
    const auto b0 = static_cast<unsigned char>(s[0]);
    std::size_t len;
    char32_t min;
    if ((b0 & 0xE0) == 0xC0)
        len = 2, cp = b0 & 0x1F, min = 0x80;
    else if ((b0 & 0xF0) == 0xE0)
        len = 3, cp = b0 & 0x0F, min = 0x800;
    else if ((b0 & 0xF8) == 0xF0)
        len = 4, cp = b0 & 0x07, min = 0x10000;
    else
        return 0;
    if (s.size() < len) return 0;
    for (std::size_t i = 1; i < len; ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    return cp < min || cp > 0x10FFFF ? 0 : len;
}

std::u16string utf16FromBytes(std::string_view bytes);
std::string bytesFromUtf16(std::u16string_view text);
// The same into `out`, whose buffer is reused: the calls convert every name they
// are given, and an allocation each would cost more than the conversion.
void utf16FromBytes(std::string_view bytes, std::u16string &out);

// Whether every byte is below 0x80: such text converts unit for unit.
bool isAscii(std::string_view bytes);

// Number of 8-bit bytes that bytesFromUtf16 would produce.
std::size_t byteLengthOfUtf16(std::u16string_view text);
// Writes those bytes to `out`, which has room for byteLengthOfUtf16(text).
void writeBytesOfUtf16(std::u16string_view text, char *out);

// The registry's name folding: one UTF-16 unit to its simple lower case.
char16_t foldUnit(char16_t unit);

// Case-insensitive order of names (folded to lower case, compared by unit).
int compareNames(std::u16string_view a, std::u16string_view b);

inline bool sameName(std::u16string_view a, std::u16string_view b)
{
    return a.size() == b.size() && compareNames(a, b) == 0;
}

// UTF-16 text as the tree keeps it: one byte per unit when every unit is below
// 0x100, as nearly all registry text is, two otherwise. Half the memory for the
// names and string data of a whole registry, and no conversion for ASCII.
class UnitText
{
public:
    constexpr UnitText() = default;
    UnitText(const uint8_t *narrow, std::size_t size) : m_narrow(narrow), m_size(size) {}
    UnitText(std::u16string_view wide) : m_wide(wide.data()), m_size(wide.size()) {}

    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    bool isNarrow() const { return m_narrow != nullptr || m_wide == nullptr; }
    const uint8_t *narrowUnits() const { return m_narrow; }
    std::u16string_view wideUnits() const { return {m_wide, m_wide ? m_size : 0}; }
    char16_t operator[](std::size_t i) const { return m_narrow ? m_narrow[i] : m_wide[i]; }
    UnitText first(std::size_t n) const
    {
        UnitText text = *this;
        text.m_size = std::min(n, m_size);
        return text;
    }

    std::u16string str() const;
    void copyTo(char16_t *out) const;
    // Whether it can be kept narrow, and its units so (every one below 0x100).
    bool fitsNarrow() const;
    void copyNarrowTo(uint8_t *out) const;

private:
    const uint8_t *m_narrow = nullptr;
    const char16_t *m_wide = nullptr;
    std::size_t m_size = 0;
};

// Whether every unit fits the narrow form; for UTF-16LE bytes, also that they
// are whole units.
bool fitsNarrow(std::u16string_view text);
bool fitsNarrow(std::span<const uint8_t> utf16le);

std::size_t byteLengthOfUtf16(UnitText text);
void writeBytesOfUtf16(UnitText text, char *out);
// The same when its byte length was measured already: text whose length is its
// number of units is ASCII, a copy.
void writeBytesOfUtf16(UnitText text, char *out, std::size_t byteLength);
std::string bytesFromUtf16(UnitText text);
// Writes narrow text's bytes without measuring them first into `out`, which has
// room for them (two bytes a unit always are); returns how many it wrote.
std::size_t writeBytesOfNarrowText(UnitText text, char *out);

int compareNames(UnitText a, std::u16string_view b);
int compareNames(UnitText a, UnitText b);
inline bool sameName(UnitText a, std::u16string_view b)
{
    return a.size() == b.size() && compareNames(a, b) == 0;
}
// Index of `name` among `count` names in compareNames order, nameAt(i) giving
// the i-th, or of where it would go; `found` tells which.
template <typename NameAt>
std::size_t namePosition(std::size_t count, NameAt &&nameAt, UnitText name, bool &found)
{
    std::size_t lo = 0, hi = count;
    while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        const int c = compareNames(nameAt(mid), name);
        if (c == 0) {
            found = true;
            return mid;
        }
        if (c < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    found = false;
    return lo;
}

// The same units, case and all.
bool sameUnits(UnitText a, UnitText b);
inline bool operator==(UnitText a, std::u16string_view b)
{
    return sameUnits(a, b);
}

} // namespace quarnel::platform
