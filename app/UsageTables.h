#pragma once

#include "app/UsageKind.h"
#include "core/UsageRows.h"

#include <ostream>
#include <vector>

/// The tables of the usage reports, for people.
namespace UsageTables {

void print(UsageKind kind, const std::vector<UsageRow>& rows, std::ostream& out, bool colour);

} // namespace UsageTables
