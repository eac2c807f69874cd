#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

/// Chunk sizes for the readers under fuzzing: tiny ones put every line across chunk boundaries (and every UTF-8
/// character across some), the larger ones hold whole lines; the first byte of an input picks one.
inline constexpr std::array<size_t, 8> kChunkSizes{1, 2, 3, 5, 8, 16, 64, 4096};

inline size_t chunkSizeIndex(uint8_t pick)
{
    return pick % kChunkSizes.size();
}
