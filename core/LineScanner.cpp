#include "core/LineScanner.h"

ParseScratch::ParseScratch() : m_impl(std::make_unique<Impl>()) {}
ParseScratch::ParseScratch(size_t readChunkBytes) : m_impl(std::make_unique<Impl>(readChunkBytes)) {}
ParseScratch::~ParseScratch() = default;
