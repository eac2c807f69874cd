// The settings window's account section connected to a real account, as the application connects it, against the
// local backend: the sign-in buttons, "Sync now" and every outcome the user can see.

#include "app/AccountWiring.h"

#include "tests/support/TempDir.h"
#include "tests/sync/AccountFixture.h"
#include "ui/settings/SettingsWindowController.h"

#include <QDate>
#include <QLabel>
#include <QPushButton>
#include <QTcpServer>
#include <QTest>

namespace {

class AccountWiringTest : public AccountFixture
{
protected:
    TempDir config;
    std::unique_ptr<AuthManager> auth;
    std::unique_ptr<SettingsWindowController> settings;

    // The last sync is shown as a local day: let the account's clock be the real one.
    void SetUp() override { clock = static_cast<double>(QDateTime::currentSecsSinceEpoch()); }

    void open(std::unique_ptr<AuthManager> account)
    {
        settings.reset();
        auth = std::move(account);
        settings = std::make_unique<SettingsWindowController>(
            StartAtLogin(QString::fromStdString(config.path() + "/korvel.desktop"), QStringLiteral("korvel")));
        settings->statsProvider = [] { return sampleStats(); };
        settings->setAccount(AccountWiring::settingsAccount(*auth));
    }

    // Clicks "Sync now" and waits until the window has taken the outcome, which enables the button again.
    QString syncNow()
    {
        settings->accountControls().syncNow->click();
        EXPECT_TRUE(QTest::qWaitFor([&] { return settings->accountControls().syncNow->isEnabled(); }, 20000));
        return settings->accountControls().error->text();
    }

    QString status() const { return settings->accountControls().status->text(); }
};

} // namespace

TEST_F(AccountWiringTest, TheButtonsSignInAndOut)
{
    open(account(backend));
    EXPECT_EQ(status(), QStringLiteral("Not signed in"));
    settings->accountControls().google->click();
    EXPECT_EQ(lastOpened().toString(),
              backend.baseUrl() + QStringLiteral("/auth/v1/authorize?provider=google&redirect_to=korvel://auth"));
    backend.setAuthorizeUser(kAda);
    const QUrl callback = backend.followAuthorize(lastOpened()).value_or(QUrl());
    ASSERT_EQ(await<AuthResult>([&](auto done) { auth->handleCallbackURL(callback, done); }), AuthResult());
    // The change notice came from the network thread; the window posted its refresh to this one.
    EXPECT_TRUE(QTest::qWaitFor([&] { return status() == QStringLiteral("Signed in as ada@example.org"); }, 10000))
        << status().toStdString();
    EXPECT_EQ(settings->accountControls().lastSync->text(), QStringLiteral("Not synced yet"));
    settings->accountControls().signOut->click();
    EXPECT_EQ(status(), QStringLiteral("Not signed in"));
    EXPECT_FALSE(store->stored());
}

TEST_F(AccountWiringTest, SyncNowSendsTheRowOrShowsEachFailure)
{
    const AuthSession session = storedSession(kAda);
    open(account(backend));
    Prefs::setFlag(PrefKey::PrivateMode, true);
    EXPECT_EQ(syncNow(), QStringLiteral("Sync failed: Private mode is on -- nothing leaves this computer"));
    Prefs::setFlag(PrefKey::PrivateMode, false);
    const QString scores = QStringLiteral("POST /rest/v1/scores");
    backend.script(scores, ScriptedAnswer::of(409, R"({"code":"23505","message":"duplicate key value"})"));
    EXPECT_EQ(syncNow(), QStringLiteral("Sync failed: duplicate key value"));
    backend.script(scores, ScriptedAnswer::of(500));
    EXPECT_EQ(syncNow(), QStringLiteral("Sync failed: Sync failed (500)"));
    EXPECT_EQ(settings->accountControls().lastSync->text(), QStringLiteral("Not synced yet"))
        << "a failure records nothing";

    EXPECT_EQ(syncNow(), QString());
    EXPECT_EQ(settings->accountControls().lastSync->text(),
              QStringLiteral("Last synced ") + QDate::currentDate().toString(Qt::ISODate));
    const QList<RecordedRequest> sent = backend.requestsTo(scores);
    ASSERT_EQ(sent.size(), 3) << "private mode sent nothing";
    EXPECT_EQ(sent.last().header("Authorization"), "Bearer " + session.accessToken.toUtf8());
    EXPECT_EQ(sent.last().json().value("lines_all").toInteger(), 1200) << "the window's figures";

    // The session ended (a refused renewal does that) just as the user clicked.
    auth->signOut();
    EXPECT_EQ(syncNow(), QStringLiteral("Sync failed: Not signed in"));
    EXPECT_EQ(status(), QStringLiteral("Not signed in"));

    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
    const QString unreachable = QStringLiteral("http://127.0.0.1:%1").arg(closed.serverPort());
    closed.close();
    storedSession(kAda);
    open(account(backend, 5000, unreachable));
    EXPECT_EQ(syncNow(), QStringLiteral("Sync failed: Connection refused"));
}
