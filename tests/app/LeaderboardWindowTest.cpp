#include "app/LeaderboardController.h"

#include <QCoreApplication>
#include <QLabel>
#include <gtest/gtest.h>

namespace {

// A board whose first name is markup and whose own place is far down.
Leaderboard sampleBoard()
{
    Leaderboard board;
    board.score.top = {{1, QStringLiteral("<b>ada</b>"), 97}, {1, QStringLiteral("grace"), 97}};
    board.score.of = 53117;
    board.score.me = BoardStanding{1204, 53117, 42};
    board.week.top = {{1, QStringLiteral("lin"), 12000}};
    board.week.of = 9;
    return board;
}

class LeaderboardWindowTest : public ::testing::Test
{
protected:
    double clock = 1'000'000;
    bool privateMode = false;
    bool signedIn = true;
    int fetches = 0;
    std::function<void(const LeaderboardFetch::Result&)> pending;

    LeaderboardController controller{LeaderboardSource{
        [this](auto done) {
            ++fetches;
            pending = std::move(done);
        },
        [this] { return privateMode; },
        [this] { return signedIn; },
        [this] { return clock; },
    }};
    LeaderboardWindow& window = controller.window();

    void answer(const LeaderboardFetch::Result& result)
    {
        std::exchange(pending, nullptr)(result);
        QCoreApplication::processEvents();
    }
};

} // namespace

TEST_F(LeaderboardWindowTest, ItReadsWhenOpenedAndAtMostOnceAMinuteWhileOpen)
{
    controller.open();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(fetches, 1);
    EXPECT_EQ(window.statusText(), QStringLiteral("Loading\u2026"));

    answer(sampleBoard());
    EXPECT_EQ(window.statusText(), QString());
    EXPECT_EQ(window.listText(0), (QStringList{QStringLiteral("#1 <b>ada</b> 97"), QStringLiteral("#1 grace 97"),
                                               QStringLiteral("You: #1,204 of 53,117 \u00b7 42")}));
    EXPECT_EQ(window.listText(1).last(), QStringLiteral("You're not on this list yet"));
    for (const QLabel* label : window.findChildren<QLabel*>())
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << "names are the server's text, never markup";

    clock += 30;
    window.hide();
    controller.open();
    controller.reloadIfDue();
    EXPECT_EQ(fetches, 1) << "read half a minute ago";

    clock += 31;
    controller.reloadIfDue();
    EXPECT_EQ(fetches, 2);
    answer(AuthError::network(QStringLiteral("Connection refused")));
    EXPECT_EQ(window.statusText(), QStringLiteral("Couldn't load the leaderboard: Connection refused"));
    EXPECT_EQ(window.listText(0).size(), 3) << "the last board stays";

    window.hide();
    clock += 600;
    controller.reloadIfDue();
    EXPECT_EQ(fetches, 2) << "closed, it reads nothing";
}

TEST_F(LeaderboardWindowTest, PrivateModeShowsWhyAndAsksNothingSignedOutShowsNoOwnRank)
{
    controller.open();
    answer(sampleBoard());

    privateMode = true;
    window.hide();
    controller.open();
    EXPECT_EQ(fetches, 1);
    EXPECT_EQ(window.statusText(), QStringLiteral("Private mode is on \u2014 nothing leaves this computer"));
    EXPECT_EQ(window.listText(0), QStringList{QString()}) << "not even the board read before";

    privateMode = false;
    signedIn = false;
    controller.open();
    EXPECT_EQ(fetches, 2) << "private mode off reads at once";
    answer(sampleBoard());
    EXPECT_EQ(window.listText(0).last(), QStringLiteral("Sign in to see your rank"));
}
