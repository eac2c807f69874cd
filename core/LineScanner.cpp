#include "core/LineScanner.h"

ParseScratch::ParseScratch() : m_impl(std::make_unique<Impl>()) {}
ParseScratch::~ParseScratch() = default;
