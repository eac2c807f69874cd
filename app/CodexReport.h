#pragma once

#include "core/CodexParser.h"

#include <ostream>

/// The seven lines of the Codex-only report.
void printCodexReport(const CodexTotals& totals, std::ostream& out);
