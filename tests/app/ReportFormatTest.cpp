#include "app/ReportFormat.h"

#include <charconv>
#include <cmath>
#include <gtest/gtest.h>

TEST(ReportFormatTest, IntegersArePlain)
{
    EXPECT_EQ(ReportFormat::integer(0), "0");
    EXPECT_EQ(ReportFormat::integer(-42), "-42");
    EXPECT_EQ(ReportFormat::integer(1234567), "1234567");
    EXPECT_EQ(ReportFormat::flag(true), "true");
    EXPECT_EQ(ReportFormat::flag(false), "false");
}

TEST(ReportFormatTest, DoublesAreShortestWithAFractionPart)
{
    EXPECT_EQ(ReportFormat::number(0), "0.0");
    EXPECT_EQ(ReportFormat::number(12), "12.0");
    EXPECT_EQ(ReportFormat::number(-3), "-3.0");
    EXPECT_EQ(ReportFormat::number(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(ReportFormat::number(22.05), "22.05");
    EXPECT_EQ(ReportFormat::number(1234567890123.0), "1234567890123.0");
    EXPECT_EQ(ReportFormat::number(0.0001), "0.0001");
    EXPECT_EQ(ReportFormat::number(0.00001375), "1.375e-05");
    EXPECT_EQ(ReportFormat::number(1e300), "1e+300");
}

TEST(ReportFormatTest, DoublesReadBackExactly)
{
    for (const double value : {1.0 / 3, 2.0 / 3 * 1e6, 0.0123456789, 98765.4321, 5e-5, 123456789012345.67}) {
        const std::string text = ReportFormat::number(value);
        double back = 0;
        std::from_chars(text.data(), text.data() + text.size(), back);
        EXPECT_EQ(back, value) << text;
    }
}
