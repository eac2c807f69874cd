#pragma once

#include <cstddef>
#include <memory>

struct LongLineTurn;

/// Reusable working memory for the log readers: one padded file buffer and one JSON parser, kept from file to
/// file so that a build allocates them once per thread. Not shared between threads.
class ParseScratch
{
public:
    /// Readers that share turn take turns at lines longer than a chunk.
    explicit ParseScratch(LongLineTurn* turn = nullptr);
    /// Reads files in chunks of this many bytes instead of the default (small ones make lines cross chunks).
    explicit ParseScratch(size_t readChunkBytes);
    ~ParseScratch();
    ParseScratch(const ParseScratch&) = delete;
    ParseScratch& operator=(const ParseScratch&) = delete;

    struct Impl;
    Impl& impl() { return *m_impl; }

private:
    std::unique_ptr<Impl> m_impl;
};
