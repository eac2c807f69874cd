#include "prefs/Prefs.h"
#include "tests/support/PrefsGuard.h"
#include "tests/support/TempDir.h"
#include "ui/settings/SettingsWindowController.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>
#include <thread>

namespace {

// Stands in for the sign-in and sync side: records the calls and lets the test complete a sync when it likes.
struct FakeAccount
{
    std::optional<SignedInUser> user;
    bool browserOpens = true;
    QStringList providers;
    int signOuts = 0;
    int syncs = 0;
    std::function<void(std::optional<QString>)> pendingSync;
    std::function<void()> sessionChanged;

    SettingsAccount connect()
    {
        SettingsAccount account;
        account.session = [this] { return user; };
        account.beginOAuth = [this](const QString& provider) {
            providers << provider;
            return browserOpens;
        };
        account.signOut = [this] {
            ++signOuts;
            user.reset();
        };
        account.syncNow = [this](const Stats&, std::function<void(std::optional<QString>)> done) {
            ++syncs;
            pendingSync = std::move(done);
        };
        account.subscribe = [this](std::function<void()> notify) { sessionChanged = std::move(notify); };
        return account;
    }
};

// The account calls back from its network thread.
void fromAnotherThread(const std::function<void()>& work)
{
    std::thread(work).join();
    QCoreApplication::sendPostedEvents();
}

class SettingsAccountTest : public ::testing::Test
{
protected:
    PrefsGuard guard;
    TempDir config;
    FakeAccount fake;
    std::optional<Stats> stats = Stats{};
    std::unique_ptr<SettingsWindowController> settings = std::make_unique<SettingsWindowController>(
        StartAtLogin(QString::fromStdString(config.path() + "/korvel.desktop"), QStringLiteral("korvel")));

    void SetUp() override
    {
        settings->statsProvider = [this] { return stats; };
        settings->setAccount(fake.connect());
    }

    // What the account section shows, hidden widgets left out.
    QStringList shown() const
    {
        QStringList texts{settings->accountStatusLabel->text()};
        for (const QWidget* w :
             {settings->githubButton, settings->googleButton, settings->signOutButton, settings->syncNowButton})
            if (!w->isHidden())
                texts << static_cast<const QPushButton*>(w)->text();
        if (!settings->lastSyncLabel->isHidden())
            texts << settings->lastSyncLabel->text();
        return texts;
    }

    QString error() const { return settings->accountErrorLabel->text(); }

    void signIn()
    {
        fake.user = SignedInUser{QStringLiteral("ada@example.com")};
        fromAnotherThread(fake.sessionChanged);
    }
};

} // namespace

TEST_F(SettingsAccountTest, SectionFollowsTheSession)
{
    EXPECT_EQ(shown(), (QStringList{"Not signed in", "Sign in with GitHub", "Continue with Google"}));
    EXPECT_TRUE(settings->githubButton->isEnabled());

    signIn();
    EXPECT_EQ(shown(), (QStringList{"Signed in as ada@example.com", "Sign out", "Sync now", "Not synced yet"}));

    fake.user = SignedInUser{};
    Prefs::setText(PrefKey::LastSyncDate, QStringLiteral("2026-01-31"));
    settings->refreshAccountUI();
    EXPECT_EQ(shown(), (QStringList{"Signed in as unknown", "Sign out", "Sync now", "Last synced 2026-01-31"}));

    settings->signOutButton->click();
    EXPECT_EQ(fake.signOuts, 1);
    EXPECT_EQ(shown().first(), QStringLiteral("Not signed in"));
}

TEST_F(SettingsAccountTest, WithoutAnAccountNoSignInIsOffered)
{
    SettingsWindowController unconnected{StartAtLogin(QStringLiteral("/nonexistent/k.desktop"), QString())};
    EXPECT_EQ(unconnected.accountStatusLabel->text(), QStringLiteral("Not signed in"));
    EXPECT_FALSE(unconnected.githubButton->isEnabled());
    EXPECT_FALSE(unconnected.googleButton->isEnabled());
    EXPECT_TRUE(unconnected.syncNowButton->isHidden());
}

