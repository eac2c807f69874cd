#include "sync/BackendConfig.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace {

const QString kKey = QStringLiteral("sb_publishable_0123456789abcdefghijklmnopqrstu");

} // namespace

TEST(BackendConfigTest, OnlyHttpsOriginsAndLocalHttpAreUsable)
{
    for (const char* good : {"https://abc.supabase.co", "https://abc.supabase.co/", "https://db.example.org:8443",
                             "http://127.0.0.1:54321", "http://localhost:54321"}) {
        const BackendConfig c = BackendConfig::make(QString::fromLatin1(good), kKey);
        EXPECT_TRUE(c.usable()) << good << ": " << c.problem().toStdString();
        EXPECT_FALSE(c.baseUrl().endsWith(u'/'));
        EXPECT_EQ(c.url(QStringLiteral("/rest/v1/scores")).toString(), c.baseUrl() + "/rest/v1/scores");
    }
    for (const char* bad : {"http://abc.supabase.co", "http://10.0.0.5", "ftp://abc.supabase.co", "abc.supabase.co",
                            "https://", "https://abc.supabase.co/v1", "https://user:pw@abc.supabase.co",
                            "https://abc.supabase.co?x=1", "https://abc.supabase.co#top", "https://bad host"}) {
        const BackendConfig c = BackendConfig::make(QString::fromLatin1(bad), kKey);
        EXPECT_FALSE(c.usable()) << bad;
        EXPECT_TRUE(c.problem().startsWith(QStringLiteral("korvel: leaderboard sync is off: the backend URL")))
            << c.problem().toStdString();
        EXPECT_FALSE(c.url(QStringLiteral("/rest/v1/scores")).isValid());
    }
    for (const QString& key : {QString(), QStringLiteral("sb_publishable_x\r\nX-Injected: 1")})
        EXPECT_FALSE(BackendConfig::make(QStringLiteral("https://abc.supabase.co"), key).usable());
}

TEST(BackendConfigTest, TheEnvironmentOverridesTheBuiltInValues)
{
    unsetenv("KORVEL_BACKEND_URL");
    setenv("KORVEL_PUBLISHABLE_KEY", "", 1);
    const BackendConfig builtIn = BackendConfig::fromEnvironment();
    EXPECT_TRUE(builtIn.usable()) << builtIn.problem().toStdString();
    EXPECT_TRUE(builtIn.publishableKey().startsWith(QStringLiteral("sb_publishable_")));

    setenv("KORVEL_BACKEND_URL", "http://localhost:9", 1);
    setenv("KORVEL_PUBLISHABLE_KEY", "sb_publishable_self-hosted", 1);
    const BackendConfig overridden = BackendConfig::fromEnvironment();
    EXPECT_EQ(overridden.baseUrl(), QStringLiteral("http://localhost:9"));
    EXPECT_EQ(overridden.publishableKey(), QStringLiteral("sb_publishable_self-hosted"));
    unsetenv("KORVEL_BACKEND_URL");
    unsetenv("KORVEL_PUBLISHABLE_KEY");
}
