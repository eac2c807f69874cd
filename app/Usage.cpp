#include "app/Usage.h"

namespace Usage {

void printHelp(std::ostream& out)
{
    out << "Usage: korvel [COMMAND]\n"
           "\n"
           "Without a command, korvel starts the desktop companion: the overlay at the top of the screen, the tray\n"
           "menu and the settings window. A second start hands its arguments (a korvel://auth sign-in callback, say)\n"
           "to the running one and leaves.\n"
           "\n"
           "Commands; the first one of this list found on the line wins, and each exits when done:\n"
           "  --help                     print this help\n"
           "  --version                  print the version\n"
           "  --bench                    build the statistics once; print the build time and the headline figures\n"
           "  --stats [--stats-dir DIR]  build the statistics and print every figure; Claude Code transcripts come\n"
           "                             from DIR instead of ~/.claude/projects\n"
           "  --card [PATH]              write the share card (default /tmp/korvel-card.png)\n"
           "  --sprites [PATH]           write every sprite in a collapsed notch (default /tmp/korvel-sprites.png)\n"
           "  --notchview [PATH]         write the notch over a mock desktop at 4x (default "
           "/tmp/korvel-notchview.png)\n"
           "  --notchcorner [PATH]       write the notch's top-left corner at 8x (default "
           "/tmp/korvel-notchcorner.png)\n"
           "  --codex                    print the totals of the Codex rollouts alone\n"
           "  --sync-dry-run             print the leaderboard request that would be sent, without sending it\n"
           "  --daily, --monthly         a row per day (or month) with activity, and the totals\n"
           "  --projects                 a row per project (the agent's working directory), most lines first\n"
           "  --models                   a row per model, most cost first\n"
           "  --sessions [--limit N]     a row per session (log file), newest first; N rows (default 20, 0: all)\n"
           "  --statusline               one short line for a panel: today's lines and cost, the streak\n"
           "  --leaderboard [--json]     the leaderboard's top ten by score, lines this week and lines today, with\n"
           "                             your own places when signed in; exits 1 when it cannot be read\n"
           "\n"
           "Options of the reports and the status line:\n"
           "  --since YYYY-MM-DD         only from this local day on\n"
           "  --until YYYY-MM-DD         only up to this local day\n"
           "  --json                     JSON for scripts instead of a table (also with --stats)\n"
           "  --stats-dir DIR            Claude Code transcripts from DIR, as for --stats\n"
           "\n"
           "Option of the desktop companion:\n"
           "  --debug                    write one line per refresh to standard error\n";
}

void printReportUsage(std::ostream& out)
{
    out << "Usage: korvel --daily|--monthly|--projects|--models|--sessions|--statusline [--since YYYY-MM-DD]\n"
           "              [--until YYYY-MM-DD] [--limit N] [--json] [--stats-dir DIR]\n"
           "Days are local and both ends are included; --limit applies to --sessions. See korvel --help.\n";
}

void printVersion(std::ostream& out)
{
    out << "korvel " KORVEL_VERSION "\n";
}

} // namespace Usage
