#include "sync/AuthSession.h"

#include <gtest/gtest.h>

TEST(AuthSessionTest, KeyringJsonDecodesAllOrNothing)
{
    const AuthSession full{"access", "refresh", 1767225600.5, "user-1", QStringLiteral("ada@example.org")};
    EXPECT_EQ(AuthSession::fromJson(full.toJson()), full);
    for (const char* broken : {R"({"accessToken":"a","refreshToken":"r","expiresAt":"1","userId":"u"})",
                               R"({"accessToken":"a","expiresAt":1,"userId":"u"})", R"(["a"])", "{"})
        EXPECT_FALSE(AuthSession::fromJson(broken)) << broken;
}
