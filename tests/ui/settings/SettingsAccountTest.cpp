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

    const SettingsWindowController::AccountControls& controls() const { return settings->accountControls(); }

    // The account section as the user sees it: the visible texts, in order.
    QStringList shown() const
    {
        QStringList texts{controls().status->text()};
        for (const QPushButton* b : {controls().github, controls().google, controls().signOut, controls().syncNow})
            if (!b->isHidden())
                texts << b->text();
        if (!controls().lastSync->isHidden())
            texts << controls().lastSync->text();
        return texts;
    }

    QString error() const { return controls().error->text(); }

    // Presses "Sync now" and lets the account fail it with text.
    void failSync(const QString& text)
    {
        controls().syncNow->click();
        fromAnotherThread([&] { pendingSync(text); });
    }

    void signIn(std::optional<QString> email = QStringLiteral("ada@example.com"))
    {
        user = SignedInUser{std::move(email)};
        fromAnotherThread(sessionChanged);
    }
};

} // namespace

TEST_F(SettingsAccountTest, SignedOutOffersBothSignIns)
{
    EXPECT_EQ(shown(), (QStringList{"Not signed in", "Sign in with GitHub", "Continue with Google"}));
    controls().github->click();
    controls().google->click();
    EXPECT_EQ(providers, (QStringList{"github", "google"}));
    EXPECT_EQ(error(), QString()) << "the section changes only when the session does";
}

TEST_F(SettingsAccountTest, SignInSaysWhenTheBrowserWontOpen)
{
    browserOpens = false;
    controls().google->click();
    EXPECT_EQ(error(), QStringLiteral("Couldn't open the browser for Google sign-in"));
}

TEST_F(SettingsAccountTest, SignedInShowsTheUserWithTheLastSync)
{
    signIn();
    EXPECT_EQ(shown(), (QStringList{"Signed in as ada@example.com", "Sign out", "Sync now", "Not synced yet"}));
    Prefs::setText(PrefKey::LastSyncDate, QStringLiteral("2026-01-31"));
    signIn(std::nullopt);
    EXPECT_EQ(shown(), (QStringList{"Signed in as unknown", "Sign out", "Sync now", "Last synced 2026-01-31"}));
}

TEST_F(SettingsAccountTest, SignOutShowsTheSignInsAgain)
{
    signIn();
    controls().signOut->click();
    EXPECT_EQ(shown().first(), QStringLiteral("Not signed in"));
}

TEST_F(SettingsAccountTest, WithoutAnAccountNoSignInIsOffered)
{
    SettingsWindowController unconnected{StartAtLogin(QStringLiteral("/nonexistent/k.desktop"), QString())};
    EXPECT_FALSE(unconnected.accountControls().github->isEnabled());
}

TEST_F(SettingsAccountTest, SyncNowIsDisabledWhileItRuns)
{
    signIn();
    controls().syncNow->click();
    EXPECT_FALSE(controls().syncNow->isEnabled());
    fromAnotherThread([&] { pendingSync(QStringLiteral("Not signed in")); });
    EXPECT_TRUE(controls().syncNow->isEnabled());
}

TEST_F(SettingsAccountTest, ALongSyncErrorWrapsOntoAGrowingForm)
{
    signIn();
    const QString longError = QStringList(5, QStringLiteral("Unexpected response from server")).join(' ');
    failSync(longError);
    EXPECT_EQ(error(), QStringLiteral("Sync failed: ") + longError);
    EXPECT_GT(controls().error->height(), 16) << "wrapped onto several lines, not cut off";
    EXPECT_GE(settings->contentView()->height(), controls().error->geometry().bottom() + 1 + 18);
}

TEST_F(SettingsAccountTest, ASuccessfulSyncShowsTheDayInsteadOfTheError)
{
    signIn();
    failSync(QStringLiteral("Unexpected response from server"));
    controls().syncNow->click();
    fromAnotherThread([&] {
        Prefs::setText(PrefKey::LastSyncDate, QStringLiteral("2026-02-03"));
        pendingSync(std::nullopt);
    });
    EXPECT_EQ(error(), QString());
    EXPECT_EQ(controls().lastSync->text(), QStringLiteral("Last synced 2026-02-03"));
}

TEST_F(SettingsAccountTest, WithoutFiguresNothingIsSent)
{
    signIn();
    stats.reset();
    controls().syncNow->click();
    EXPECT_EQ(error(), QStringLiteral("No stats available yet"));
    EXPECT_EQ(syncs, 0);
}

TEST_F(SettingsAccountTest, PrivateModeNeverReachesTheAccount)
{
    signIn();
    Prefs::setFlag(PrefKey::PrivateMode, true);
    controls().syncNow->click();
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(controls().syncNow->isEnabled());
    EXPECT_EQ(error(), QStringLiteral("Sync failed: Private mode is on -- nothing leaves this computer"));
    EXPECT_EQ(syncs, 0);
}

TEST_F(SettingsAccountTest, LateCallbacksAfterTheWindowIsGoneDoNothing)
{
    signIn();
    controls().syncNow->click();
    settings.reset();
    fromAnotherThread([&] {
        pendingSync(std::nullopt);
        sessionChanged();
    });
    EXPECT_EQ(syncs, 1);
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
