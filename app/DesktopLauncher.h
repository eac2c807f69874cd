#pragma once

#include <ostream>
#include <string>

/// Finds and starts the desktop executable, korvel-desktop: beside korvel in a build tree, or in
/// ../libexec/korvel/ of an installation.
namespace DesktopLauncher {

/// Its path, or empty when neither place has it.
std::string desktopPath();

/// Replaces this process by it with the same arguments; returns only on failure (status 1, the reason on err).
int replaceProcess(char** argv, std::ostream& err);

} // namespace DesktopLauncher
