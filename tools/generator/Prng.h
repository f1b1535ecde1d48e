// Our own PRNG (xoshiro256** seeded through splitmix64) so that a seed gives
// the same registry on every compiler and standard library; the standard
// distributions are allowed to differ between library versions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quarnel::generator {

class Prng
{
public:
    explicit Prng(uint64_t seed)
    {
        for (auto &word : m_state) {
            seed += 0x9E3779B97F4A7C15ULL;
            uint64_t z = seed;
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
            word = z ^ (z >> 31);
        }
    }

    uint64_t next()
    {
        const uint64_t result = rotl(m_state[1] * 5, 7) * 9;
        const uint64_t t = m_state[1] << 17;
        m_state[2] ^= m_state[0];
        m_state[3] ^= m_state[1];
        m_state[1] ^= m_state[2];
        m_state[0] ^= m_state[3];
        m_state[2] ^= t;
        m_state[3] = rotl(m_state[3], 45);
        return result;
    }

    // Uniform in [0, n); n must not be 0. Rejection keeps it unbiased.
    uint64_t below(uint64_t n)
    {
        const uint64_t threshold = (0 - n) % n;
        for (;;) {
            const uint64_t r = next();
            if (r >= threshold) return r % n;
        }
    }

    // Uniform in [lo, hi], both included.
    uint64_t between(uint64_t lo, uint64_t hi) { return lo + below(hi - lo + 1); }

    // Uniform in [0, 1) with 53 random bits.
    double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

    bool chance(double p) { return unit() < p; }

    template <typename T, std::size_t N> const T &pick(const T (&items)[N])
    {
        return items[below(N)];
    }

private:
    static uint64_t rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

    uint64_t m_state[4];
};

} // namespace quarnel::generator
