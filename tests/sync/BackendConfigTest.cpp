#include "sync/BackendConfig.h"

#include <gtest/gtest.h>

TEST(BackendConfigTest, OnlyHttpsOriginsAndLocalHttpAreUsable)
{
    const QString key = QStringLiteral("sb_publishable_0123456789abcdefghijklmnopqrstu");
    for (const char* good : {"https://abc.supabase.co/", "http://127.0.0.1:54321", "http://localhost:54321"}) {
        const BackendConfig c = BackendConfig::make(QString::fromLatin1(good), key);
        EXPECT_TRUE(c.usable()) << good << ": " << c.problem().toStdString();
        EXPECT_EQ(c.url(QStringLiteral("/rest/v1/scores")).toString(), c.baseUrl() + "/rest/v1/scores");
    }
    for (const char* bad : {"http://abc.supabase.co", "ftp://abc.supabase.co", "abc.supabase.co",
                            "https://abc.supabase.co/v1", "https://user:pw@abc.supabase.co", "https://bad host"}) {
        const BackendConfig c = BackendConfig::make(QString::fromLatin1(bad), key);
        EXPECT_FALSE(c.usable() || c.url(QStringLiteral("/rest/v1/scores")).isValid()) << bad;
    }
    for (const QString& badKey : {QString(), QStringLiteral("sb_publishable_x\r\nX-Injected: 1")})
        EXPECT_FALSE(BackendConfig::make(QStringLiteral("https://abc.supabase.co"), badKey).usable());
}
