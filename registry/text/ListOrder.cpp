#include "registry/text/ListOrder.h"

#include "registry/win32/AsciiText.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

constexpr unsigned char upperByte(unsigned char c)
{
    return static_cast<unsigned char>(asciiUpper(static_cast<char>(c)));
}

} // namespace

int compareListText(std::string_view a, std::string_view b)
{
    // Rows of one key share their Branch text.
    if (a.data() == b.data() && a.size() == b.size()) return 0;
    const auto *pa = reinterpret_cast<const unsigned char *>(a.data());
    const auto *pb = reinterpret_cast<const unsigned char *>(b.data());
    const std::size_t n = std::min(a.size(), b.size());
    std::size_t i = 0;
    // Key paths share long beginnings; equal bytes fold alike, so they are
    // passed over eight at a time.
    for (std::uint64_t wa, wb; i + 8 <= n; i += 8) {
        std::memcpy(&wa, pa + i, 8);
        std::memcpy(&wb, pb + i, 8);
        if (wa != wb) break;
    }
    for (; i < n; ++i) {
        if (pa[i] == pb[i]) continue;
        const int fa = upperByte(pa[i]);
        const int fb = upperByte(pb[i]);
        if (fa != fb) return fa - fb;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}
