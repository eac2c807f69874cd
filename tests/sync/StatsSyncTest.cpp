#include "sync/StatsSync.h"

#include "prefs/Prefs.h"
#include "sync/SyncThrottle.h"
#include "tests/support/WaitUntil.h"
#include "tests/support/ZoneGuard.h"
#include "tests/sync/AccountFixture.h"

#include <QCborValue>

namespace {

class StatsSyncTest : public AccountFixture
{
protected:
    TestBackend backend;
    SyncThrottle throttle;

    AuthResult syncNow(AuthManager& auth, const Stats& stats)
    {
        Awaited<AuthResult> done;
        StatsSync::syncNow(auth, stats, done.callback());
        return done.get().value_or(AuthError::network(QStringLiteral("no completion")));
    }

    // Runs the automatic path and waits until what it started, if anything, has finished.
    qsizetype maybeSync(AuthManager& auth, const Stats& stats)
    {
        StatsSync::maybeSync(auth, throttle, stats);
        EXPECT_TRUE(waitUntil([&] { return !throttle.inFlight(); }));
        return backend.requestsTo("POST /rest/v1/scores").size();
    }

    static bool recorded() { return Prefs::has(PrefKey::LastSyncTimestamp); }
};

} // namespace

TEST_F(StatsSyncTest, PayloadSignatureAndDayKey)
{
    ZoneGuard zone("EST5");
    const QJsonObject p = StatsSync::payload(sampleStats(), kAda.id, 1769850900.75);
    EXPECT_EQ(p.size(), 14);
    const auto integer = [&](const char* key) {
        const QCborValue v = QCborValue::fromJsonValue(p.value(QLatin1String(key)));
        EXPECT_TRUE(v.isInteger()) << key;
        return v.toInteger();
    };
    EXPECT_EQ(p.value("user_id"), kAda.id);
    EXPECT_EQ(integer("korvel_score"), 41);
    EXPECT_EQ(integer("streak"), 6);
    EXPECT_EQ(p.value("top_model"), QStringLiteral("claude-opus-4-6"));
    EXPECT_EQ(integer("lines_today"), 120);
    EXPECT_EQ(integer("lines_week"), 700);
    EXPECT_EQ(integer("lines_all"), 1200) << "added plus removed, where today and week count added lines only";
    EXPECT_EQ(p.value("cost_today").toDouble(), 1.25);
    EXPECT_EQ(p.value("cost_week").toDouble(), 7.5);
    EXPECT_EQ(p.value("cost_all").toDouble(), 20.125);
    EXPECT_EQ(p.value("tokens_today").toDouble(), 3000);
    EXPECT_EQ(p.value("tokens_week").toDouble(), 21000);
    EXPECT_EQ(p.value("tokens_all").toDouble(), 45678);
    EXPECT_EQ(p.value("last_synced"), QStringLiteral("2026-01-31T09:15:00Z")) << "UTC, whole seconds";

    Stats noModel = sampleStats();
    noModel.topModel.reset();
    EXPECT_TRUE(StatsSync::payload(noModel, kAda.id, 0).value("top_model").isNull());

    EXPECT_EQ(StatsSync::signature(sampleStats()), QStringLiteral("1200|45678.0|41"));
    Stats costOnly = sampleStats();
    costOnly.cost = 99;
    costOnly.todayLinesAdded = 1;
    costOnly.streakCurrent = 0;
    costOnly.topModel = "gpt-5";
    EXPECT_EQ(StatsSync::signature(costOnly), StatsSync::signature(sampleStats()));
    costOnly.tokensOut += 0.5;
    EXPECT_EQ(StatsSync::signature(costOnly), QStringLiteral("1200|45678.5|41"));

    EXPECT_EQ(StatsSync::dayKey(1767229200), QStringLiteral("2025-12-31")) << "01:00 UTC is the evening before";
    ZoneGuard east("KST-14");
    EXPECT_EQ(StatsSync::dayKey(1767229200), QStringLiteral("2026-01-01"));
}

TEST_F(StatsSyncTest, SyncNowUpsertsTheRowAndRecordsIt)
{
    storedSession(backend, kAda);
    auto auth = account(backend);
    ASSERT_EQ(syncNow(*auth, sampleStats()), AuthResult());

    const auto sent = backend.requestsTo("POST /rest/v1/scores");
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(sent[0].query, QString());
    EXPECT_EQ(sent[0].header("apikey"), TestBackend::kPublishableKey);
    EXPECT_EQ(sent[0].header("Authorization"), "Bearer " + auth->session()->accessToken.toUtf8());
    EXPECT_EQ(sent[0].header("Content-Type"), "application/json");
    EXPECT_EQ(sent[0].header("Prefer"), "resolution=merge-duplicates,return=minimal");
    EXPECT_EQ(sent[0].json(), StatsSync::payload(sampleStats(), kAda.id, kStart));
    EXPECT_FALSE(sent[0].body.contains(' ')) << "compact";
    EXPECT_EQ(backend.storedRow(kAda.id), StatsSync::payload(sampleStats(), kAda.id, kStart));

    EXPECT_EQ(Prefs::text(PrefKey::LastSyncDate), StatsSync::dayKey(kStart));
    EXPECT_EQ(Prefs::real(PrefKey::LastSyncTimestamp), kStart);
    EXPECT_EQ(Prefs::text(PrefKey::LastSyncSignature), StatsSync::signature(sampleStats()));

    // A token about to expire is renewed first, and the upsert carries the new one.
    clock = kStart + 3600;
    ASSERT_EQ(syncNow(*auth, sampleStats()), AuthResult());
    const auto routes = backend.requests();
    EXPECT_EQ(routes.at(routes.size() - 2).route(), QStringLiteral("POST /auth/v1/token"));
    EXPECT_EQ(routes.last().header("Authorization"), "Bearer " + auth->session()->accessToken.toUtf8());
}

