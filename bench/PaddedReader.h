#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

/// Reads whole files into one reused buffer followed by simdjson's padding, as the log readers do, so that the
/// baseline measures the same reads.
class PaddedReader
{
public:
    /// The bytes of the file, valid until the next call; absent when it cannot be read.
    std::optional<std::string_view> read(const std::string& path);

private:
    std::unique_ptr<char[]> m_buffer;
    size_t m_capacity = 0;
};
