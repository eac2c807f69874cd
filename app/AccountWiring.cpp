#include "app/AccountWiring.h"

#include "sync/AuthManager.h"
#include "sync/StatsSync.h"

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

SettingsAccount settingsAccount(AuthManager& auth)
{
    SettingsAccount account;
    account.session = [&auth]() -> std::optional<SignedInUser> {
        const std::optional<AuthSession> session = auth.session();
        if (!session)
            return std::nullopt;
        return SignedInUser{session->email};
    };
    account.beginOAuth = [&auth](const QString& provider) { return auth.beginOAuth(provider); };
    account.signOut = [&auth] { auth.signOut(); };
    account.syncNow = [&auth](const Stats& stats, std::function<void(std::optional<QString>)> done) {
        StatsSync::syncNow(auth, stats, [done = std::move(done)](const AuthResult& result) {
            done(result ? std::optional(result->description()) : std::nullopt);
        });
    };
    account.subscribe = [&auth](std::function<void()> sessionChanged) { auth.setOnChange(std::move(sessionChanged)); };
    return account;
}

} // namespace AccountWiring
