#include "app/LogSettings.h"

#include "prefs/PrefFile.h"

namespace LogSettings {

LogLocations locations(const std::optional<std::string>& dir)
{
    LogLocations where = LogLocations::defaults(dir);
    where.keepDeletedLogs = !PrefFile::flag(PrefKey::ForgetDeletedLogs);
    return where;
}

} // namespace LogSettings
