#include "registry/win32/RegText.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <span>

namespace quarnel::platform {

namespace {

struct FoldPair
{
    char16_t from;
    char16_t to;
};

constexpr FoldPair kLowerTable[] = {
#include "registry/win32/UnicodeLowerTable.inc"
};

constexpr char16_t kEscapeBase = 0xDC00; // invalid byte b travels as U+DC00 + b (b >= 0x80)

// Length of the valid UTF-8 sequence at the front of s, or 0 when it is not valid.
// Encoded surrogates (ED A0..BF xx) count as valid: they are how lone surrogates travel.
std::size_t validSequence(std::string_view s, char32_t &cp)
{
    const auto b0 = static_cast<unsigned char>(s[0]);
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    const std::size_t len = utf8Sequence(s, cp);
    // An encoded escape unit would not come back as the same bytes.
    if (cp >= kEscapeBase + 0x80 && cp <= kEscapeBase + 0xFF) return 0;
    return len;
}

// Units before the first that is not ASCII: most text is ASCII all through, and
// those units convert one to one.
std::size_t asciiPrefix(std::u16string_view text)
{
    // Four units at a time: every string value's data passes here, twice per read.
    constexpr uint64_t kHighBits = 0xFF80FF80FF80FF80ull;
    std::size_t i = 0;
    for (; i + 4 <= text.size(); i += 4) {
        uint64_t units;
        std::memcpy(&units, text.data() + i, sizeof units);
        if (units & kHighBits) break;
    }
    while (i < text.size() && text[i] < 0x80)
        ++i;
    return i;
}

} // namespace

bool isAscii(std::string_view bytes)
{
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        uint64_t block;
        std::memcpy(&block, bytes.data() + i, sizeof block);
        if (block & 0x8080808080808080ull) return false;
    }
    for (; i < bytes.size(); ++i)
        if (static_cast<unsigned char>(bytes[i]) >= 0x80) return false;
    return true;
}

namespace {

template <typename Sink> void forEachByteRun(std::u16string_view text, Sink &&sink)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= kEscapeBase + 0x80 && cp <= kEscapeBase + 0xFF) {
            const char raw = static_cast<char>(cp - kEscapeBase);
            sink(&raw, 1);
            continue;
        }
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        char buf[4];
        std::size_t n;
        if (cp < 0x80) {
            buf[0] = static_cast<char>(cp), n = 1;
        } else if (cp < 0x800) {
            buf[0] = static_cast<char>(0xC0 | (cp >> 6));
            buf[1] = static_cast<char>(0x80 | (cp & 0x3F)), n = 2;
        } else if (cp < 0x10000) {
            buf[0] = static_cast<char>(0xE0 | (cp >> 12));
            buf[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            buf[2] = static_cast<char>(0x80 | (cp & 0x3F)), n = 3;
        } else {
            buf[0] = static_cast<char>(0xF0 | (cp >> 18));
            buf[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            buf[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            buf[3] = static_cast<char>(0x80 | (cp & 0x3F)), n = 4;
        }
        sink(buf, n);
    }
}

} // namespace

void utf16FromBytes(std::string_view bytes, std::u16string &out)
{
    // Every byte gives at most one unit (four-byte sequences give two), so the
    // result fits in a buffer as long as the input.
    out.resize(bytes.size());
    std::size_t o = 0;
    auto escape = [&](std::size_t from, std::size_t n) {
        for (std::size_t k = 0; k < n; ++k)
            out[o++] =
                static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(bytes[from + k]));
    };
    std::size_t i = 0;
    while (i < bytes.size()) {
        // Eight ASCII bytes at a time: paths and names are mostly ASCII, and every
        // open and value lookup converts one.
        if (i + 8 <= bytes.size()) {
            uint64_t block;
            std::memcpy(&block, bytes.data() + i, sizeof block);
            if ((block & 0x8080808080808080ull) == 0) {
                for (std::size_t k = 0; k < 8; ++k)
                    out[o + k] = static_cast<unsigned char>(bytes[i + k]);
                o += 8;
                i += 8;
                continue;
            }
        }
        const auto b0 = static_cast<unsigned char>(bytes[i]);
        if (b0 < 0x80) {
            out[o++] = b0;
            ++i;
            continue;
        }
        char32_t cp = 0;
        const std::size_t len = validSequence(bytes.substr(i), cp);
        if (len == 0) {
            escape(i, 1);
            ++i;
            continue;
        }
        // A high surrogate followed by a low one would re-encode as one 4-byte sequence;
        // keep such bytes escaped so they come back as they were.
        if (cp >= 0xD800 && cp <= 0xDBFF && i + len < bytes.size()) {
            char32_t next = 0;
            const std::size_t nextLen = validSequence(bytes.substr(i + len), next);
            if (nextLen == 0 || (next >= 0xDC00 && next <= 0xDFFF)) {
                escape(i, len);
                i += len;
                continue;
            }
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out[o++] = static_cast<char16_t>(0xD800 + (cp >> 10));
            out[o++] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out[o++] = static_cast<char16_t>(cp);
        }
        i += len;
    }
    out.resize(o);
}

