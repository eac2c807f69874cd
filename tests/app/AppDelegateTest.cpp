#include "app/AppDelegate.h"

#include "core/Score.h"
#include "prefs/Prefs.h"
#include "tests/support/PrefsGuard.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaitUntil.h"
#include "ui/notch/NotchContentView.h"
#include "ui/notch/NotchController.h"
#include "ui/notch/NotchPanel.h"
#include "ui/settings/SettingsWindowController.h"

#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <mutex>

namespace {

Stats sample(int64_t lines, double cost, int64_t streak, bool codedToday = true)
{
    Stats s;
    s.linesAdded = lines;
    s.cost = cost;
    s.codedToday = codedToday;
    s.streakCurrent = streak;
    s.badges = Score::badgesFor(0, 0, s.byHour, 0, 0, 0, 0);
    return s;
}

class AppDelegateTest : public ::testing::Test
{
protected:
    PrefsGuard guard;
    TempDir desktop;
    std::atomic<int> builds{0};
    std::atomic<int> started{0};
    std::mutex gate;
    std::vector<QString> revealed;

    AppEnvironment environment()
    {
        AppEnvironment env;
        env.build = [this] {
            ++started;
            const std::lock_guard<std::mutex> wait(gate);
            ++builds;
            return RefreshResult{sample(12345, 48, 5)};
        };
        env.loadCachedStats = [] { return std::nullopt; };
        env.watchedFolder = QString::fromStdString(desktop.path() + "/none");
        env.desktopFolder = [this] { return QString::fromStdString(desktop.path() + "/Desktop"); };
        env.reveal = [this](const QString& path) { revealed.push_back(path); };
        env.refreshIntervalMs = 60'000;
        return env;
    }
};

const NotchState& overlay(const AppDelegate& app)
{
    return app.notch()->content()->state();
}

} // namespace

TEST_F(AppDelegateTest, SeveralRefreshRequestsQueueOneBuild)
{
    AppDelegate app(environment());
    {
        const std::lock_guard<std::mutex> hold(gate);
        app.refresh();
        app.refresh();
        app.refresh();
        EXPECT_TRUE(app.isRefreshing());
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !app.isRefreshing(); }, 5000));
    EXPECT_EQ(builds.load(), 1);
    EXPECT_EQ(app.headerTitle(), QStringLiteral("12k lines \u00B7 $48 \u00B7 5d streak"));
    app.refresh();
    ASSERT_TRUE(QTest::qWaitFor([&] { return builds.load() == 2 && !app.isRefreshing(); }, 5000));
}

TEST_F(AppDelegateTest, HideNotchStopsTheOverlayUntilShownAgain)
{
    AppDelegate app(environment());
    app.launch();
    EXPECT_TRUE(app.notch()->content()->isAnimating());
    app.toggleHideNotch();
    EXPECT_TRUE(app.menu()->actions()[5]->isChecked());
    EXPECT_TRUE(Prefs::flag(PrefKey::NotchHidden));
    EXPECT_FALSE(app.notch()->content()->isAnimating()) << "hidden, it stops";
    app.toggleHideNotch();
    EXPECT_TRUE(app.notch()->content()->isAnimating());
}

TEST_F(AppDelegateTest, AStreakAtRiskTurnsTheOverlayAmberUntilProtectionIsOff)
{
    AppDelegate app(environment());
    app.launch();
    app.apply(sample(10, 1, 3, false));
    EXPECT_TRUE(overlay(app).amber) << "protection on, nothing today, a streak to lose";
    app.toggleProtection();
    EXPECT_FALSE(overlay(app).amber);
    app.toggleProtection();
    app.apply(sample(10, 1, 0, false));
    EXPECT_FALSE(overlay(app).amber) << "no streak to lose";
}

TEST_F(AppDelegateTest, APassedMilestoneCelebrates)
{
    AppDelegate app(environment());
    app.apply(sample(10, 1, 3));
    EXPECT_FALSE(overlay(app).celebrating);
    Prefs::setInteger(PrefKey::MsLines, 99000);
    app.apply(sample(100500, 0, 0));
    EXPECT_TRUE(overlay(app).celebrating);
}

TEST_F(AppDelegateTest, ClickingTheWingCyclesThroughTheSevenFigures)
{
    AppDelegate app(environment());
    app.launch();
    app.apply(sample(10, 1, 3));
    QStringList seen;
    for (int i = 0; i < 7; ++i) {
        seen << overlay(app).wingText;
        app.notch()->content()->onCycle();
    }
    EXPECT_EQ(seen.size(), 7);
    EXPECT_EQ(Prefs::integer(PrefKey::WingStat), 0) << "seven clicks come back to the start";
    EXPECT_EQ(seen[2], QStringLiteral("3d"));
}

TEST_F(AppDelegateTest, SaveCardRevealsTheDayFile)
{
    AppDelegate app(environment());
    app.saveCard();
    EXPECT_TRUE(revealed.empty()) << "nothing to save before the first record";
    Stats dated = sample(100500, 0, 0);
    dated.until = "2026-01-31";
    app.apply(dated);
    app.saveCard();
    const QString card = QString::fromStdString(desktop.path() + "/Desktop/korvel-2026-01-31.png");
    EXPECT_EQ(revealed, std::vector<QString>{card});
    EXPECT_GT(QFileInfo(card).size(), 1000);
}

