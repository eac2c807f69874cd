#pragma once

#include "core/LogLocations.h"

#include <optional>
#include <string>

/// Where this user's logs are and how they are read, as the preferences say.
namespace LogSettings {

/// The default locations (dir, when given, replaces the Claude Code projects directory), keeping deleted logs'
/// figures unless the user let them go.
LogLocations locations(const std::optional<std::string>& dir = std::nullopt);

} // namespace LogSettings
