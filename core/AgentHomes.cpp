#include "core/AgentHomes.h"

#include "core/DataDirectory.h"

#include <cstdlib>

namespace AgentHomes {
namespace {

std::string homeOf(const char* variable, const char* folder)
{
    if (const char* value = std::getenv(variable); value && *value)
        return value;
    const std::string home = DataDirectory::home();
    return home.empty() ? std::string() : home + "/" + folder;
}

std::string below(const std::string& home, const char* folder)
{
    return home.empty() ? std::string() : home + "/" + folder;
}

} // namespace

std::string claude()
{
    return homeOf("CLAUDE_CONFIG_DIR", ".claude");
}

std::string codex()
{
    return homeOf("CODEX_HOME", ".codex");
}

std::string claudeProjects()
{
    return below(claude(), "projects");
}

std::string codexSessions()
{
    return below(codex(), "sessions");
}

std::string codexArchive()
{
    return below(codex(), "archived_sessions");
}

} // namespace AgentHomes
