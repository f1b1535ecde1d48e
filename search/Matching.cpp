#include "search/Matching.h"

namespace {

constexpr unsigned char lowerByte(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

} // namespace

std::string asciiLower(std::string_view text)
{
    std::string lowered(text);
    for (char &c : lowered)
        c = static_cast<char>(lowerByte(static_cast<unsigned char>(c)));
    return lowered;
}

std::size_t firstHit(std::string_view loweredSearch, std::string_view candidate)
{
    const std::size_t m = loweredSearch.size();
    const std::size_t n = candidate.size();
    if (m == 0 || m > n) return std::string_view::npos;

    // Folding in place while scanning: the walker tests about a million candidates
    // per run, so no lowered copy is made.
    const auto *s = reinterpret_cast<const unsigned char *>(loweredSearch.data());
    const auto *c = reinterpret_cast<const unsigned char *>(candidate.data());
    const unsigned char first = s[0];
    for (std::size_t i = 0; i + m <= n; ++i) {
        if (lowerByte(c[i]) != first) continue;
        std::size_t k = 1;
        while (k < m && lowerByte(c[i + k]) == s[k])
            ++k;
        if (k == m) return i;
    }
    return std::string_view::npos;
}

bool replaceFirstHit(std::string &text, std::string_view loweredSearch,
                     std::string_view replacement)
{
    const std::size_t at = firstHit(loweredSearch, text);
    if (at == std::string_view::npos) return false;
    text.replace(at, loweredSearch.size(), replacement);
    return true;
}
