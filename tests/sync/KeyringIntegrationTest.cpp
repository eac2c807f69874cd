// Runs inside a private D-Bus session with gnome-keyring (keyring-it.sh): the session item in a real Secret
// Service, read back by a new account and by a separate korvel process, and gone after sign-out.

#include "sync/SessionKeychain.h"
#include "tests/support/RunProgram.h"
#include "tests/sync/AccountFixture.h"

#include <QDirIterator>

namespace {

class KeyringIntegrationTest : public AccountFixture
{
protected:
    void SetUp() override
    {
        if (!SessionKeychain::busAvailable())
            GTEST_SKIP() << "no session bus: run through keyring-it.sh";
        ASSERT_TRUE(SessionKeychain().remove());
    }

    // A new account over the real keyring, as a restart of the application creates it.
    std::unique_ptr<AuthManager> restarted()
    {
        keyring = std::make_shared<SessionKeychain>();
        return account(backend);
    }

    std::string dryRun()
    {
        std::vector<std::string> env{"TZ=UTC"};
        for (const char* name :
             {"HOME", "DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR", "XDG_DATA_HOME", "XDG_CONFIG_HOME"})
            env.push_back(std::string(name) + "=" + std::getenv(name));
        const ProgramResult run = runProgram(std::getenv("KORVEL_BINARY"), {"--sync-dry-run"}, env);
        EXPECT_EQ(run.status, 0);
        return run.out + run.err;
    }
};

} // namespace

TEST_F(KeyringIntegrationTest, TheSessionIsSavedLoadedAfterARestartOnlyThereAndDeletedAtSignOut)
{
    auto auth = restarted();
    ASSERT_EQ(signIn(*auth, kAda), AuthResult());
    const AuthSession session = *auth->session();
    auth = restarted();
    EXPECT_EQ(auth->session(), session);

    const std::string signedIn = dryRun();
    EXPECT_NE(signedIn.find("\"user_id\" : \"" + kAda.id.toStdString() + "\""), std::string::npos) << signedIn;
    // Every file under the home folder, the keyring's own included.
    QByteArray files;
    for (QDirIterator it(qEnvironmentVariable("HOME"), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
         it.hasNext();) {
        QFile file(it.next());
        files += file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    for (const QString& secret : {session.accessToken, session.refreshToken}) {
        EXPECT_EQ(signedIn.find(secret.toStdString()), std::string::npos) << "a token was printed";
        EXPECT_FALSE(files.contains(secret.toUtf8())) << "a token is in a file";
    }

    auth->signOut();
    EXPECT_FALSE(restarted()->session()) << "the item is gone";
    EXPECT_TRUE(SessionKeychain().remove()) << "removing nothing is no failure";
    EXPECT_NE(dryRun().find("\"user_id\" : \"00000000-0000-0000-0000-000000000000\""), std::string::npos);
}
