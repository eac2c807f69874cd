#pragma once

// Internal to the readers: pulls in simdjson, so only the few sources that parse JSON include it.

#include "core/ChunkedLineReader.h"
#include "core/ParseScratch.h"

#include <cstring>
#include <functional>
#include <optional>
#include <simdjson.h>
#include <string>
#include <string_view>

struct ParseScratch::Impl
{
    explicit Impl(size_t readChunkBytes, LongLineTurn* turn) : reader(readChunkBytes, turn) {}

    simdjson::dom::parser parser;
    ChunkedLineReader reader;

    /// Parses bytes (which must be followed by SIMDJSON_PADDING readable bytes) as one JSON document in place.
    simdjson::simdjson_result<simdjson::dom::element> parse(std::string_view bytes)
    {
        return parser.parse(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), false);
    }

    /// Gives back the parser's memory after a line longer than a chunk, instead of keeping it for the rest of the
    /// build while another reader takes its turn at a long line.
    void settle()
    {
        if (parser.capacity() > ChunkedLineReader::kDefaultChunk) {
            // On failure the parser simply grows again at the next line.
            [[maybe_unused]] const auto error = parser.allocate(size_t{1} << 20);
        }
    }

    /// Reads the log at path with the reader, settling the parser after a long line.
    FileRead read(const std::string& path, const std::function<void(std::string_view)>& onLine, bool requireUtf8,
                  bool zstd = false)
    {
        ChunkedLineReader::Options options;
        options.requireUtf8 = requireUtf8;
        options.zstd = zstd;
        options.afterLongLine = [this] { settle(); };
        return reader.read(path, onLine, options);
    }
};

namespace LineScanner {

/// Calls onLine with every line of bytes split at line-feed bytes (the line feed itself excluded, a last line
/// without one included). Empty lines are passed too; callers skip them.
template <typename OnLine> void forEachLine(std::string_view bytes, OnLine&& onLine)
{
    const char* p = bytes.data();
    const char* end = p + bytes.size();
    while (p < end) {
        const auto* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
        const char* lineEnd = lf ? lf : end;
        onLine(std::string_view(p, static_cast<size_t>(lineEnd - p)));
        p = lf ? lf + 1 : end;
    }
}

/// The string value of key in obj, or absent when missing or not a string.
inline std::optional<std::string_view> stringAt(simdjson::dom::object obj, std::string_view key)
{
    std::string_view out;
    if (obj.at_key(key).get_string().get(out))
        return std::nullopt;
    return out;
}

/// A token count: the element's numeric value, or 0 when it is not a number or is one that no response can have
/// (negative, not finite, or above 10^12), so that one crafted line cannot poison every total.
inline double tokenCountOr0(simdjson::simdjson_result<simdjson::dom::element> value)
{
    constexpr double kMostTokens = 1e12;
    double out = 0;
    if (value.get_double().get(out) || !(out >= 0 && out <= kMostTokens))
        return 0;
    return out;
}

} // namespace LineScanner