TEST_F(AppDelegateTest, ACardThatCannotBeSavedIsSaidNotRevealed)
{
    AppDelegate app(environment());
    app.apply(sample(10, 1, 3));
    // A file stands where the desktop folder should be.
    const std::string desktopFolder = desktop.path() + "/Desktop";
    std::ofstream(desktopFolder) << "not a folder";
    app.saveCard();
    EXPECT_TRUE(revealed.empty());
    EXPECT_EQ(app.headerTitle(), QStringLiteral("Couldn't save the card to ") + QString::fromStdString(desktopFolder));
}

TEST_F(AppDelegateTest, TheMenuOpensTheLeaderboard)
{
    AppEnvironment env = environment();
    int fetches = 0;
    env.leaderboard = {[&](auto) { ++fetches; }, [] { return false; }, [] { return false; }, [] { return 0.0; }};
    AppDelegate app(std::move(env));
    app.launch();
    const QList<QAction*> actions = app.menu()->actions();
    const auto item = std::find_if(actions.begin(), actions.end(),
                                   [](QAction* a) { return a->text() == QStringLiteral("Leaderboard\u2026"); });
    ASSERT_NE(item, actions.end());
    (*item)->trigger();
    EXPECT_EQ(fetches, 1);
    const QWidgetList windows = QApplication::topLevelWidgets();
    EXPECT_TRUE(std::any_of(windows.begin(), windows.end(),
                            [](QWidget* w) { return qobject_cast<LeaderboardWindow*>(w) && w->isVisible(); }));
}

TEST_F(AppDelegateTest, BothWaysToTheSettingsReadThemAfresh)
{
    AppEnvironment env = environment();
    std::optional<SignedInUser> user;
    env.account.state = [&] { return AccountState{user}; };
    AppDelegate app(std::move(env));
    app.launch();
    SettingsWindowController* settings = app.settings();
    user = SignedInUser{QStringLiteral("ada@example.com")};
    app.menu()->actions()[6]->trigger();
    EXPECT_TRUE(settings->window()->isVisible());
    EXPECT_EQ(settings->accountControls().status->text(), QStringLiteral("Signed in as ada@example.com"));

    settings->window()->close();
    user.reset();
    app.notch()->content()->configureBtn->click();
    EXPECT_TRUE(settings->window()->isVisible()) << "closing only hid it";
    EXPECT_EQ(settings->accountControls().status->text(), QStringLiteral("Not signed in"));
    app.apply(sample(10, 1, 1));
    EXPECT_EQ(settings->statsProvider()->linesAdded, 10);
}

TEST_F(AppDelegateTest, TheFlareReLaysOutTheExpandedOverlayAtOnce)
{
    AppDelegate app(environment());
    app.launch();
    NotchController* notch = app.notch();
    notch->content()->onExpandChange(true);
    app.settings()->stepButton(PrefKey::NotchFlare, 1)->click();
    EXPECT_FALSE(notch->animating()) << "the resize to the old frame would undo the change";
    EXPECT_TRUE(overlay(app).expanded);
    EXPECT_EQ(notch->panel()->geometry(), notch->frameFor(true));
}

TEST_F(AppDelegateTest, OnlySignInCallbackURLsReachTheHandler)
{
    AppEnvironment env = environment();
    QStringList received;
    env.handleCallbackURL = [&](const QUrl& url, SettingsAccount::Done done) {
        received << url.toString();
        done(url.hasQuery() ? std::optional(url.query()) : std::nullopt);
    };
    AppDelegate app(std::move(env));
    app.launch();
    app.handleArguments({"/usr/bin/korvel", "--debug", "korvel://auth?code=a", "korvel://auth",
                         "https://example.com/auth?code=a", "korvel://evil?code=a", "korvel:auth", "KORVEL://AUTH#x",
                         "korvel://auth:99999999#x", "", "%%"});
    EXPECT_EQ(received, (QStringList{"korvel://auth?code=a", "korvel://auth", "korvel://auth#x"}));

    // A sign-in that failed says why in the settings window, opened for it.
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(app.settings()->window()->isVisible());
    EXPECT_EQ(app.settings()->accountControls().error->text(), QStringLiteral("Sign-in failed: code=a"));
}

TEST_F(AppDelegateTest, QuitLeavesABuildInProgressAndSavesTheFiguresShown)
{
    std::vector<int64_t> saved;
    std::atomic<bool> flushed{false};
    AppEnvironment env = environment();
    env.flush = [&flushed] { flushed = true; };
    env.saveStats = [&saved](const Stats& stats) { saved.push_back(stats.linesAdded); };
    env.quitWaitMs = 0;
    std::unique_lock<std::mutex> hold(gate);
    {
        AppDelegate app(std::move(env));
        app.launch();
        ASSERT_TRUE(waitUntil([this] { return started > 0; }));
        app.apply(sample(7, 1, 1));
        app.quit();
        EXPECT_TRUE(app.workerBusyAtQuit());
        EXPECT_EQ(saved, std::vector<int64_t>{7});
        EXPECT_FALSE(flushed) << "the flush waits behind the build";
        hold.unlock();
    }
    EXPECT_TRUE(flushed) << "a delegate that goes in order still writes what the builds left";
}
