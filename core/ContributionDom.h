#pragma once

// Internal to the cache codecs: decoding from an already parsed DOM element.

#include "core/FileContribution.h"

#include <optional>
#include <simdjson.h>

namespace ContributionJson {

std::optional<FileContribution> decode(simdjson::dom::element value);

/// Strict readers: false when the element is of another JSON type.
bool readInteger(simdjson::dom::element value, int64_t& out);
bool readNumber(simdjson::dom::element value, double& out);
/// An hour histogram: exactly 24 integers.
bool readHours(simdjson::dom::element value, std::array<int64_t, 24>& out);

} // namespace ContributionJson
