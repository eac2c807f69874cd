#include "core/PlainText.h"

#include <gtest/gtest.h>

TEST(PlainTextTest, ControlsAndBrokenBytesShowAsReplacementCharacters)
{
    const std::string r = "\xEF\xBF\xBD";
    const std::pair<std::string, std::string> cases[] = {
        {"claude-opus-4-6", "claude-opus-4-6"},
        {"\x1B]0;title\x07", r + "]0;title" + r},
        {std::string("a\nb\0c\x7F", 6), "a" + r + "b" + r + "c" + r},
        {"\xC2\x9B"
         "2J \xC2\xA0 \xE2\x82\xAC \xF0\x9F\x98\x80",
         r + "2J \xC2\xA0 \xE2\x82\xAC \xF0\x9F\x98\x80"},
        // One replacement per maximal ill-formed subsequence.
        {"\xF0\x9F\x98", r},
        {"\xE0\x80", r + r},
        {"\xED\xA0\x80", r + r + r},
        {"\xFF\xC0\xAF", r + r + r},
        {"a\xE2\x82"
         "b",
         "a" + r + "b"},
    };
    for (const auto& [text, shown] : cases)
        EXPECT_EQ(PlainText::shown(text), shown) << text;
}
