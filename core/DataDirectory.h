#pragma once

#include <string>
#include <string_view>

/// Where Korvel keeps its own files, and the user's home.
namespace DataDirectory {

/// The current user's home directory: $HOME, else the password database entry.
std::string home();

/// $XDG_DATA_HOME/Korvel (default ~/.local/share/Korvel), or the temporary directory joined with Korvel when no
/// home is known. The folder is created, with its parents, each time, and made private (mode 0700); a failure to
/// create it is ignored.
std::string path();

/// The file name inside path().
std::string file(std::string_view name);

} // namespace DataDirectory
