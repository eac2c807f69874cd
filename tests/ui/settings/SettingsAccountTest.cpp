#include "tests/support/PrefsGuard.h"
#include "tests/support/TempDir.h"
#include "ui/settings/SettingsWindowController.h"

#include <QCheckBox>
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
    AccountState state;
    bool browserOpens = true;
    QStringList calls;
    SettingsAccount::Done pending;
    std::function<void()> sessionChanged;
    std::optional<Stats> stats = Stats{};
    std::unique_ptr<SettingsWindowController> settings = std::make_unique<SettingsWindowController>(
        StartAtLogin(QString::fromStdString(config.path() + "/korvel.desktop"), QStringLiteral("korvel")));

    // Stands in for the sign-in and sync side: records the calls and completes a sync or a leave when told to.
    void SetUp() override
    {
        SettingsAccount account;
        account.state = [this] { return state; };
        account.beginOAuth = [this](const QString& provider) {
            calls << provider;
            state.waitingForBrowser = browserOpens;
            return browserOpens;
        };
        account.cancelSignIn = [this] {
            calls << "cancel";
            state.waitingForBrowser = false;
        };
        account.signOut = [this] { state.user.reset(); };
        account.syncNow = [this](const Stats&, SettingsAccount::Done done) {
            calls << "sync";
            pending = std::move(done);
        };
        account.leave = [this](SettingsAccount::Done done) {
            calls << "leave";
            pending = std::move(done);
        };
        account.subscribe = [this](std::function<void()> notify) { sessionChanged = std::move(notify); };
        settings->statsProvider = [this] { return stats; };
        settings->setAccount(account);
    }

    const SettingsWindowController::AccountControls& controls() const { return settings->accountControls(); }

    // The account section as the user sees it: the visible texts, in order.
    QStringList shown() const
    {
        QStringList texts{controls().status->text()};
        for (const QPushButton* b :
             {controls().github, controls().google, controls().signOut, controls().cancel, controls().syncNow})
            if (!b->isHidden())
                texts << b->text() + (b->isEnabled() ? "" : " (off)");
        for (const QLabel* label : {controls().lastSync, controls().error})
            if (!label->isHidden() && !label->text().isEmpty())
                texts << label->text();
        return texts;
    }

    QString error() const { return controls().error->text(); }

    // Presses "Sync now" and lets the account fail it with text.
    void failSync(const QString& text)
    {
        controls().syncNow->click();
        fromAnotherThread([&] { pending(text); });
    }

    void signIn(std::optional<QString> email = QStringLiteral("ada@example.com"), bool thisRunOnly = false)
    {
        state.user = SignedInUser{std::move(email), thisRunOnly};
        fromAnotherThread(sessionChanged);
    }
};

} // namespace

TEST_F(SettingsAccountTest, SignInWaitsForTheBrowserUntilCancelled)
{
    EXPECT_EQ(shown(), (QStringList{"Not signed in", "Sign in with GitHub", "Continue with Google"}));
    controls().github->click();
    EXPECT_EQ(shown(), (QStringList{"Waiting for the browser\u2026", "Sign in with GitHub", "Continue with Google",
                                    "Cancel sign-in"}));
    controls().cancel->click();
    browserOpens = false;
    controls().google->click();
    EXPECT_EQ(calls, (QStringList{"github", "cancel", "google"}));
    EXPECT_EQ(shown(), (QStringList{"Not signed in", "Sign in with GitHub", "Continue with Google",
                                    "Couldn't open the browser for Google sign-in"}));
}

TEST_F(SettingsAccountTest, WithoutAServerOrAnAccountNoSignInIsOffered)
{
    state.serverConfigured = false;
    settings->refreshAccountUI();
    EXPECT_EQ(shown(), (QStringList{"No leaderboard server is configured", "Sign in with GitHub (off)",
                                    "Continue with Google (off)", "See \"Self-hosting the backend\" in the README"}));
    SettingsWindowController unconnected{StartAtLogin(QStringLiteral("/nonexistent/k.desktop"), QString())};
    EXPECT_FALSE(unconnected.accountControls().github->isEnabled());
}

