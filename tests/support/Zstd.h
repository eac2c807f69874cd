#pragma once

#include <string>
#include <string_view>

/// text as one zstd frame, as `zstd -q` writes it.
std::string zstdCompress(std::string_view text, int level = 3);
