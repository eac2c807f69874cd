#include "ui/look/Fmt.h"

#include <gtest/gtest.h>

TEST(FmtTest, NumbersShrinkWithTheirMagnitude)
{
    const std::pair<double, const char*> cases[] = {
        {0.4, "0"},        {42, "42"},        {999, "999"},    {999.6, "1000"}, {-7.5, "-8"},
        {1000, "1.0k"},    {1234, "1.2k"},    {9999, "10.0k"}, {10000, "10k"},  {12345, "12k"},
        {999999, "1000k"}, {1500000, "1.5M"}, {2.5e9, "2.5B"},
    };
    for (const auto& [value, text] : cases)
        EXPECT_EQ(Fmt::num(value), QString::fromLatin1(text)) << value;
}

TEST(FmtTest, MoneyInDollars)
{
    const std::pair<double, const char*> cases[] = {
        {0, "$0.00"},  {0.42, "$0.42"},  {9.99, "$9.99"}, {10, "$10"},
        {999, "$999"}, {999.6, "$1000"}, {1000, "$1.0k"}, {1530, "$1.5k"},
    };
    for (const auto& [value, text] : cases)
        EXPECT_EQ(Fmt::money(value), QString::fromLatin1(text)) << value;
}

TEST(FmtTest, HumanDates)
{
    EXPECT_EQ(Fmt::humanDate(std::nullopt), QString());
    EXPECT_EQ(Fmt::humanDate("not a date"), QString());
    EXPECT_EQ(Fmt::humanDate("2025-02-30"), QString());
    EXPECT_EQ(Fmt::humanDate("2024-12-31"), QStringLiteral("Dec 31"));
    EXPECT_EQ(Fmt::humanDate("2025-03-07"), QStringLiteral("Mar 7"));
}
