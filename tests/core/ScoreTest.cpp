#include "core/Score.h"

#include <array>
#include <gtest/gtest.h>
#include <limits>

namespace {

std::vector<std::string> earned(double lines, int64_t streak, double cost, double tokens, int64_t models,
                                int64_t sessions, std::array<int64_t, 24> byHour = {})
{
    std::vector<std::string> ids;
    for (const auto& b : Score::badgesFor(lines, streak, byHour, cost, tokens, models, sessions))
        if (b.earned)
            ids.push_back(b.id);
    return ids;
}

} // namespace

TEST(ScoreTest, BandsClimbLogarithmicallyTheScoreWeighsFiveAxesAndEveryRuleIsSafeForAnyDouble)
{
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    constexpr double inf = std::numeric_limits<double>::infinity();
    constexpr std::array<double, 5> lines{1e3, 1e4, 5e4, 2e5, 1e6};
    const std::pair<double, double> cases[] = {{-5, 0},  {500, 0.17996}, {1000, 0.2}, {5000, 0.38219},
                                               {1e9, 1}, {nan, 0},       {inf, 1},    {-inf, 0}};
    for (const auto& [value, band] : cases)
        EXPECT_NEAR(Score::band(value, lines), band, 1e-5) << value;

    for (const double x : {nan, inf, -inf}) {
        const int64_t score = Score::crackedScore(x, x, x, x, x);
        EXPECT_TRUE(score >= 0 && score <= 99) << x;
        EXPECT_GE(Score::percentile(score), 1);
        EXPECT_EQ(Score::badgesFor(x, 0, std::array<int64_t, 24>{}, x, x, 0, 0).size(), 10u);
    }

    EXPECT_EQ(Score::crackedScore(0, 0, 0, 0, 0), 0);
    EXPECT_EQ(Score::crackedScore(10'000, 10'000'000, 50, 7, 20), 40);
    EXPECT_EQ(Score::crackedScore(1e12, 1e12, 1e6, 1e4, 1e4), 99) << "never 100";
    for (const auto& [score, percentile] : {std::pair{-10, 99}, {1, 98}, {16, 81}, {45, 46}, {150, 1}})
        EXPECT_EQ(Score::percentile(score), percentile) << score;
}

TEST(ScoreTest, BadgesComeInTheirOrderWithTheirConditions)
{
    EXPECT_TRUE(earned(0, 0, 0, 0, 0, 0).empty());
    EXPECT_EQ(earned(1, 6, 99.99, 99'999'999, 2, 99), (std::vector<std::string>{"first-blood"}));
    EXPECT_EQ(earned(100'000, 30, 100, 1e8, 3, 100),
              (std::vector<std::string>{"first-blood", "ten-k", "hundred-k", "week-streak", "month-streak",
                                        "big-spender", "token-lord", "polyglot", "centurion"}));
    // The night owl needs a third of the activity before five.
    std::array<int64_t, 24> hours{};
    hours[3] = 33;
    hours[14] = 67;
    EXPECT_EQ(earned(0, 0, 0, 0, 0, 0, hours), std::vector<std::string>{"night-owl"});
    hours[14] = 68;
    EXPECT_TRUE(earned(0, 0, 0, 0, 0, 0, hours).empty());
}
