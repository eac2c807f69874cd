#pragma once

#include <string>

/// Where the two agents keep their logs. Both honour a variable that moves their whole home, and so does Korvel.
namespace AgentHomes {

/// $CLAUDE_CONFIG_DIR when set and not empty, else ~/.claude; empty when no home is known.
std::string claude();

/// $CODEX_HOME when set and not empty, else ~/.codex; empty when no home is known.
std::string codex();

/// The folders of Claude Code's transcripts and of Codex's live and archived rollouts.
std::string claudeProjects();
std::string codexSessions();
std::string codexArchive();

} // namespace AgentHomes
