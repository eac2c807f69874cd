#pragma once

#include "app/UsageKind.h"
#include "core/UsageRows.h"

#include <string>
#include <vector>

/// The JSON form of a usage report, for scripts: {"version", the rows under the report's name, "totals"}. Member
/// names are lower camel case and stay as they are; counts are integers, money a number of dollars.
namespace UsageJson {

std::string encode(UsageKind kind, const std::vector<UsageRow>& rows);

/// An epoch time as ISO 8601 UTC with milliseconds: 2025-03-14T09:26:53.589Z.
std::string isoUtc(double t);

} // namespace UsageJson