TEST_F(SettingsAccountTest, SignedInFollowsTheSessionAndTheLastSync)
{
    signIn();
    EXPECT_EQ(shown(), (QStringList{"Signed in as ada@example.com", "Sign out", "Sync now", "Not synced yet"}));
    // An automatic sync writes the day from the network thread while the window is open.
    fromAnotherThread([] { Prefs::setText(PrefKey::LastSyncDate, QStringLiteral("2026-01-31")); });
    EXPECT_EQ(controls().lastSync->text(), QStringLiteral("Last synced 2026-01-31"));
    signIn(std::nullopt, true);
    EXPECT_EQ(shown(), (QStringList{"Signed in as unknown", "Sign out", "Sync now", "Last synced 2026-01-31",
                                    "Signed in for this session only (the keyring could not store it)"}));
}

TEST_F(SettingsAccountTest, UntickingTheLeaderboardLeavesItAndSaysWhenThatFailed)
{
    QCheckBox* join = settings->checkBox(PrefKey::LeaderboardOptIn);
    join->click();
    join->click();
    EXPECT_TRUE(calls.isEmpty()) << "signed out there is no row to remove";
    signIn();
    join->click();
    EXPECT_EQ(calls, QStringList{"leave"});
    EXPECT_EQ(controls().lastSync->text(), QStringLiteral("Not on the leaderboard"));
    fromAnotherThread([&] { pending(QStringLiteral("Leaving failed (503)")); });
    EXPECT_EQ(error(), QStringLiteral("Couldn't leave the leaderboard: Leaving failed (503)"));
}

TEST_F(SettingsAccountTest, ALongSyncErrorWrapsOntoAGrowingForm)
{
    signIn();
    const QString longError = QStringList(5, QStringLiteral("Unexpected response from server")).join(' ');
    failSync(longError);
    EXPECT_EQ(error(), QStringLiteral("Sync failed: ") + longError);
    EXPECT_GT(controls().error->height(), 16) << "wrapped onto several lines, not cut off";
    EXPECT_LE(controls().error->geometry().right(), settings->contentView()->width());
    EXPECT_GE(settings->contentView()->height(), controls().error->geometry().bottom() + 1 + 18);
}

TEST_F(SettingsAccountTest, SyncNowIsOffWhileItRunsAndSendsNothingWithoutFigures)
{
    signIn();
    controls().syncNow->click();
    EXPECT_FALSE(controls().syncNow->isEnabled());
    fromAnotherThread([&] { pending(QStringLiteral("Not signed in")); });
    EXPECT_TRUE(controls().syncNow->isEnabled());
    stats.reset();
    controls().syncNow->click();
    EXPECT_EQ(error(), QStringLiteral("No stats available yet"));
    EXPECT_EQ(calls, QStringList{"sync"});
}

TEST_F(SettingsAccountTest, LateCallbacksAfterTheWindowIsGoneDoNothing)
{
    signIn();
    controls().syncNow->click();
    settings.reset();
    fromAnotherThread([&] {
        pending(std::nullopt);
        sessionChanged();
    });
    EXPECT_EQ(calls, QStringList{"sync"});
}

TEST_F(SettingsAccountTest, ServerTextShowsAsPlainText)
{
    signIn(QStringLiteral("<b>mallory</b>\n@example.com"));
    EXPECT_EQ(controls().status->text(), QStringLiteral("Signed in as <b>mallory</b>\uFFFD@example.com"));
    EXPECT_EQ(controls().status->textFormat(), Qt::PlainText) << "never markup";
    failSync(QStringLiteral("<img src=x>\x1b[2J"));
    EXPECT_EQ(controls().error->textFormat(), Qt::PlainText);
    EXPECT_TRUE(error().contains(QStringLiteral("<img src=x>\uFFFD[2J"))) << error().toStdString();
}
