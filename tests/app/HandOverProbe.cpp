// The real desktop application, changed only where a test in another process has to watch or steer it:
// - every sign-in callback URL that reaches the callback handler is printed on standard output, then handed to the
//   account as usual;
// - the session lives in memory, never in a keyring, and each session stored is announced (its user, no token);
// - with KORVEL_PROBE_SIGN_IN set to a provider, a sign-in is started at launch as the settings window's button
//   starts it, and the page the browser would be sent to is printed instead of opened.

#include "app/Application.h"
#include "sync/AuthManager.h"
#include "tests/support/MemorySessionStore.h"

#include <cstdio>

namespace {

void say(const QString& line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

class AnnouncingStore final : public SessionStore
{
public:
    std::optional<AuthSession> load() override { return m_memory.load(); }
    bool save(const AuthSession& session) override
    {
        const bool saved = m_memory.save(session);
        say(QStringLiteral("stored session of ") + session.userId);
        return saved;
    }
    bool remove() override { return m_memory.remove(); }
    QString lastError() const override { return m_memory.lastError(); }

private:
    MemorySessionStore m_memory;
};

} // namespace

int main(int argc, char** argv)
{
    AuthEnvironment account;
    account.backend = BackendConfig::fromEnvironment();
    account.store = std::make_shared<AnnouncingStore>();
    AuthManager::setSharedEnvironment(std::move(account));
    return runApplication(argc, argv, [](bool debugLogging) {
        AppEnvironment env = AppEnvironment::standard(debugLogging);
        env.handleCallbackURL = [handle = env.handleCallbackURL](const QUrl& url, SettingsAccount::Done done) {
            say(QStringLiteral("callback ") + url.toString());
            handle(url, std::move(done));
        };
        const QString provider = qEnvironmentVariable("KORVEL_PROBE_SIGN_IN");
        if (!provider.isEmpty()) {
            AuthManager::shared().setUrlOpener([](const QUrl& url) {
                say(QStringLiteral("open ") + url.toString(QUrl::FullyEncoded));
                return true;
            });
            env.account.beginOAuth(provider);
        }
        return env;
    });
}
