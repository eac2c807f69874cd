#include "app/DesktopCommands.h"

#include "app/DebugRenders.h"
#include "app/LeaderboardReport.h"
#include "app/SyncDryRun.h"

namespace DesktopCommands {

int run(const Invocation& invocation, std::ostream& out, std::ostream& err)
{
    switch (invocation.command) {
    case Command::Card:
        return DebugRenders::writeCard(*invocation.argument, out, err);
    case Command::Sprites:
        return DebugRenders::writeSprites(*invocation.argument, out, err);
    case Command::NotchView:
        return DebugRenders::writeNotchDebug(*invocation.argument, 4, out, err);
    case Command::NotchCorner:
        return DebugRenders::writeNotchDebug(*invocation.argument, 8, out, err);
    case Command::SyncDryRun:
        SyncDryRun::print(out, err);
        return 0;
    case Command::Leaderboard:
        return LeaderboardReport::run(invocation, out, err);
    default:
        return 0;
    }
}

} // namespace DesktopCommands
