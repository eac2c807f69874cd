#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

/// xoshiro256** seeded through splitmix64: fast, and one seed always gives the same sequence.
class Random
{
public:
    explicit Random(uint64_t seed)
    {
        for (auto& word : m_state)
            word = splitmix(seed);
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

    /// Uniform in [lo, hi].
    int64_t between(int64_t lo, int64_t hi)
    {
        return lo + static_cast<int64_t>(next() % static_cast<uint64_t>(hi - lo + 1));
    }

    /// Uniform in [0, 1).
    double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

    bool chance(double p) { return unit() < p; }

    /// Log-uniform in [lo, hi]: many small values and a long tail, like the sizes of files and texts.
    int64_t logBetween(int64_t lo, int64_t hi)
    {
        const double low = std::log(static_cast<double>(lo));
        const double high = std::log(static_cast<double>(hi));
        return static_cast<int64_t>(std::exp(low + unit() * (high - low)));
    }

    /// Uniform in [0, n).
    size_t index(size_t n) { return static_cast<size_t>(next() % n); }

    template <typename T, size_t N> const T& pick(const T (&items)[N]) { return items[index(N)]; }

    /// A generator of its own, so that the draws of one session do not shift those of the next.
    Random fork() { return Random(next()); }

private:
    static uint64_t splitmix(uint64_t& x)
    {
        uint64_t z = (x += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }

    static uint64_t rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

    uint64_t m_state[4];
};
