#pragma once

// Internal to the JSON decoders: strict readers over an already parsed DOM element.

#include <array>
#include <cstdint>
#include <simdjson.h>

namespace JsonRead {

/// False when the element is not an integer (a number with a fraction or exponent is not one).
inline bool integer(simdjson::dom::element value, int64_t& out)
{
    return value.is_int64() && !value.get_int64().get(out);
}

/// False when the element is not a number.
inline bool number(simdjson::dom::element value, double& out)
{
    return value.is_number() && !value.get_double().get(out);
}

/// An hour histogram: exactly 24 integers.
inline bool hours(simdjson::dom::element value, std::array<int64_t, 24>& out)
{
    simdjson::dom::array items;
    if (value.get_array().get(items) || items.size() != out.size())
        return false;
    size_t i = 0;
    for (const simdjson::dom::element item : items)
        if (!integer(item, out[i++]))
            return false;
    return true;
}

} // namespace JsonRead
