#include "core/LogLocations.h"

#include "core/AgentHomes.h"
#include "core/ParseCache.h"

LogLocations LogLocations::defaults(const std::optional<std::string>& dir)
{
    LogLocations where;
    where.claudeRoot = dir ? *dir : AgentHomes::claudeProjects();
    where.codexSessions = AgentHomes::codexSessions();
    where.codexArchive = AgentHomes::codexArchive();
    where.parseCachePath = ParseCache::url();
    return where;
}
