// The stats cache file: a record that decodes can be saved again (every number finite), and what is saved decodes
// equal and is saved the same way again.

#include "core/StatsCache.h"
#include "tests/fuzz/Require.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view json(reinterpret_cast<const char*>(data), size);
    const auto stats = StatsCache::decode(json);
    if (!stats)
        return 0;
    const auto encoded = StatsCache::encode(*stats);
    require(encoded.has_value(), "a decoded record encodes");
    const auto decoded = StatsCache::decode(*encoded);
    require(decoded && *decoded == *stats, "a decoded record re-encodes to one that decodes equal");
    require(StatsCache::encode(*decoded) == encoded, "a re-encoded record is its own encoding");
    return 0;
}
