#pragma once

#include "core/FileContribution.h"
#include "core/JsonWriter.h"

#include <optional>
#include <string_view>

/// The JSON form of a contribution: keys equal the field names; "minTs" and "maxTs" are left out when absent.
namespace ContributionJson {

void write(JsonWriter& out, const FileContribution& c);

/// All-or-nothing decode of the JSON text of one contribution: a missing required key or a value of the wrong
/// type (including a "byHour" that is not exactly 24 integers) gives absent; unknown keys are ignored.
std::optional<FileContribution> decode(std::string_view json);

} // namespace ContributionJson
