// Text as the registry keeps it (UTF-16 units) and as the 8-bit calls see it.
// UTF-8 is our 8-bit code page. The conversion is lossless in both directions:
// bytes that are not valid UTF-8 travel as the lone surrogates U+DC80..U+DCFF,
// and lone surrogates from UTF-16 travel as their generalised UTF-8 form, so
// whatever either side wrote reads back unchanged.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quarnel::platform {

std::u16string utf16FromBytes(std::string_view bytes);
std::string bytesFromUtf16(std::u16string_view text);
// The same into `out`, whose buffer is reused: the calls convert every name they
// are given, and an allocation each would cost more than the conversion.
void utf16FromBytes(std::string_view bytes, std::u16string &out);

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

} // namespace quarnel::platform