std::u16string utf16FromBytes(std::string_view bytes)
{
    std::u16string out;
    utf16FromBytes(bytes, out);
    return out;
}

std::string bytesFromUtf16(std::u16string_view text)
{
    std::string out(byteLengthOfUtf16(text), '\0');
    writeBytesOfUtf16(text, out.data());
    return out;
}

std::size_t byteLengthOfUtf16(std::u16string_view text)
{
    const std::size_t ascii = asciiPrefix(text);
    std::size_t n = ascii;
    forEachByteRun(text.substr(ascii), [&](const char *, std::size_t k) { n += k; });
    return n;
}

void writeBytesOfUtf16(std::u16string_view text, char *out)
{
    const std::size_t ascii = asciiPrefix(text);
    for (std::size_t i = 0; i < ascii; ++i)
        out[i] = static_cast<char>(text[i]);
    out += ascii;
    forEachByteRun(text.substr(ascii), [&](const char *p, std::size_t n) {
        std::memcpy(out, p, n);
        out += n;
    });
}

char16_t foldUnit(char16_t unit)
{
    if (unit < 0x80) return (unit >= u'A' && unit <= u'Z') ? unit + 32 : unit;
    const auto it = std::lower_bound(std::begin(kLowerTable), std::end(kLowerTable), unit,
                                     [](const FoldPair &p, char16_t u) { return p.from < u; });
    return (it != std::end(kLowerTable) && it->from == unit) ? it->to : unit;
}

std::u16string UnitText::str() const
{
    std::u16string out(m_size, u'\0');
    copyTo(out.data());
    return out;
}

void UnitText::copyTo(char16_t *out) const
{
    if (m_narrow)
        std::copy(m_narrow, m_narrow + m_size, out);
    else if (m_size)
        std::memcpy(out, m_wide, m_size * 2);
}

bool UnitText::fitsNarrow() const
{
    return isNarrow() || platform::fitsNarrow(wideUnits());
}

void UnitText::copyNarrowTo(uint8_t *out) const
{
    if (m_narrow) {
        if (m_size) std::memcpy(out, m_narrow, m_size);
        return;
    }
    for (std::size_t i = 0; i < m_size; ++i)
        out[i] = static_cast<uint8_t>(m_wide[i]);
}

bool fitsNarrow(std::span<const uint8_t> utf16le)
{
    if (utf16le.size() % 2) return false;
    constexpr uint64_t kHighBytes = 0xFF00FF00FF00FF00ull;
    std::size_t i = 0;
    for (; i + 8 <= utf16le.size(); i += 8) {
        uint64_t block;
        std::memcpy(&block, utf16le.data() + i, sizeof block);
        if (block & kHighBytes) return false;
    }
    for (i += 1; i < utf16le.size(); i += 2)
        if (utf16le[i]) return false;
    return true;
}

bool fitsNarrow(std::u16string_view text)
{
    if constexpr (std::endian::native == std::endian::little)
        return fitsNarrow({reinterpret_cast<const uint8_t *>(text.data()), text.size() * 2});
    return std::all_of(text.begin(), text.end(), [](char16_t u) { return u < 0x100; });
}

