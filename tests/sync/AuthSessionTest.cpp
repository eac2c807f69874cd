#include "sync/AuthSession.h"

#include <gtest/gtest.h>

TEST(AuthSessionTest, KeyringJsonRoundTripsAndDecodesAllOrNothing)
{
    const AuthSession full{"access", "refresh", 1767225600.5, "user-1", QStringLiteral("ada@example.org")};
    EXPECT_EQ(AuthSession::fromJson(full.toJson()), full);
    EXPECT_EQ(full.toJson(), QByteArray(R"({"accessToken":"access","email":"ada@example.org","expiresAt":1767225600.5,)"
                                        R"("refreshToken":"refresh","userId":"user-1"})"));

    const auto noEmail = AuthSession::fromJson(R"({"accessToken":"a","refreshToken":"","expiresAt":1,"userId":"u"})");
    ASSERT_TRUE(noEmail);
    EXPECT_FALSE(noEmail->email);
    EXPECT_FALSE((AuthSession{"a", "r", 1, "u", std::nullopt}.toJson().contains("email")));

    for (const char* broken :
         {R"({"accessToken":"a","refreshToken":"r","expiresAt":"1","userId":"u"})",
          R"({"accessToken":"a","expiresAt":1,"userId":"u"})",
          R"({"accessToken":"a","refreshToken":"r","expiresAt":1,"userId":"u","email":5})", R"(["a"])", "", "{"})
        EXPECT_FALSE(AuthSession::fromJson(broken)) << broken;
}
