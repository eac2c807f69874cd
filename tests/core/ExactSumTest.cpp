#include "core/ExactSum.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <random>

TEST(ExactSumTest, SumsExactlyInAnyOrder)
{
    ExactSum naiveLoser;
    for (const double term : {1e16, 1.0, 1.0})
        naiveLoser.add(term);
    EXPECT_EQ(naiveLoser.value(), 10000000000000002.0) << "a naive sum stays at 1e16";

    std::vector<double> terms;
    std::mt19937 random(3);
    std::uniform_real_distribution<double> any(-1e9, 1e9);
    for (int i = 0; i < 1000; ++i)
        terms.push_back(any(random) * std::pow(10.0, static_cast<int>(random() % 20) - 10));
    ExactSum forward;
    for (const double t : terms)
        forward.add(t);
    std::shuffle(terms.begin(), terms.end(), random);
    ExactSum backward;
    for (const double t : terms)
        backward.add(t);
    EXPECT_EQ(forward, backward);
    for (const double t : terms)
        backward.subtract(t);
    EXPECT_EQ(backward, ExactSum{});

    ExactSum negative;
    negative.subtract(2.5);
    EXPECT_EQ(negative.value(), -2.5);
    negative.add(std::numeric_limits<double>::quiet_NaN());
    negative.add(std::numeric_limits<double>::infinity());
    EXPECT_EQ(negative.value(), -2.5) << "terms that are not finite are left out";
}
