#include "search/Matching.h"

#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr unsigned char lowerByte(unsigned char c)
{
    return static_cast<unsigned char>(asciiLower(static_cast<char>(c)));
}

// The bit that folds a lower-case letter's other case onto it; none for other bytes.
constexpr unsigned char caseBitOf(unsigned char lowered)
{
    return (lowered >= 'a' && lowered <= 'z') ? 0x20 : 0;
}

// The scan of firstHit; without Fold every byte matches only itself (firstExactHit).
template <bool Fold>
[[gnu::always_inline]] inline std::size_t scanFor(std::string_view search,
                                                  std::string_view candidate)
{
    const std::size_t m = search.size();
    const std::size_t n = candidate.size();
    if (m == 0 || m > n) return std::string_view::npos;

    // Folding in place while scanning: the walker tests about a million candidates
    // per run, so no lowered copy is made.
    const auto *s = reinterpret_cast<const unsigned char *>(search.data());
    const auto *c = reinterpret_cast<const unsigned char *>(candidate.data());
    const auto fold = [](unsigned char b) { return Fold ? lowerByte(b) : b; };
    const unsigned char first = s[0];
    // A lower-case letter matches either case by its 0x20 bit alone; anything else
    // matches only itself. Most bytes fail this one test.
    const unsigned char caseBit = Fold ? caseBitOf(first) : 0;
    const auto matchesAt = [&](std::size_t i) {
        std::size_t k = 1;
        while (k < m && fold(c[i + k]) == s[k])
            ++k;
        return k == m;
    };
    std::size_t i = 0;
#if defined(__SSE2__)
    // Sixteen places at a time, by the first two bytes: the candidates that pass
    // both are rare enough to be checked one by one. The second byte of the last
    // place read lies within the text, as the search is two bytes long at least.
    if (m >= 2) {
        const __m128i firsts = _mm_set1_epi8(static_cast<char>(first));
        const __m128i firstBits = _mm_set1_epi8(static_cast<char>(caseBit));
        const __m128i seconds = _mm_set1_epi8(static_cast<char>(s[1]));
        const __m128i secondBits = _mm_set1_epi8(static_cast<char>(Fold ? caseBitOf(s[1]) : 0));
        for (; i + 16 <= n - m + 1; i += 16) {
            const __m128i at = _mm_loadu_si128(reinterpret_cast<const __m128i *>(c + i));
            const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i *>(c + i + 1));
            auto candidates = static_cast<unsigned>(_mm_movemask_epi8(
                _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(at, firstBits), firsts),
                              _mm_cmpeq_epi8(_mm_or_si128(next, secondBits), seconds))));
            for (; candidates; candidates &= candidates - 1) {
                const std::size_t place =
                    i + static_cast<std::size_t>(std::countr_zero(candidates));
                if (matchesAt(place)) return place;
            }
        }
    }
#endif
    for (; i + m <= n; ++i)
        if ((c[i] | caseBit) == first && matchesAt(i)) return i;
    return std::string_view::npos;
}

} // namespace

std::size_t firstHit(std::string_view loweredSearch, std::string_view candidate)
{
    return scanFor<true>(loweredSearch, candidate);
}

std::size_t firstExactHit(std::string_view search, std::string_view candidate)
{
    return scanFor<false>(search, candidate);
}

bool replaceFirstHit(std::string &text, std::string_view loweredSearch,
                     std::string_view replacement)
{
    const std::size_t at = firstHit(loweredSearch, text);
    if (at == std::string_view::npos) return false;
    text.replace(at, loweredSearch.size(), replacement);
    return true;
}
