#include "app/SyncDryRun.h"

#include "app/CoreApplication.h"
#include "app/LogSettings.h"
#include "core/StatsBuilder.h"
#include "sync/AuthManager.h"
#include "sync/StatsSync.h"

namespace SyncDryRun {

void print(std::ostream& out, std::ostream& err)
{
    const auto app = ensureCoreApplication();
    const Stats stats = StatsEngine::buildStats(LogSettings::locations());
    const AuthManager& auth = AuthManager::shared();
    if (!auth.backend().usable())
        err << auth.backend().problem().toStdString() << '\n';
    StatsSync::dryRunPrint(auth, stats, out);
}

} // namespace SyncDryRun