namespace {

// Narrow units at or above 0x80 take two bytes each in UTF-8, the rest one.
std::size_t highUnits(const uint8_t *units, std::size_t size)
{
    std::size_t n = 0, i = 0;
    for (; i + 8 <= size; i += 8) {
        uint64_t block;
        std::memcpy(&block, units + i, sizeof block);
        // The high bits brought down and summed into the top byte: a popcount
        // instruction cannot be assumed, and the library's fallback is slow.
        n += static_cast<std::size_t>(
            (((block & 0x8080808080808080ull) >> 7) * 0x0101010101010101ull) >> 56);
    }
    for (; i < size; ++i)
        n += units[i] >> 7;
    return n;
}

} // namespace

std::size_t byteLengthOfUtf16(UnitText text)
{
    if (!text.isNarrow()) return byteLengthOfUtf16(text.wideUnits());
    return text.size() + highUnits(text.narrowUnits(), text.size());
}

void writeBytesOfUtf16(UnitText text, char *out)
{
    writeBytesOfUtf16(text, out, byteLengthOfUtf16(text));
}

std::size_t writeBytesOfNarrowText(UnitText text, char *out)
{
    const uint8_t *units = text.narrowUnits();
    const std::size_t size = text.size();
    char *const start = out;
    std::size_t i = 0;
    while (i < size) {
        uint64_t block = 0;
        if (i + 8 <= size) std::memcpy(&block, units + i, sizeof block);
        // Eight ASCII units at a time, the rest one by one.
        if (i + 8 <= size && !(block & 0x8080808080808080ull)) {
            std::memcpy(out, &block, sizeof block);
            out += 8;
            i += 8;
            continue;
        }
        for (const std::size_t end = std::min(size, i + 8); i < end; ++i) {
            const uint8_t u = units[i];
            if (u < 0x80) {
                *out++ = static_cast<char>(u);
            } else {
                *out++ = static_cast<char>(0xC0 | (u >> 6));
                *out++ = static_cast<char>(0x80 | (u & 0x3F));
            }
        }
    }
    return static_cast<std::size_t>(out - start);
}

void writeBytesOfUtf16(UnitText text, char *out, std::size_t byteLength)
{
    if (!text.isNarrow()) return writeBytesOfUtf16(text.wideUnits(), out);
    const uint8_t *units = text.narrowUnits();
    const std::size_t size = text.size();
    if (byteLength == size) {
        if (size) std::memcpy(out, units, size);
        return;
    }
    writeBytesOfNarrowText(text, out);
}

std::string bytesFromUtf16(UnitText text)
{
    std::string out(byteLengthOfUtf16(text), '\0');
    writeBytesOfUtf16(text, out.data());
    return out;
}

namespace {

char16_t foldFast(char16_t u)
{
    return u < 0x80 ? char16_t(u + (unsigned(u - u'A') < 26u ? 32 : 0)) : foldUnit(u);
}

template <typename A, typename B> int compareFolded(const A &a, const B &b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t ua = a[i], ub = b[i];
        if (ua == ub) continue;
        const char16_t fa = foldFast(ua), fb = foldFast(ub);
        if (fa != fb) return fa < fb ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

} // namespace

int compareNames(std::u16string_view a, std::u16string_view b)
{
    return compareFolded(a, b);
}

namespace {

std::span<const uint8_t> narrowSpan(UnitText text)
{
    return {text.narrowUnits(), text.size()};
}

} // namespace

int compareNames(UnitText a, std::u16string_view b)
{
    if (!a.isNarrow()) return compareFolded(a.wideUnits(), b);
    return compareFolded(narrowSpan(a), b);
}

bool sameUnits(UnitText a, UnitText b)
{
    if (a.size() != b.size()) return false;
    if (a.isNarrow() && b.isNarrow())
        return a.empty() || std::memcmp(a.narrowUnits(), b.narrowUnits(), a.size()) == 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) return false;
    return true;
}

int compareNames(UnitText a, UnitText b)
{
    if (a.isNarrow() && b.isNarrow()) return compareFolded(narrowSpan(a), narrowSpan(b));
    if (!b.isNarrow()) return compareNames(a, b.wideUnits());
    return -compareNames(b, a.wideUnits());
}

} // namespace quarnel::platform
