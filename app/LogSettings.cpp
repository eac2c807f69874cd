#include "app/LogSettings.h"

#include "prefs/Prefs.h"

namespace LogSettings {

LogLocations locations(const std::optional<std::string>& dir)
{
    LogLocations where = LogLocations::defaults(dir);
    where.keepDeletedLogs = !Prefs::flag(PrefKey::ForgetDeletedLogs);
    return where;
}

} // namespace LogSettings
