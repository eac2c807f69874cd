#include "app/AccountWiring.h"

#include "sync/AuthManager.h"
#include "sync/StatsSync.h"

#include <QDesktopServices>
#include <cstdio>

namespace AccountWiring {
namespace {

// The error's text on failure, nothing on success.
std::function<void(const AuthResult&)> textOf(SettingsAccount::Done done)
{
    return [done = std::move(done)](const AuthResult& result) {
        done(result ? std::optional(result->description()) : std::nullopt);
    };
}

} // namespace

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
    account.state = [&auth] {
        AccountState state;
        if (const std::optional<AuthSession> session = auth.session())
            state.user = SignedInUser{session->email, !auth.sessionInKeyring()};
        state.waitingForBrowser = auth.signInPending();
        state.serverConfigured = auth.backend().configured();
        return state;
    };
    account.beginOAuth = [&auth](const QString& provider) { return auth.beginOAuth(provider); };
    account.cancelSignIn = [&auth] { auth.cancelSignIn(); };
    account.signOut = [&auth] { auth.signOut(); };
    account.syncNow = [&auth](const Stats& stats, SettingsAccount::Done done) {
        StatsSync::syncNow(auth, stats, textOf(std::move(done)));
    };
    account.leave = [&auth](SettingsAccount::Done done) { StatsSync::leave(auth, textOf(std::move(done))); };
    account.subscribe = [&auth](std::function<void()> sessionChanged) { auth.setOnChange(std::move(sessionChanged)); };
    account.signInWaitMs = static_cast<int>(AuthManager::kSignInWindow * 1000);
    return account;
}

CallbackHandler callbackHandler(AuthManager& auth)
{
    return [&auth](const QUrl& url, SettingsAccount::Done done) {
        // A callback that no sign-in waits for is refused without a word: any web page could send one, and it must
        // not be able to pop up the settings window.
        if (!auth.signInPending())
            return auth.handleCallbackURL(url);
        auth.handleCallbackURL(url, textOf(std::move(done)));
    };
}

} // namespace AccountWiring
