#pragma once

// Internal to the readers: pulls in simdjson, so only the few sources that parse JSON include it.

#include "core/ParseScratch.h"

#include <cstring>
#include <optional>
#include <simdjson.h>
#include <string>
#include <string_view>

struct ParseScratch::Impl
{
    simdjson::dom::parser parser;
    std::unique_ptr<char[]> buffer;
    size_t capacity = 0;

    /// The bytes of the regular file at path, read once into the buffer and followed by at least
    /// SIMDJSON_PADDING readable bytes; absent when it cannot be opened or read, or is not a regular file.
    std::optional<std::string_view> readFile(const std::string& path);

    /// Parses bytes (which must lie inside the buffer, followed by padding) as one JSON document in place.
    simdjson::simdjson_result<simdjson::dom::element> parse(std::string_view bytes)
    {
        return parser.parse(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), false);
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

/// The numeric value of an element as a double; 0 when it is not a number.
inline double numberOr0(simdjson::simdjson_result<simdjson::dom::element> value)
{
    double out = 0;
    if (value.get_double().get(out))
        return 0;
    return out;
}

} // namespace LineScanner