TEST_F(SettingsAccountTest, SignInButtonsOpenTheirProviderOrSaySoWhenTheBrowserWont)
{
    settings->githubButton->click();
    EXPECT_EQ(error(), QString()) << "the section changes only when the session does";
    fake.browserOpens = false;
    settings->githubButton->click();
    EXPECT_EQ(error(), QStringLiteral("Couldn't open the browser for GitHub sign-in"));
    settings->googleButton->click();
    EXPECT_EQ(error(), QStringLiteral("Couldn't open the browser for Google sign-in"));
    EXPECT_EQ(fake.providers, (QStringList{"github", "github", "google"}));
}

TEST_F(SettingsAccountTest, SyncNowRunsWithTheButtonDisabledAndShowsTheOutcome)
{
    signIn();
    settings->syncNowButton->click();
    ASSERT_EQ(fake.syncs, 1);
    EXPECT_FALSE(settings->syncNowButton->isEnabled()) << "disabled while the sync runs";

    for (const QString& failure : {QStringLiteral("Not signed in"), QStringLiteral("Unexpected response from server"),
                                   QStringLiteral("new row violates row-level security policy")}) {
        fromAnotherThread([&] { fake.pendingSync(failure); });
        EXPECT_TRUE(settings->syncNowButton->isEnabled());
        EXPECT_EQ(error(), QStringLiteral("Sync failed: ") + failure);
        settings->syncNowButton->click();
    }

    fromAnotherThread([&] {
        Prefs::setText(PrefKey::LastSyncDate, QStringLiteral("2026-02-03"));
        fake.pendingSync(std::nullopt);
    });
    EXPECT_TRUE(settings->syncNowButton->isEnabled());
    EXPECT_EQ(error(), QString());
    EXPECT_EQ(settings->lastSyncLabel->text(), QStringLiteral("Last synced 2026-02-03"));
}

TEST_F(SettingsAccountTest, PrivateModeAndMissingStatsNeverReachTheAccount)
{
    signIn();
    stats.reset();
    settings->syncNowButton->click();
    EXPECT_EQ(error(), QStringLiteral("No stats available yet"));
    EXPECT_TRUE(settings->syncNowButton->isEnabled());

    stats = Stats{};
    Prefs::setFlag(PrefKey::PrivateMode, true);
    settings->syncNowButton->click();
    EXPECT_FALSE(settings->syncNowButton->isEnabled());
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(settings->syncNowButton->isEnabled());
    EXPECT_EQ(error(), QStringLiteral("Sync failed: Private mode is on -- nothing leaves this computer"));
    EXPECT_EQ(fake.syncs, 0);
}

TEST_F(SettingsAccountTest, LateCallbacksAfterTheWindowIsGoneDoNothing)
{
    signIn();
    settings->syncNowButton->click();
    settings.reset();
    fromAnotherThread([&] {
        fake.pendingSync(std::nullopt);
        fake.sessionChanged();
    });
    EXPECT_EQ(fake.syncs, 1);
}

TEST_F(SettingsAccountTest, ALongErrorWrapsAndTheFormGrowsForIt)
{
    signIn();
    settings->syncNowButton->click();
    fromAnotherThread([&] { fake.pendingSync(QStringLiteral("word ").repeated(60)); });
    EXPECT_GT(settings->accountErrorLabel->height(), 16);
    EXPECT_GE(settings->contentView()->height(), settings->accountErrorLabel->geometry().bottom() + 1 + 18);
    settings->refreshAccountUI();
    EXPECT_EQ(settings->accountErrorLabel->height(), 16);
    EXPECT_EQ(settings->contentView()->height(), settings->documentHeight());
}
