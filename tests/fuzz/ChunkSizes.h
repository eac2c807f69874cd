#pragma once

#include "core/ParseScratch.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

/// A scratch for the readers under fuzzing, reading in the chunk size that pick selects: tiny ones put every line
/// across chunk boundaries (and every UTF-8 character across some), the larger ones hold whole lines. One per size,
/// kept from input to input as a build keeps its scratch from file to file.
inline ParseScratch& scratchFor(uint8_t pick)
{
    constexpr std::array<size_t, 8> kChunkSizes{1, 2, 3, 5, 8, 16, 64, 4096};
    static std::array<std::unique_ptr<ParseScratch>, kChunkSizes.size()> scratches;
    const size_t index = pick % kChunkSizes.size();
    if (!scratches[index])
        scratches[index] = std::make_unique<ParseScratch>(kChunkSizes[index]);
    return *scratches[index];
}
