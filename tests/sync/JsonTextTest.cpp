#include "sync/JsonText.h"

#include <gtest/gtest.h>

TEST(JsonTextTest, NumbersInTheShortestExactForm)
{
    EXPECT_EQ(JsonText::number(0), "0");
    EXPECT_EQ(JsonText::number(45678), "45678");
    EXPECT_EQ(JsonText::number(-3), "-3");
    EXPECT_EQ(JsonText::number(20.125), "20.125");
    EXPECT_EQ(JsonText::number(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(JsonText::number(1234567.5), "1234567.5");
    EXPECT_EQ(JsonText::number(0.0001), "0.0001");
    EXPECT_EQ(JsonText::number(0.000015), "1.5e-05");
    EXPECT_EQ(JsonText::number(9007199254740993.0), "9007199254740992");
    EXPECT_EQ(JsonText::number(1e20), "1e+20");
}

TEST(JsonTextTest, PrettyAndCompactLayouts)
{
    const QJsonObject o{{"b", QJsonValue(static_cast<qint64>(7))},
                        {"a", 2.5},
                        {"c", QJsonValue()},
                        {"d", QStringLiteral("q\"\\/\n\u0001é")},
                        {"e", true}};
    EXPECT_EQ(JsonText::pretty(o), QByteArray("{\n"
                                              "  \"a\" : 2.5,\n"
                                              "  \"b\" : 7,\n"
                                              "  \"c\" : null,\n"
                                              "  \"d\" : \"q\\\"\\\\/\\n\\u0001é\",\n"
                                              "  \"e\" : true\n"
                                              "}"));
    EXPECT_EQ(JsonText::compact(o), QByteArray("{\"a\":2.5,\"b\":7,\"c\":null,\"d\":\"q\\\"\\\\/\\n\\u0001é\","
                                               "\"e\":true}"));
    EXPECT_EQ(JsonText::pretty({}), QByteArray("{\n\n}"));
    EXPECT_FALSE(JsonText::pretty({{"x", QJsonObject{{"nested", 1}}}})) << "only flat objects";
}
