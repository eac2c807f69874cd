// The application with a real account, as it is connected in the running program, against the local backend: the
// settings window's account section, the callback URLs the browser hands over, and every outcome the user can see.

#include "app/AccountWiring.h"

#include "app/AppDelegate.h"
#include "tests/support/TempDir.h"
#include "tests/sync/AccountFixture.h"
#include "ui/settings/SettingsWindowController.h"

#include <QDate>
#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace {

class AccountWiringTest : public AccountFixture
{
protected:
    TempDir home;
    std::unique_ptr<AuthManager> auth;
    std::unique_ptr<AppDelegate> app;

    // The last sync is shown as a local day: let the account's clock be the real one.
    void SetUp() override { clock = static_cast<double>(QDateTime::currentSecsSinceEpoch()); }

    void launch(std::unique_ptr<AuthManager> account)
    {
        app.reset();
        auth = std::move(account);
        AppEnvironment env;
        env.build = [] { return RefreshResult{sampleStats()}; };
        env.loadCachedStats = [] { return sampleStats(); };
        env.watchedFolder = QString::fromStdString(home.path() + "/none");
        env.desktopFolder = [this] { return QString::fromStdString(home.path()); };
        env.reveal = [](const QString&) {};
        env.refreshIntervalMs = 3'600'000;
        env.handleCallbackURL = AccountWiring::callbackHandler(*auth);
        env.account = AccountWiring::settingsAccount(*auth);
        app = std::make_unique<AppDelegate>(std::move(env));
        app->launch();
    }

    const SettingsWindowController::AccountControls& controls() const { return app->settings()->accountControls(); }
    QString status() const { return controls().status->text(); }
    QString error() const { return controls().error->text(); }

    // The browser's part: the authorize page, then a later start of Korvel with the URL it redirects to.
    void followBrowser() { app->handleArguments({backend.followAuthorize(lastOpened()).value_or(QUrl()).toString()}); }

    bool shows(const std::function<QString()>& text, const QString& expected)
    {
        return QTest::qWaitFor([&] { return text() == expected; }, 10000);
    }

    // Clicks "Sync now" and waits until the window has taken the outcome, which enables the button again.
    QString syncNow()
    {
        controls().syncNow->click();
        EXPECT_TRUE(QTest::qWaitFor([&] { return controls().syncNow->isEnabled(); }, 20000));
        return error();
    }
};

} // namespace

TEST_F(AccountWiringTest, SignInThroughTheBrowserAndOut)
{
    store->setFailing(true);
    launch(account(backend));
    EXPECT_EQ(status(), QStringLiteral("Not signed in"));
    backend.setAuthorizeUser(kAda);
    controls().google->click();
    EXPECT_EQ(status(), QStringLiteral("Waiting for the browser\u2026"));
    EXPECT_FALSE(controls().cancel->isHidden());
    followBrowser();
    ASSERT_TRUE(shows([&] { return status(); }, QStringLiteral("Signed in as ada@example.org")))
        << status().toStdString();
    EXPECT_EQ(controls().lastSync->text(), QStringLiteral("Not synced yet"));
    EXPECT_EQ(error(), QStringLiteral("Signed in for this session only (the keyring could not store it)"));

    const QByteArray bearer = "Bearer " + auth->session()->accessToken.toUtf8();
    controls().signOut->click();
    EXPECT_EQ(status(), QStringLiteral("Not signed in"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return backend.requestsTo("POST /auth/v1/logout").size() == 1; }, 10000));
    EXPECT_EQ(backend.requestsTo("POST /auth/v1/logout")[0].header("Authorization"), bearer);

    launch(account(backend, 5000, QStringLiteral("https://korvel.invalid")));
    EXPECT_EQ(status(), QStringLiteral("No leaderboard server is configured"));
    EXPECT_FALSE(controls().github->isEnabled());
}

TEST_F(AccountWiringTest, EverySignInFailureShowsInTheWindow)
{
    launch(account(backend));
    const auto failure = [&](const QString& text) {
        return shows([&] { return error(); }, QStringLiteral("Sign-in failed: ") + text) &&
               app->settings()->window()->isVisible();
    };
    controls().github->click();
    followBrowser();
    EXPECT_TRUE(failure(QStringLiteral("Denied by user"))) << "the provider said no: " << error().toStdString();

    app->settings()->window()->close();
    backend.setAuthorizeUser(kAda);
    controls().github->click();
    backend.script("POST /auth/v1/token", ScriptedAnswer::of(500, R"({"msg":"exchange broke"})"));
    followBrowser();
    EXPECT_TRUE(failure(QStringLiteral("exchange broke"))) << error().toStdString();

    app->settings()->window()->close();
    controls().github->click();
    app->handleArguments({QStringLiteral("korvel://auth#") + backend.issue(kAda).fragment()});
    EXPECT_TRUE(failure(QStringLiteral("Unexpected response from server"))) << "tokens in a URL";
    EXPECT_EQ(status(), QStringLiteral("Waiting for the browser\u2026"));
    controls().cancel->click();
    EXPECT_EQ(status(), QStringLiteral("Not signed in"));

    // Nothing waits now: an unasked callback changes nothing and opens nothing.
    app->settings()->window()->close();
    followBrowser();
    QCoreApplication::sendPostedEvents();
    EXPECT_FALSE(app->settings()->window()->isVisible());
    EXPECT_FALSE(auth->session());
}

TEST_F(AccountWiringTest, SyncNowSendsTheRowOrShowsEachFailure)
{
    const AuthSession session = storedSession(kAda);
    launch(account(backend));
    Prefs::setFlag(PrefKey::PrivateMode, true);
    EXPECT_EQ(syncNow(), QStringLiteral("Sync failed: Private mode is on -- nothing leaves this computer"));
    Prefs::setFlag(PrefKey::PrivateMode, false);
    const QString scores = QStringLiteral("POST /rest/v1/scores");
    backend.script(scores, ScriptedAnswer::of(409, R"({"code":"23505","message":"duplicate key value"})"));
    EXPECT_EQ(syncNow(), QStringLiteral("Sync failed: duplicate key value"));
    EXPECT_EQ(controls().lastSync->text(), QStringLiteral("Not synced yet")) << "a failure records nothing";

    EXPECT_EQ(syncNow(), QString());
    EXPECT_EQ(controls().lastSync->text(), QStringLiteral("Last synced ") + QDate::currentDate().toString(Qt::ISODate));
    const QList<RecordedRequest> sent = backend.requestsTo(scores);
    ASSERT_EQ(sent.size(), 2) << "private mode sent nothing";
    EXPECT_EQ(sent.last().header("Authorization"), "Bearer " + session.accessToken.toUtf8());
    EXPECT_EQ(sent.last().json().value("lines_all").toInteger(), 1200) << "the window's figures";

    // The session ended (a refused renewal does that) just as the user clicked.
    auth->signOut();
    EXPECT_EQ(syncNow(), QStringLiteral("Sync failed: Not signed in"));
    EXPECT_EQ(status(), QStringLiteral("Not signed in"));
}
