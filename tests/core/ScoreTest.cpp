#include "core/Score.h"

#include <array>
#include <gtest/gtest.h>
#include <limits>

namespace {

constexpr std::array<double, 5> kLines{1e3, 1e4, 5e4, 2e5, 1e6};

std::vector<std::string> earned(const std::vector<Badge>& badges)
{
    std::vector<std::string> ids;
    for (const auto& b : badges)
        if (b.earned)
            ids.push_back(b.id);
    return ids;
}

std::array<int64_t, 24> hours(int64_t night, int64_t day)
{
    std::array<int64_t, 24> h{};
    h[3] = night;
    h[14] = day;
    return h;
}

} // namespace

TEST(ScoreTest, BandsStepAtThresholdsClimbLogarithmicallyAndAreSafeForAnyDouble)
{
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    constexpr double inf = std::numeric_limits<double>::infinity();
    const std::pair<double, double> cases[] = {{0, 0},   {-5, 0},  {500, 0.17996}, {1000, 0.2}, {5000, 0.38219},
                                               {1e6, 1}, {1e9, 1}, {nan, 0},       {inf, 1},    {-inf, 0}};
    for (const auto& [value, band] : cases)
        EXPECT_NEAR(Score::band(value, kLines), band, 1e-5) << value;
    EXPECT_EQ(Score::band(5, std::span<const double>{}), 0);
    const std::array<double, 2> zeroStart{0, 10};
    EXPECT_DOUBLE_EQ(Score::band(0, zeroStart), 0.5) << "at the first threshold when it is 0";

    for (const double x : {nan, inf, -inf}) {
        const int64_t score = Score::crackedScore(x, x, x, x, x);
        EXPECT_TRUE(score >= 0 && score <= 99) << x;
        EXPECT_GE(Score::percentile(score), 1);
        EXPECT_EQ(Score::badgesFor(x, 0, std::array<int64_t, 24>{}, x, x, 0, 0).size(), 10u);
    }
}

TEST(ScoreTest, ScoreWeighsTheFiveAxesAndPercentileInterpolatesTheTable)
{
    EXPECT_EQ(Score::crackedScore(0, 0, 0, 0, 0), 0);
    EXPECT_EQ(Score::crackedScore(10'000, 10'000'000, 50, 7, 20), 40);
    EXPECT_EQ(Score::crackedScore(1, 0, 1, 1, 1), 4);
    EXPECT_EQ(Score::crackedScore(1e12, 1e12, 1e6, 1e4, 1e4), 99) << "never 100";
    const std::pair<int64_t, int64_t> cases[] = {{-10, 99}, {0, 99}, {1, 98}, {16, 81}, {45, 46}, {99, 1}, {150, 1}};
    for (const auto& [score, expected] : cases)
        EXPECT_EQ(Score::percentile(score), expected) << score;
}

TEST(ScoreTest, BadgesComeInTheirOrderWithTheirConditions)
{
    const auto none = Score::badgesFor(0, 0, hours(0, 0), 0, 0, 0, 0);
    ASSERT_EQ(none.size(), 10u);
    EXPECT_TRUE(earned(none).empty());
    EXPECT_EQ(earned(Score::badgesFor(1, 6, hours(0, 0), 99.99, 99'999'999, 2, 99)),
              (std::vector<std::string>{"first-blood"}));
    EXPECT_EQ(earned(Score::badgesFor(100'000, 30, hours(0, 0), 100, 1e8, 3, 100)),
              (std::vector<std::string>{"first-blood", "ten-k", "hundred-k", "week-streak", "month-streak",
                                        "big-spender", "token-lord", "polyglot", "centurion"}));
}

TEST(ScoreTest, NightOwlNeedsAThirdOfTheActivityBeforeFive)
{
    const auto owl = [](int64_t night, int64_t day) {
        return Score::badgesFor(0, 0, hours(night, day), 0, 0, 0, 0)[5].earned;
    };
    EXPECT_TRUE(owl(10, 20));
    EXPECT_TRUE(owl(33, 67));
    EXPECT_FALSE(owl(32, 68));
    EXPECT_FALSE(owl(0, 0));
    std::array<int64_t, 3> shortHours{5, 0, 0};
    EXPECT_TRUE(Score::badgesFor(0, 0, shortHours, 0, 0, 0, 0)[5].earned);
}
