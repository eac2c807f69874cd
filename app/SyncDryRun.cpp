#include "app/SyncDryRun.h"

#include "app/LogSettings.h"
#include "core/StatsBuilder.h"
#include "sync/AuthManager.h"
#include "sync/StatsSync.h"

#include <QCoreApplication>
#include <memory>

namespace SyncDryRun {

void print(std::ostream& out, std::ostream& err)
{
    // The keyring is reached through Qt's event machinery, which needs an application object.
    std::unique_ptr<QCoreApplication> app;
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "korvel";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    const Stats stats = StatsEngine::buildStats(LogSettings::locations());
    const AuthManager& auth = AuthManager::shared();
    if (!auth.backend().usable())
        err << auth.backend().problem().toStdString() << '\n';
    StatsSync::dryRunPrint(auth, stats, out);
}

} // namespace SyncDryRun
