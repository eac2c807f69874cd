#include "sync/StatsSync.h"

#include "prefs/Prefs.h"
#include "sync/SyncThrottle.h"
#include "tests/support/WaitUntil.h"
#include "tests/sync/AccountFixture.h"

namespace {

class StatsSyncTest : public AccountFixture
{
protected:
    std::shared_ptr<SyncThrottle> throttle = std::make_shared<SyncThrottle>();

    // Runs the automatic path, waits until what it started has finished, and counts the upserts so far.
    qsizetype maybeSync(AuthManager& auth, const Stats& stats)
    {
        StatsSync::maybeSync(auth, throttle, stats);
        EXPECT_TRUE(waitUntil([&] { return !throttle->inFlight(); }));
        return backend.requestsTo("POST /rest/v1/scores").size();
    }

    static bool recorded() { return Prefs::has(PrefKey::LastSyncTimestamp) || Prefs::has(PrefKey::LastSyncDate); }
};

} // namespace

TEST_F(StatsSyncTest, SyncNowUpsertsTheRowAndRecordsIt)
{
    storedSession(kAda);
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
    EXPECT_EQ(Prefs::real(PrefKey::LastSyncTimestamp), kStart);
    EXPECT_EQ(Prefs::text(PrefKey::LastSyncSignature), StatsSync::signature(sampleStats()));
}

TEST_F(StatsSyncTest, FailedUpsertsRecordNothing)
{
    storedSession(kAda);
    auto auth = account(backend);
    const std::pair<ScriptedAnswer, AuthError> cases[] = {
        {ScriptedAnswer::of(409, R"({"message":"duplicate"})"), AuthError::server(409, QStringLiteral("duplicate"))},
        {ScriptedAnswer::of(400, R"({"error":"bad row","message":7})"),
         AuthError::server(400, QStringLiteral("bad row"))},
        {ScriptedAnswer::of(500), AuthError::server(500, QStringLiteral("Sync failed (500)"))},
        {ScriptedAnswer::of(503, R"(["busy"])"), AuthError::server(503, QStringLiteral("Sync failed (503)"))},
    };
    for (const auto& [answer, error] : cases) {
        backend.script("POST /rest/v1/scores", answer);
        EXPECT_EQ(syncNow(*auth, sampleStats()), error) << answer.body.toStdString();
    }
    EXPECT_FALSE(recorded());
    EXPECT_TRUE(auth->session()) << "only a refused refresh signs out";
}

TEST_F(StatsSyncTest, TheAutomaticPathSendsAtMostOncePerNinetySecondsAndOnlyAChange)
{
    EXPECT_EQ(syncNow(*account(backend), sampleStats()), AuthError::notSignedIn());
    EXPECT_EQ(maybeSync(*account(backend), sampleStats()), 0) << "signed out";
    storedSession(kAda);
    auto auth = account(backend);
    for (const PrefKey key : {PrefKey::PrivateMode, PrefKey::LeaderboardOptIn}) {
        Prefs::setFlag(key, key == PrefKey::PrivateMode);
        EXPECT_EQ(maybeSync(*auth, sampleStats()), 0) << "in private mode or opted out";
        Prefs::remove(key);
    }
    Prefs::setFlag(PrefKey::PrivateMode, true);
    EXPECT_EQ(syncNow(*auth, sampleStats()),
              AuthError::server(0, QStringLiteral("Private mode is on -- nothing leaves this computer")));
    Prefs::remove(PrefKey::PrivateMode);
    backend.script("POST /rest/v1/scores", ScriptedAnswer::of(500));
    Stats stats = sampleStats();
    for (double t : {0.0, 5.0, 89.0}) {
        clock = kStart + t;
        EXPECT_EQ(maybeSync(*auth, stats), 1) << "a failing backend is asked once, at " << t;
    }
    EXPECT_FALSE(recorded());
    clock = kStart + 90;
    EXPECT_EQ(maybeSync(*auth, stats), 2);
    stats.linesAdded += 10;
    clock = kStart + 150;
    EXPECT_EQ(maybeSync(*auth, stats), 2) << "changed, but only a minute later";
    clock = kStart + 180;
    EXPECT_EQ(maybeSync(*auth, stats), 3);
    clock = kStart + 300;
    stats.cost += 5;
    EXPECT_EQ(maybeSync(*auth, stats), 3) << "the cost alone is no reason";
    EXPECT_EQ(syncNow(*auth, stats), AuthResult()) << "but Sync now sends it";
}
