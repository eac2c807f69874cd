#pragma once

#include "core/StoredLog.h"

#include <set>
#include <string>
#include <vector>

/// The names the usage reports give models and agents.
namespace UsageNames {

/// The model's display name; "No model" for the row of logs that no model answered.
std::string modelName(const std::string& id);
/// The display names of the ids, each once, in order.
std::vector<std::string> modelNames(const std::set<std::string>& ids);
/// "claude" or "codex".
const char* agent(StatsEngine::LogKind kind);

} // namespace UsageNames
