#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

/// A fast, well-mixed 64-bit hash of bytes (MurmurHash64A), stable across runs and builds so that its values can
/// be stored. Not for defence against crafted collisions: it only tells apart values of the user's own logs.
inline uint64_t hash64(std::string_view bytes, uint64_t seed = 0)
{
    constexpr uint64_t m = 0xc6a4a7935bd1e995ULL;
    constexpr int r = 47;
    uint64_t h = seed ^ (static_cast<uint64_t>(bytes.size()) * m);
    const char* p = bytes.data();
    const char* end = p + (bytes.size() & ~size_t{7});
    for (; p != end; p += 8) {
        uint64_t k;
        std::memcpy(&k, p, 8);
        k *= m;
        k ^= k >> r;
        k *= m;
        h ^= k;
        h *= m;
    }
    const size_t tail = bytes.size() & 7;
    if (tail != 0) {
        uint64_t k = 0;
        for (size_t i = tail; i-- > 0;)
            k = (k << 8) | static_cast<unsigned char>(p[i]);
        h ^= k;
        h *= m;
    }
    h ^= h >> r;
    h *= m;
    h ^= h >> r;
    return h;
}
