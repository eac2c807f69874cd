#include "sync/JsonText.h"

#include <gtest/gtest.h>

// The pretty layout is checked on the output of --sync-dry-run.
TEST(JsonTextTest, ShortestExactNumbersEscapedTextsAndFlatObjectsOnly)
{
    const QJsonObject o{{"b", 0.1 + 0.2}, {"a", 9007199254740993.0}, {"c", 0.000015}, {"d", "q\"\\/\n\u0001é"}};
    EXPECT_EQ(JsonText::compact(o), QByteArray(R"({"a":9007199254740992,"b":0.30000000000000004,"c":1.5e-05,)"
                                               R"("d":"q\"\\/\n\u0001é"})"));
    EXPECT_FALSE(JsonText::pretty({{"x", QJsonObject{{"nested", 1}}}}));
}
