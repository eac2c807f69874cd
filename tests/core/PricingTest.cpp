#include "core/Pricing.h"

#include <gtest/gtest.h>
#include <tuple>

TEST(PricingTest, FamiliesDateSuffixesAndCacheTokens)
{
    // A table id with a date suffix is priced by the family rules and named as it is, not as the row it would name.
    const std::tuple<const char*, Rate, const char*> cases[] = {
        {"claude-sonnet-4-5-20250929", {3, 15}, "Sonnet 4.5"},    {"claude-fable-5-20260101", {10, 50}, "Fable 5"},
        {"claude-opus-4-1-20250805", {5, 25}, "claude-opus-4-1"}, {"Claude-Haiku-3", {1, 5}, "Claude-Haiku-3"},
        {"gpt-5.1-codex", {1.25, 10}, "GPT-5.1-codex"},           {"", {3, 15}, ""},
    };
    for (const auto& [id, rate, name] : cases) {
        EXPECT_EQ(Pricing::baseFor(id), rate) << id;
        EXPECT_EQ(Pricing::prettyModel(id), name) << id;
    }
    EXPECT_DOUBLE_EQ(Pricing::costOf(Rate{3, 15}, 1e6, 1e6, 1e6, 1e6), 3 + 15 + 0.3 + 3.75);
    EXPECT_DOUBLE_EQ(Pricing::costOf(Rate{3, 15}, 0, 0, 0, 1e6, 2.5e5), 0.75 * 3.75 + 0.25 * 6) << "an hour's writes";
}
