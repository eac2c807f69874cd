// Runs inside a private D-Bus session with gnome-keyring (keyring-it.sh): the session item in a real Secret
// Service, read back by a new account and by a separate korvel process, and gone after sign-out.

#include "sync/SessionKeychain.h"
#include "tests/support/RunProgram.h"
#include "tests/sync/AccountFixture.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

class KeyringIntegrationTest : public AccountFixture
{
protected:
    TestBackend backend;

    void SetUp() override
    {
        if (!SessionKeychain::busAvailable())
            GTEST_SKIP() << "no session bus: run through keyring-it.sh";
        ASSERT_TRUE(SessionKeychain().remove());
    }

    // A new account over the real keyring, as a restart of the application creates it.
    std::unique_ptr<AuthManager> restarted()
    {
        store.reset();
        AuthEnvironment env;
        env.backend = BackendConfig::make(backend.baseUrl(), QString::fromLatin1(TestBackend::kPublishableKey));
        env.store = std::make_shared<SessionKeychain>();
        env.now = [this] { return clock.load(); };
        env.openUrl = [this](const QUrl& url) {
            m_browser = url;
            return true;
        };
        return std::make_unique<AuthManager>(std::move(env));
    }

    ProgramResult dryRun()
    {
        const auto env = [](const char* name) { return std::string(name) + "=" + std::getenv(name); };
        return runProgram(std::getenv("KORVEL_BINARY"), {"--sync-dry-run"},
                          {env("HOME"), env("DBUS_SESSION_BUS_ADDRESS"), env("XDG_RUNTIME_DIR"), env("XDG_DATA_HOME"),
                           env("XDG_CONFIG_HOME"), "TZ=UTC"});
    }

    QUrl m_browser;
};

// Every file under the home folder, the keyring's own included, as one text.
std::string everyFileUnder(const char* folder)
{
    std::string all;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file())
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        all += text.str();
    }
    return all;
}

} // namespace

TEST_F(KeyringIntegrationTest, SavesLoadsReplacesAndDeletesTheItem)
{
    SessionKeychain keychain;
    EXPECT_FALSE(keychain.load());
    const AuthSession ada{"access-1", "refresh-1", 1767225600, kAda.id, kAda.email};
    ASSERT_TRUE(keychain.save(ada)) << keychain.lastError().toStdString();
    EXPECT_EQ(SessionKeychain().load(), ada);
    const AuthSession grace{"access-2", "", 1767229200.5, kGrace.id, std::nullopt};
    ASSERT_TRUE(keychain.save(grace));
    EXPECT_EQ(SessionKeychain().load(), grace) << "one item, replaced";
    EXPECT_TRUE(keychain.remove());
    EXPECT_FALSE(keychain.load());
    EXPECT_TRUE(keychain.remove()) << "removing nothing is no failure";
}

TEST_F(KeyringIntegrationTest, ASignedInSessionSurvivesARestartAndStaysInTheKeyring)
{
    auto auth = restarted();
    backend.setAuthorizeUser(kAda);
    ASSERT_TRUE(auth->beginOAuth(QStringLiteral("github")));
    Awaited<AuthResult> done;
    auth->handleCallbackURL(backend.followAuthorize(m_browser).value_or(QUrl()), done.callback());
    ASSERT_EQ(done.get().value_or(AuthError::decode()), AuthResult());
    const AuthSession session = *auth->session();

    auth = restarted();
    EXPECT_EQ(auth->session(), session);

    const ProgramResult signedIn = dryRun();
    EXPECT_EQ(signedIn.status, 0);
    EXPECT_NE(signedIn.out.find("\"user_id\" : \"" + kAda.id.toStdString() + "\""), std::string::npos)
        << signedIn.out << signedIn.err;
    for (const QString& secret : {session.accessToken, session.refreshToken}) {
        const std::string token = secret.toStdString();
        EXPECT_EQ((signedIn.out + signedIn.err).find(token), std::string::npos) << "a token was printed";
        EXPECT_EQ(everyFileUnder(std::getenv("HOME")).find(token), std::string::npos) << "a token is in a file";
    }

    auth->signOut();
    EXPECT_FALSE(restarted()->session());
    EXPECT_NE(dryRun().out.find("\"user_id\" : \"00000000-0000-0000-0000-000000000000\""), std::string::npos);
}
