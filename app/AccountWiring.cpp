#include "app/AccountWiring.h"

#include "sync/AuthManager.h"

#include <QDesktopServices>
#include <cstdio>

namespace AccountWiring {

void install(bool debugLogging)
{
    AuthManager& auth = AuthManager::shared();
    auth.setUrlOpener([](const QUrl& url) { return QDesktopServices::openUrl(url); });
    if (debugLogging)
        auth.setDebugSink([](const QString& line) { std::fprintf(stderr, "%s\n", qPrintable(line)); });
    if (!auth.backend().usable())
        std::fprintf(stderr, "%s\n", qPrintable(auth.backend().problem()));
}

} // namespace AccountWiring
