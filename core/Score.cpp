#include "core/Score.h"

#include <algorithm>
#include <cmath>

namespace Score {
namespace {

constexpr std::array<double, 5> kLines{1e3, 1e4, 5e4, 2e5, 1e6};
constexpr std::array<double, 5> kTokensOut{1e6, 1e7, 5e7, 2e8, 1e9};
constexpr std::array<double, 5> kSessions{10, 50, 200, 500, 1500};
constexpr std::array<double, 5> kStreak{3, 7, 14, 30, 60};
constexpr std::array<double, 5> kActiveDays{5, 20, 50, 120, 300};

constexpr std::array<double, 10> kPercentileScores{0, 15, 30, 45, 55, 65, 75, 85, 92, 99};
constexpr std::array<double, 10> kPercentiles{99, 82, 63, 46, 33, 21, 12, 6, 3, 1};

double nonZero(double divisor)
{
    return divisor == 0 ? 1 : divisor;
}

double nightShare(std::span<const int64_t> byHour)
{
    int64_t night = 0;
    int64_t all = 0;
    for (size_t h = 0; h < byHour.size(); ++h) {
        if (h < 5)
            night += byHour[h];
        all += byHour[h];
    }
    return static_cast<double>(night) / static_cast<double>(std::max<int64_t>(all, 1));
}

} // namespace

double band(double x, std::span<const double> t)
{
    const size_t n = t.size();
    // A figure that is not a number counts as none: the ladder search below needs an ordered value.
    if (n == 0 || std::isnan(x))
        return 0;
    const double step = 1.0 / static_cast<double>(n);
    if (x < t[0])
        return x <= 0 ? 0 : std::min(1.0, step * std::log1p(x) / nonZero(std::log1p(t[0])));
    if (x >= t[n - 1])
        return 1;
    size_t i = 1;
    while (!(t[i - 1] <= x && x < t[i]))
        ++i;
    const double base = static_cast<double>(i) * step;
    if (x == t[i - 1])
        return std::min(1.0, base);
    return std::min(1.0, base + step * std::log1p(x - t[i - 1]) / nonZero(std::log1p(t[i] - t[i - 1])));
}

int64_t crackedScore(double lines, double tokensOut, double sessions, double longestStreak, double activeDays)
{
    const double s = 0.3 * band(lines, kLines) + 0.25 * band(tokensOut, kTokensOut) + 0.2 * band(sessions, kSessions) +
                     0.15 * band(longestStreak, kStreak) + 0.1 * band(activeDays, kActiveDays);
    return static_cast<int64_t>(std::round(std::min(s * 100, 99.0)));
}

int64_t percentile(int64_t score)
{
    const auto x = static_cast<double>(score);
    size_t k = 1;
    while (k < kPercentileScores.size() && kPercentileScores[k] < x)
        ++k;
    if (k == kPercentileScores.size())
        return 1;
    const double s0 = kPercentileScores[k - 1];
    const double p0 = kPercentiles[k - 1];
    const double p = p0 + (x - s0) / nonZero(kPercentileScores[k] - s0) * (kPercentiles[k] - p0);
    return std::clamp<int64_t>(static_cast<int64_t>(std::round(p)), 1, 99);
}

std::vector<Badge> badgesFor(double lines, int64_t longestStreak, std::span<const int64_t> byHour, double cost,
                             double tokensOut, int64_t modelCount, int64_t sessions)
{
    // clang-format off
    return {
        {"first-blood",  "\U0001FA78",       "First Blood",  "Shipped your first lines",         lines > 0},
        {"ten-k",        "\U0001F4C8",       "10K Club",     "10,000+ lines shipped",            lines >= 10'000},
        {"hundred-k",    "\U0001F3DB\uFE0F", "100K Club",    "100,000+ lines shipped",           lines >= 100'000},
        {"week-streak",  "\U0001F525",       "Week Streak",  "7-day coding streak",              longestStreak >= 7},
        {"month-streak", "\U0001F5D3\uFE0F", "Month Streak", "30-day coding streak",             longestStreak >= 30},
        {"night-owl",    "\U0001F989",       "Night Owl",    "A third of your work is 12am-5am", nightShare(byHour) >= 0.33},
        {"big-spender",  "\U0001F4B8",       "Big Spender",  "$100+ of agent compute",           cost >= 100},
        {"token-lord",   "\U0001FA99",       "Token Lord",   "100M+ output tokens",              tokensOut >= 100'000'000},
        {"polyglot",     "\U0001F9E9",       "Multi-Model",  "Used 3+ models",                   modelCount >= 3},
        {"centurion",    "\U0001F4AF",       "Centurion",    "100+ sessions",                    sessions >= 100},
    };
    // clang-format on
}

} // namespace Score
