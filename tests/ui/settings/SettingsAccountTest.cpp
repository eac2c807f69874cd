#include "tests/support/PrefsGuard.h"
#include "tests/support/TempDir.h"
#include "ui/settings/SettingsWindowController.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>
#include <thread>

namespace {

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
    std::optional<SignedInUser> user;
    bool browserOpens = true;
    QStringList providers;
    int syncs = 0;
    std::function<void(std::optional<QString>)> pendingSync;
    std::function<void()> sessionChanged;
    std::optional<Stats> stats = Stats{};
    std::unique_ptr<SettingsWindowController> settings = std::make_unique<SettingsWindowController>(
        StartAtLogin(QString::fromStdString(config.path() + "/korvel.desktop"), QStringLiteral("korvel")));

    // Stands in for the sign-in and sync side: records the calls and completes a sync when the test says so.
    void SetUp() override
    {
        SettingsAccount account;
        account.session = [this] { return user; };
        account.beginOAuth = [this](const QString& provider) {
            providers << provider;
            return browserOpens;
        };
        account.signOut = [this] { user.reset(); };
        account.syncNow = [this](const Stats&, std::function<void(std::optional<QString>)> done) {
            ++syncs;
            pendingSync = std::move(done);
        };
        account.subscribe = [this](std::function<void()> notify) { sessionChanged = std::move(notify); };
        settings->statsProvider = [this] { return stats; };
        settings->setAccount(account);
    }

    // The account section as the user sees it: the visible texts, in order.
    QStringList shown() const
    {
        QStringList texts{settings->accountStatusLabel->text()};
        for (const QPushButton* b :
             {settings->githubButton, settings->googleButton, settings->signOutButton, settings->syncNowButton})
            if (!b->isHidden())
                texts << b->text();
        if (!settings->lastSyncLabel->isHidden())
            texts << settings->lastSyncLabel->text();
        return texts;
    }

    QString error() const { return settings->accountErrorLabel->text(); }

    void signIn(std::optional<QString> email = QStringLiteral("ada@example.com"))
    {
        user = SignedInUser{std::move(email)};
        fromAnotherThread(sessionChanged);
    }
};

} // namespace

TEST_F(SettingsAccountTest, SectionFollowsTheSessionAndSignInSaysWhenTheBrowserWont)
{
    EXPECT_EQ(shown(), (QStringList{"Not signed in", "Sign in with GitHub", "Continue with Google"}));
    settings->githubButton->click();
    EXPECT_EQ(error(), QString()) << "the section changes only when the session does";
    browserOpens = false;
    settings->googleButton->click();
    EXPECT_EQ(error(), QStringLiteral("Couldn't open the browser for Google sign-in"));
    EXPECT_EQ(providers, (QStringList{"github", "google"}));

    signIn();
    EXPECT_EQ(shown(), (QStringList{"Signed in as ada@example.com", "Sign out", "Sync now", "Not synced yet"}));
    Prefs::setText(PrefKey::LastSyncDate, QStringLiteral("2026-01-31"));
    signIn(std::nullopt);
    EXPECT_EQ(shown(), (QStringList{"Signed in as unknown", "Sign out", "Sync now", "Last synced 2026-01-31"}));
    settings->signOutButton->click();
    EXPECT_EQ(shown().first(), QStringLiteral("Not signed in"));
    SettingsWindowController unconnected{StartAtLogin(QStringLiteral("/nonexistent/k.desktop"), QString())};
    EXPECT_FALSE(unconnected.githubButton->isEnabled()) << "no sign-in is offered without an account";
}

TEST_F(SettingsAccountTest, SyncNowRunsWithTheButtonDisabledAndShowsTheOutcome)
{
    signIn();
    settings->syncNowButton->click();
    EXPECT_FALSE(settings->syncNowButton->isEnabled()) << "disabled while the sync runs";
    const QString longError = QStringList(5, QStringLiteral("Unexpected response from server")).join(' ');
    fromAnotherThread([&] { pendingSync(longError); });
    EXPECT_TRUE(settings->syncNowButton->isEnabled());
    EXPECT_EQ(error(), QStringLiteral("Sync failed: ") + longError);
    EXPECT_GT(settings->accountErrorLabel->height(), 16) << "wrapped onto several lines, not cut off";
    EXPECT_GE(settings->contentView()->height(), settings->accountErrorLabel->geometry().bottom() + 1 + 18);
    settings->syncNowButton->click();
    fromAnotherThread([&] {
        Prefs::setText(PrefKey::LastSyncDate, QStringLiteral("2026-02-03"));
        pendingSync(std::nullopt);
    });
    EXPECT_EQ(error(), QString());
    EXPECT_EQ(settings->lastSyncLabel->text(), QStringLiteral("Last synced 2026-02-03"));

    // Private mode and missing figures never reach the account.
    stats.reset();
    settings->syncNowButton->click();
    EXPECT_EQ(error(), QStringLiteral("No stats available yet"));
    stats = Stats{};
    Prefs::setFlag(PrefKey::PrivateMode, true);
    settings->syncNowButton->click();
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(settings->syncNowButton->isEnabled());
    EXPECT_EQ(error(), QStringLiteral("Sync failed: Private mode is on -- nothing leaves this computer"));
    EXPECT_EQ(syncs, 2);

    // Late callbacks after the window is gone do nothing.
    Prefs::setFlag(PrefKey::PrivateMode, false);
    settings->syncNowButton->click();
    settings.reset();
    fromAnotherThread([&] {
        pendingSync(std::nullopt);
        sessionChanged();
    });
    EXPECT_EQ(syncs, 3);
}
