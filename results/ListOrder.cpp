#include "ListOrder.h"

#include <algorithm>

namespace {

constexpr unsigned char upperByte(unsigned char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - ('a' - 'A')) : c;
}

} // namespace

int compareListText(std::string_view a, std::string_view b)
{
    const auto *pa = reinterpret_cast<const unsigned char *>(a.data());
    const auto *pb = reinterpret_cast<const unsigned char *>(b.data());
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (pa[i] == pb[i]) continue;
        const int fa = upperByte(pa[i]);
        const int fb = upperByte(pb[i]);
        if (fa != fb) return fa - fb;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}
