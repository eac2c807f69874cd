#pragma once

#include "prefs/PrefTable.h"

#include <string>

/// Reads preferences straight from the store's file (the INI file QSettings keeps for "Korvel"), without Qt, for the
/// command line, which must start in a few milliseconds. Only reads; Prefs stays the one writer.
namespace PrefFile {

/// $XDG_CONFIG_HOME/Korvel/Korvel.conf, or ~/.config/Korvel/Korvel.conf.
std::string path();

/// The flag as Prefs::flag reads it: its row's fallback while absent or unreadable; "", "0" and "false" (in any
/// case) are false, anything else true.
bool flag(PrefKey key);

} // namespace PrefFile
