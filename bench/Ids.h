#pragma once

#include "bench/Random.h"

#include <string>
#include <string_view>

/// Random identifiers in the shapes the agents write.
namespace Ids {

/// A version-4 UUID, lower-case hex.
inline std::string uuid(Random& random)
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out(36, '-');
    for (size_t i = 0; i < out.size(); ++i) {
        if (i == 8 || i == 13 || i == 18 || i == 23)
            continue;
        out[i] = kHex[random.index(16)];
    }
    out[14] = '4';
    out[19] = kHex[8 + random.index(4)];
    return out;
}

/// prefix followed by length random characters of alphabet.
inline std::string drawn(Random& random, std::string_view prefix, size_t length, std::string_view alphabet)
{
    std::string out(prefix);
    for (size_t i = 0; i < length; ++i)
        out.push_back(alphabet[random.index(alphabet.size())]);
    return out;
}

inline std::string base62(Random& random, std::string_view prefix, size_t length)
{
    return drawn(random, prefix, length, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789");
}

inline std::string base64(Random& random, std::string_view prefix, size_t length)
{
    return drawn(random, prefix, length, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/");
}

inline std::string hex(Random& random, size_t length)
{
    return drawn(random, "", length, "0123456789abcdef");
}

} // namespace Ids
