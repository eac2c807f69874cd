#include "core/Pricing.h"

#include <gtest/gtest.h>

TEST(PricingTest, TableIdsPriceAndNameExactly)
{
    EXPECT_EQ(Pricing::baseFor("claude-sonnet-4-5"), (Rate{3, 15}));
    EXPECT_EQ(Pricing::baseFor("claude-opus-4-8"), (Rate{5, 25}));
    EXPECT_EQ(Pricing::baseFor("claude-haiku-4-5"), (Rate{1, 5}));
    EXPECT_EQ(Pricing::baseFor("claude-mythos-5"), (Rate{10, 50}));
    EXPECT_EQ(Pricing::baseFor("gpt-5.5-codex"), (Rate{1.25, 10}));
    EXPECT_EQ(Pricing::prettyModel("claude-sonnet-4-5"), "Sonnet 4.5");
    EXPECT_EQ(Pricing::prettyModel("gpt-5-codex"), "GPT-5 Codex");
    EXPECT_EQ(Pricing::prettyModel("claude-fable-5"), "Fable 5");
}

TEST(PricingTest, DateSuffixIsDroppedForNamesButNotForPrices)
{
    EXPECT_EQ(Pricing::baseFor("claude-sonnet-4-5-20250929"), (Rate{3, 15}));
    EXPECT_EQ(Pricing::prettyModel("claude-sonnet-4-5-20250929"), "Sonnet 4.5");
    // A table id with a date suffix is priced by the family rules, not by the row it would name.
    EXPECT_EQ(Pricing::baseFor("claude-fable-5-20260101"), (Rate{10, 50}));
    EXPECT_EQ(Pricing::prettyModel("claude-opus-4-1-20250805"), "claude-opus-4-1");
    EXPECT_EQ(Pricing::prettyModel("claude-opus-4-1-2025"), "claude-opus-4-1-2025");
    EXPECT_EQ(Pricing::prettyModel("claude-opus-4-1-2025080x"), "claude-opus-4-1-2025080x");
    EXPECT_EQ(Pricing::prettyModel("-20250101"), "");
}

TEST(PricingTest, UnknownIdsArePricedByFamily)
{
    EXPECT_EQ(Pricing::baseFor("claude-opus-4-1-20250805"), (Rate{5, 25}));
    EXPECT_EQ(Pricing::baseFor("Claude-Haiku-3"), (Rate{1, 5}));
    EXPECT_EQ(Pricing::prettyModel("Claude-Haiku-3"), "Claude-Haiku-3");
    EXPECT_EQ(Pricing::baseFor("gpt-5.1-codex"), (Rate{1.25, 10}));
    EXPECT_EQ(Pricing::prettyModel("gpt-5.1-codex"), "GPT-5.1-codex");
    EXPECT_EQ(Pricing::prettyModel("Gpt-4o-gPt"), "GPT-4o-GPT");
    EXPECT_EQ(Pricing::baseFor("gpt-opus"), (Rate{1.25, 10}));
    EXPECT_EQ(Pricing::baseFor("claude-sonnet-3-7"), (Rate{3, 15}));
    EXPECT_EQ(Pricing::baseFor(""), (Rate{3, 15}));
    EXPECT_EQ(Pricing::prettyModel(""), "");
    EXPECT_EQ(Pricing::prettyModel("o3-mini"), "o3-mini");
}

TEST(PricingTest, CacheTokensArePricedFromTheInputRate)
{
    const double cost = Pricing::costOf(Rate{3, 15}, 1e6, 1e6, 1e6, 1e6);
    EXPECT_DOUBLE_EQ(cost, 3 + 15 + 0.3 + 3.75);
    EXPECT_EQ(Pricing::costOf(Rate{3, 15}, 0, 0, 0, 0), 0.0);
}
