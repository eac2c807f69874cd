#include "core/LineScanner.h"

ParseScratch::ParseScratch(LongLineTurn* turn) : m_impl(std::make_unique<Impl>(ChunkedLineReader::kDefaultChunk, turn))
{
}
ParseScratch::ParseScratch(size_t readChunkBytes) : m_impl(std::make_unique<Impl>(readChunkBytes, nullptr)) {}
ParseScratch::~ParseScratch() = default;