TEST_F(StatsSyncTest, FailedUpsertsRecordNothing)
{
    storedSession(backend, kAda);
    auto auth = account(backend);
    auto impatient = account(backend, kShortTimeoutMs);
    struct Case
    {
        ScriptedAnswer answer;
        AuthError error;
    };
    const Case cases[] = {
        {ScriptedAnswer::of(409, R"({"message":"duplicate"})"), AuthError::server(409, QStringLiteral("duplicate"))},
        {ScriptedAnswer::of(500), AuthError::server(500, QStringLiteral("Sync failed (500)"))},
        {ScriptedAnswer::of(400, R"({"error":"bad row","message":7})"),
         AuthError::server(400, QStringLiteral("bad row"))},
        {ScriptedAnswer::of(401, R"({"code":"PGRST301","message":"JWT expired"})"),
         AuthError::server(401, QStringLiteral("JWT expired"))},
        {ScriptedAnswer::of(502, "<html>Bad gateway</html>"),
         AuthError::server(502, QStringLiteral("Sync failed (502)"))},
        {ScriptedAnswer::of(503, R"(["busy"])"), AuthError::server(503, QStringLiteral("Sync failed (503)"))},
    };
    for (const Case& c : cases) {
        backend.script("POST /rest/v1/scores", c.answer);
        EXPECT_EQ(syncNow(*auth, sampleStats()), c.error) << c.answer.body.toStdString();
    }
    backend.script("POST /rest/v1/scores", ScriptedAnswer::silence());
    EXPECT_EQ(syncNow(*impatient, sampleStats()), AuthError::network(QStringLiteral("The request timed out")));
    EXPECT_FALSE(recorded());
    EXPECT_FALSE(Prefs::has(PrefKey::LastSyncDate));
    EXPECT_FALSE(Prefs::has(PrefKey::LastSyncSignature));
    EXPECT_TRUE(auth->session()) << "only a refused refresh signs out";
}

TEST_F(StatsSyncTest, NothingIsSentSignedOutOrInPrivateMode)
{
    auto signedOut = account(backend);
    EXPECT_EQ(syncNow(*signedOut, sampleStats()), AuthError::notSignedIn());
    EXPECT_EQ(maybeSync(*signedOut, sampleStats()), 0);

    storedSession(backend, kAda);
    auto auth = account(backend);
    Prefs::setFlag(PrefKey::LeaderboardOptIn, false);
    EXPECT_EQ(maybeSync(*auth, sampleStats()), 0);
    Prefs::remove(PrefKey::LeaderboardOptIn);
    Prefs::setFlag(PrefKey::PrivateMode, true);
    EXPECT_EQ(maybeSync(*auth, sampleStats()), 0);
    EXPECT_EQ(syncNow(*auth, sampleStats()),
              AuthError::server(0, QStringLiteral("Private mode is on -- nothing leaves this computer")));
    EXPECT_TRUE(backend.requests().isEmpty());
    EXPECT_FALSE(recorded());
}

TEST_F(StatsSyncTest, TheAutomaticPathWaitsNinetySecondsAndForAChange)
{
    storedSession(backend, kAda);
    auto auth = account(backend);
    Stats stats = sampleStats();
    EXPECT_EQ(maybeSync(*auth, stats), 1);
    EXPECT_EQ(Prefs::real(PrefKey::LastSyncTimestamp), kStart);

    stats.linesAdded += 10;
    clock = kStart + 60;
    EXPECT_EQ(maybeSync(*auth, stats), 1) << "changed, but only a minute later";
    clock = kStart + 90;
    EXPECT_EQ(maybeSync(*auth, stats), 2);
    clock = kStart + 300;
    EXPECT_EQ(maybeSync(*auth, stats), 2) << "nothing changed";
    stats.cost += 5;
    EXPECT_EQ(maybeSync(*auth, stats), 2) << "the cost alone is no reason";
    EXPECT_EQ(syncNow(*auth, stats), AuthResult()) << "but Sync now sends it";
    EXPECT_EQ(backend.requestsTo("POST /rest/v1/scores").size(), 3);
}

TEST_F(StatsSyncTest, AFailingBackendIsAskedAtMostOncePerNinetySeconds)
{
    storedSession(backend, kAda);
    auto auth = account(backend);
    for (int i = 0; i < 4; ++i)
        backend.script("POST /rest/v1/scores", ScriptedAnswer::of(500));
    for (double t : {0.0, 5.0, 10.0, 89.0}) {
        clock = kStart + t;
        maybeSync(*auth, sampleStats());
    }
    EXPECT_EQ(backend.requestsTo("POST /rest/v1/scores").size(), 1);
    clock = kStart + 95;
    EXPECT_EQ(maybeSync(*auth, sampleStats()), 2);
    EXPECT_FALSE(recorded());
}
