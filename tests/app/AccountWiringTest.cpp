// The settings window's account section connected to a real account, as the application connects it, against the
// local backend: the sign-in buttons, "Sync now" and every outcome the user can see.

#include "app/AccountWiring.h"

#include "tests/support/TempDir.h"
#include "tests/sync/AccountFixture.h"
#include "ui/settings/SettingsWindowController.h"

#include <QCoreApplication>
#include <QDate>
#include <QEvent>
#include <QEventLoop>
#include <QLabel>
#include <QPushButton>
#include <QTcpServer>
#include <QTimer>

namespace {

// Clicks "Sync now" and runs the event loop until the window has taken the outcome, which it does by enabling the
// button again; returns the error line then.
class SyncNowClick : public QObject
{
public:
    explicit SyncNowClick(SettingsWindowController& settings) : m_settings(settings)
    {
        settings.syncNowButton->installEventFilter(this);
    }

    QString operator()()
    {
        QEventLoop loop;
        m_loop = &loop;
        // Only a broken program gets here: the loop's end cancels it.
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        m_settings.syncNowButton->click();
        if (!m_settings.syncNowButton->isEnabled())
            loop.exec();
        m_loop = nullptr;
        EXPECT_TRUE(m_settings.syncNowButton->isEnabled()) << "the sync never finished";
        return m_settings.accountErrorLabel->text();
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::EnabledChange && m_loop && m_settings.syncNowButton->isEnabled())
            m_loop->quit();
        return false;
    }

private:
    SettingsWindowController& m_settings;
    QEventLoop* m_loop = nullptr;
};

class AccountWiringTest : public AccountFixture
{
protected:
    TestBackend backend;
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

    QString status() const { return settings->accountStatusLabel->text(); }
};

} // namespace

TEST_F(AccountWiringTest, TheButtonsSignInAndOut)
{
    open(account(backend));
    EXPECT_EQ(status(), QStringLiteral("Not signed in"));
    ASSERT_TRUE(settings->googleButton->isEnabled());
    settings->googleButton->click();
    EXPECT_EQ(lastOpened().toString(),
              backend.baseUrl() + QStringLiteral("/auth/v1/authorize?provider=google&redirect_to=korvel://auth"));

    backend.setAuthorizeUser(kAda);
    Awaited<AuthResult> done;
    auth->handleCallbackURL(backend.followAuthorize(lastOpened()).value_or(QUrl()), done.callback());
    ASSERT_EQ(done.get(), std::optional<AuthResult>(AuthResult()));
    // The change notice came from the network thread; the window posted its refresh to this one.
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(status(), QStringLiteral("Signed in as ada@example.org"));
    EXPECT_EQ(settings->lastSyncLabel->text(), QStringLiteral("Not synced yet"));

    settings->signOutButton->click();
    EXPECT_EQ(status(), QStringLiteral("Not signed in"));
    EXPECT_FALSE(store->stored());
}

TEST_F(AccountWiringTest, SyncNowSendsTheRowAndShowsTheDay)
{
    const AuthSession session = storedSession(backend, kAda);
    open(account(backend));
    SyncNowClick syncNow(*settings);
    Prefs::setFlag(PrefKey::PrivateMode, true);
    EXPECT_EQ(syncNow(), QStringLiteral("Sync failed: Private mode is on -- nothing leaves this computer"));
    Prefs::setFlag(PrefKey::PrivateMode, false);

    EXPECT_EQ(syncNow(), QString());
    EXPECT_EQ(settings->lastSyncLabel->text(),
              QStringLiteral("Last synced ") + QDate::currentDate().toString(Qt::ISODate));
    const QList<RecordedRequest> sent = backend.requestsTo(QStringLiteral("POST /rest/v1/scores"));
    ASSERT_EQ(sent.size(), 1) << "private mode sent nothing";
    EXPECT_EQ(sent[0].header("Authorization"), "Bearer " + session.accessToken.toUtf8());
    const QJsonObject row = backend.storedRow(kAda.id).value_or(QJsonObject());
    EXPECT_EQ(row.size(), 14);
    EXPECT_EQ(row.value("user_id"), kAda.id);
    EXPECT_EQ(row.value("korvel_score").toInteger(), 41);
    EXPECT_EQ(row.value("lines_all").toInteger(), 1200);
    EXPECT_EQ(row.value("tokens_all").toDouble(), 45678);
    EXPECT_EQ(row.value("cost_all").toDouble(), 20.125);
    EXPECT_EQ(row.value("top_model"), QStringLiteral("claude-opus-4-6"));
}

TEST_F(AccountWiringTest, SyncNowShowsEachFailure)
{
    storedSession(backend, kAda);
    open(account(backend));
    SyncNowClick syncNow(*settings);
    const QString scores = QStringLiteral("POST /rest/v1/scores");
    backend.script(scores, ScriptedAnswer::of(409, R"({"code":"23505","message":"duplicate key value"})"));
    EXPECT_EQ(syncNow(), QStringLiteral("Sync failed: duplicate key value"));
    backend.script(scores, ScriptedAnswer::of(500));
    EXPECT_EQ(syncNow(), QStringLiteral("Sync failed: Sync failed (500)"));
    EXPECT_EQ(settings->lastSyncLabel->text(), QStringLiteral("Not synced yet")) << "a failure records nothing";

    // The session ended (a refused renewal does that) just as the user clicked.
    auth->signOut();
    EXPECT_EQ(syncNow(), QStringLiteral("Sync failed: Not signed in"));
    EXPECT_EQ(status(), QStringLiteral("Not signed in"));
    EXPECT_EQ(backend.requestsTo(scores).size(), 2);

    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
    const QString unreachable = QStringLiteral("http://127.0.0.1:%1").arg(closed.serverPort());
    closed.close();
    storedSession(backend, kAda);
    open(account(backend, 5000, unreachable));
    SyncNowClick offline(*settings);
    EXPECT_EQ(offline(), QStringLiteral("Sync failed: Connection refused"));
}
