#include "core/ContributionJson.h"

#include <gtest/gtest.h>

namespace {

std::string encode(const FileContribution& c)
{
    JsonWriter out;
    ContributionJson::write(out, c);
    return out.take();
}

FileContribution sample()
{
    FileContribution c;
    c.models["claude-opus-4-6"] = ModelAcc{3, 1.5, 2e20, 0.1, 7};
    c.models["we\"ird\\\n\x01"] = ModelAcc{1, 0, 0, 0, 0};
    c.activeDays = {"2025-01-02", "2025-01-01"};
    c.byHour[0] = 4;
    c.byHour[23] = -2;
    c.prompts = 9;
    c.assistantMessages = INT64_MAX;
    c.tokensIn = 1.0 / 3.0;
    c.tokensOut = 123456789.125;
    c.cacheRead = 5e-324;
    c.cacheWrite = 1.7976931348623157e308;
    c.linesAdded = 12;
    c.linesRemoved = INT64_MIN;
    c.cost = 0.1 + 0.2;
    c.editedFiles = {"/src/é.ts", "tab\there"};
    c.minTs = 1735689600.25;
    c.maxTs = 1735689601.0000002;
    c.perDay["2025-01-01"] = DayBucket{5, 0.3, 11};
    return c;
}

// Replaces the first occurrence of what in text.
std::string with(std::string text, std::string_view what, std::string_view by)
{
    const auto pos = text.find(what);
    EXPECT_NE(pos, std::string::npos) << what;
    if (pos != std::string::npos)
        text.replace(pos, what.size(), by);
    return text;
}

} // namespace

TEST(ContributionJsonTest, EmptyContributionHasNoTimeKeysAndTwentyFourZeroHours)
{
    const std::string json = encode(FileContribution{});
    EXPECT_NE(json.find(R"("byHour":[0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0])"), std::string::npos);
    EXPECT_EQ(json.find("minTs"), std::string::npos);
    EXPECT_EQ(json.find("maxTs"), std::string::npos);
    EXPECT_EQ(ContributionJson::decode(json), FileContribution{});
}

TEST(ContributionJsonTest, EveryValueRoundTripsExactly)
{
    const FileContribution c = sample();
    const auto decoded = ContributionJson::decode(encode(c));
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(*decoded, c);
}

TEST(ContributionJsonTest, ControlCharactersAreEscaped)
{
    const std::string json = encode(sample());
    for (const char ch : json)
        EXPECT_GE(static_cast<unsigned char>(ch), 0x20u);
    EXPECT_NE(json.find(R"(we\"ird\\\u000a\u0001)"), std::string::npos);
}

TEST(ContributionJsonTest, MissingOrMistypedRequiredKeysFailAsAWhole)
{
    const std::string json = encode(sample());
    const std::pair<const char*, const char*> breakages[] = {
        {R"("editedFiles":)", R"("editedFilez":)"},
        {R"("prompts":9)", R"("prompts":9.5)"},
        {R"("prompts":9)", R"("prompts":"9")"},
        {R"("prompts":9)", R"("prompts":9223372036854775808)"},
        {R"("tokensOut":)", R"("tokensOut":"1",)"},
        {R"("activeDays":["2025-01-01")", R"("activeDays":[20250101)"},
        {R"("byHour":[4,)", R"("byHour":[)"},
        {R"("byHour":[4,)", R"("byHour":[4,4,)"},
        {R"("byHour":[4,)", R"("byHour":[4.5,)"},
        {R"("messages":3)", R"("messages":null)"},
        {R"("input":1.5,)", ""},
        {R"("linesAdded":5)", R"("linesAdded":true)"},
        {R"("minTs":)", R"("minTs":"x","y":)"},
        {R"("perDay":{)", R"("perDay":[{)"},
    };
    for (const auto& [what, by] : breakages)
        EXPECT_FALSE(ContributionJson::decode(with(json, what, by)).has_value()) << what << " -> " << by;
}

TEST(ContributionJsonTest, OptionalAndUnknownKeys)
{
    const std::string json = encode(sample());
    const auto withoutMin = ContributionJson::decode(with(json, R"("minTs":1735689600.25,)", ""));
    ASSERT_TRUE(withoutMin.has_value());
    EXPECT_FALSE(withoutMin->minTs.has_value());
    const auto extra = ContributionJson::decode(with(json, "{", R"({"future":{"a":[1,2]},)"));
    ASSERT_TRUE(extra.has_value());
    EXPECT_EQ(*extra, sample());
    EXPECT_FALSE(ContributionJson::decode("").has_value());
    EXPECT_FALSE(ContributionJson::decode("[]").has_value());
    EXPECT_FALSE(ContributionJson::decode(json.substr(0, json.size() / 2)).has_value());
}

TEST(JsonWriterTest, RefusesNumbersThatJsonCannotHold)
{
    JsonWriter out;
    out.beginArray();
    out.value(1.5);
    EXPECT_TRUE(out.ok());
    out.value(std::numeric_limits<double>::infinity());
    EXPECT_FALSE(out.ok());
}
