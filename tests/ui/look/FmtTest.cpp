#include "ui/look/Fmt.h"

#include <gtest/gtest.h>

TEST(FmtTest, NumbersReadShortly)
{
    const std::pair<double, const char*> numbers[] = {{0.4, "0"},        {999.6, "1000"}, {-7.5, "-8"},
                                                      {9999, "10.0k"},   {10000, "10k"},  {999999, "1000k"},
                                                      {1500000, "1.5M"}, {2.5e9, "2.5B"}};
    for (const auto& [value, text] : numbers)
        EXPECT_EQ(Fmt::num(value), QString::fromLatin1(text)) << value;
}

TEST(FmtTest, MoneyReadsShortly)
{
    const std::pair<double, const char*> money[] = {
        {0.42, "$0.42"}, {9.99, "$9.99"}, {10, "$10"}, {999.6, "$1000"}, {1530, "$1.5k"}};
    for (const auto& [value, text] : money)
        EXPECT_EQ(Fmt::money(value), QString::fromLatin1(text)) << value;
}

TEST(FmtTest, DatesReadAsMonthAndDayOrNothing)
{
    for (const char* bad : {"not a date", "2025-02-30"})
        EXPECT_EQ(Fmt::humanDate(bad), QString()) << bad;
    EXPECT_EQ(Fmt::humanDate(std::nullopt), QString());
    EXPECT_EQ(Fmt::humanDate("2025-03-07"), QStringLiteral("Mar 7"));
}
