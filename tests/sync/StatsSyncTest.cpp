#include "sync/StatsSync.h"

#include "core/StatsBuilder.h"
#include "core/TimeKit.h"
#include "prefs/Prefs.h"
#include "sync/SyncThrottle.h"
#include "tests/core/TranscriptLines.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaitUntil.h"
#include "tests/support/ZoneGuard.h"
#include "tests/sync/AccountFixture.h"

namespace {

class StatsSyncTest : public AccountFixture
{
protected:
    std::shared_ptr<SyncThrottle> throttle = std::make_shared<SyncThrottle>();

    // Runs the automatic path, waits until what it started has finished, and counts the upserts so far.
    qsizetype maybeSync(AuthManager& auth, const Stats& stats, const QString& route = "POST /rest/v1/scores")
    {
        StatsSync::maybeSync(auth, throttle, stats);
        EXPECT_TRUE(waitUntil([&] { return !throttle->inFlight(); }));
        return backend.requestsTo(route).size();
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
    const QJsonObject row = StatsSync::payload(sampleStats(), kAda.id, kStart);
    EXPECT_EQ(sent[0].json(), row);
    EXPECT_EQ(Prefs::real(PrefKey::LastSyncTimestamp), kStart);
    EXPECT_EQ(Prefs::text(PrefKey::LastSyncSignature), StatsSync::signature(row));
    EXPECT_EQ(StatsSync::signature(row), StatsSync::signature(StatsSync::payload(sampleStats(), kAda.id, kStart + 9)))
        << "the sync time is no change";
}

TEST_F(StatsSyncTest, FailedUpsertsRecordNothing)
{
    storedSession(kAda);
    auto auth = account(backend);
    const std::pair<ScriptedAnswer, AuthError> cases[] = {
        {ScriptedAnswer::of(409, R"({"message":"duplicate"})"), AuthError::server(409, QStringLiteral("duplicate"))},
        {ScriptedAnswer::of(400, R"({"error":"bad row","message":7})"),
         AuthError::server(400, QStringLiteral("bad row"))},
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
    EXPECT_EQ(maybeSync(*account(backend), sampleStats()), 0) << "signed out";
    storedSession(kAda);
    auto auth = account(backend);
    EXPECT_EQ(maybeSync(*account(backend, 5000, "https://korvel.invalid"), sampleStats()), 0) << "no server set up";
    for (const PrefKey key : {PrefKey::PrivateMode, PrefKey::LeaderboardOptIn}) {
        Prefs::setFlag(key, key == PrefKey::PrivateMode);
        EXPECT_EQ(maybeSync(*auth, sampleStats()), 0) << "in private mode or opted out";
        Prefs::remove(key);
    }
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
    EXPECT_EQ(maybeSync(*auth, stats), 3) << "unchanged";
    stats.streakCurrent = 0;
    EXPECT_EQ(maybeSync(*auth, stats), 4) << "any member of the row counts";

    // The clock set back by an hour: the last sync counts as now, not as an hour ahead.
    stats.cost += 5;
    clock = kStart + 300 - 3600;
    EXPECT_EQ(maybeSync(*auth, stats), 4);
    clock = kStart + 300 - 3600 + 90;
    EXPECT_EQ(maybeSync(*auth, stats), 5);
}

TEST_F(StatsSyncTest, ANewDayResendsYesterdaysRowWithTodayAtZero)
{
    using namespace TranscriptLines;
    ZoneGuard zone{"UTC"};
    TempDir logs;
    logs.write("claude/projects/p/s.jsonl", edit(at("2033-05-17", "23:00:00"), 30));
    const LogLocations where{.claudeRoot = logs.path() + "/claude/projects",
                             .codexSessions = logs.path() + "/none",
                             .codexArchive = logs.path() + "/none",
                             .parseCachePath = logs.path() + "/parse-cache.db"};
    const auto time = [](const char* text) { return *TimeKit::epoch(text); };
    clock = time("2033-05-17T23:58:00Z");
    storedSession(kAda, 3 * 86400);
    auto auth = account(backend);
    StatsBuilder builder;
    const auto sentToday = [&] {
        return backend.requestsTo("POST /rest/v1/scores").last().json().value("lines_today").toInteger(-1);
    };

    ASSERT_EQ(maybeSync(*auth, builder.build(where, clock)), 1);
    EXPECT_EQ(sentToday(), 30);
    clock = time("2033-05-18T00:01:00Z");
    ASSERT_EQ(maybeSync(*auth, builder.build(where, clock)), 2);
    EXPECT_EQ(sentToday(), 0);
    EXPECT_EQ(Prefs::text(PrefKey::LastSyncDate), QStringLiteral("2033-05-18"));
    clock = time("2033-05-18T00:05:00Z");
    EXPECT_EQ(maybeSync(*auth, builder.build(where, clock)), 2);

    // Even a row that did not change at all is sent once on a new day, so the board shows it is current.
    clock = time("2033-05-18T23:59:00Z");
    EXPECT_EQ(maybeSync(*auth, sampleStats()), 3);
    clock = time("2033-05-19T00:01:00Z");
    EXPECT_EQ(maybeSync(*auth, sampleStats()), 4);
    clock = time("2033-05-19T00:04:00Z");
    EXPECT_EQ(maybeSync(*auth, sampleStats()), 4);
}

TEST_F(StatsSyncTest, LeavingRemovesTheRowUntilItIsGone)
{
    storedSession(kAda);
    auto auth = account(backend);
    ASSERT_EQ(maybeSync(*auth, sampleStats()), 1);
    const QString removals = QStringLiteral("DELETE /rest/v1/scores");
    Prefs::setFlag(PrefKey::LeaderboardOptIn, false);
    Prefs::setFlag(PrefKey::PrivateMode, true);
    clock = kStart + 100;
    EXPECT_EQ(maybeSync(*auth, sampleStats(), removals), 0) << "private mode sends nothing, not even this";
    EXPECT_EQ(await<AuthResult>([&](auto done) { StatsSync::leave(*auth, done); }),
              AuthError::server(0, QStringLiteral("Private mode is on -- nothing leaves this computer")));
    Prefs::remove(PrefKey::PrivateMode);

    backend.script(removals, ScriptedAnswer::of(503, R"({"message":"down for maintenance"})"));
    EXPECT_EQ(await<AuthResult>([&](auto done) { StatsSync::leave(*auth, done); }),
              AuthError::server(503, QStringLiteral("down for maintenance")));
    backend.script(removals, ScriptedAnswer::of(500));
    EXPECT_EQ(maybeSync(*auth, sampleStats(), removals), 2) << "retried at the next refresh";
    clock = kStart + 150;
    EXPECT_EQ(maybeSync(*auth, sampleStats(), removals), 2) << "at the sync's pace";
    EXPECT_TRUE(recorded()) << "the row may still be there";
    clock = kStart + 190;
    EXPECT_EQ(maybeSync(*auth, sampleStats(), removals), 3);
    const RecordedRequest removal = backend.requestsTo(removals).last();
    EXPECT_EQ(removal.query, QStringLiteral("user_id=eq.") + kAda.id);
    EXPECT_EQ(removal.header("Authorization"), "Bearer " + auth->session()->accessToken.toUtf8());
    EXPECT_FALSE(recorded());
    clock = kStart + 400;
    EXPECT_EQ(maybeSync(*auth, sampleStats(), removals), 3) << "gone";

    Prefs::setFlag(PrefKey::LeaderboardOptIn, true);
    EXPECT_EQ(maybeSync(*auth, sampleStats()), 2) << "rejoining sends the row again";
}

TEST_F(StatsSyncTest, TheLastSyncBelongsToTheUserWhoSynced)
{
    storedSession(kAda);
    auto auth = account(backend);
    ASSERT_EQ(maybeSync(*auth, sampleStats()), 1);
    ASSERT_EQ(signIn(*auth, kGrace), AuthResult());
    EXPECT_FALSE(recorded()) << "another user";
    clock = kStart + StatsSync::kMinInterval;
    EXPECT_EQ(maybeSync(*auth, sampleStats()), 2) << "Grace's first sync is not skipped";
    EXPECT_EQ(backend.requestsTo("POST /rest/v1/scores").last().json().value("user_id").toString(), kGrace.id);
    auth->signOut();
    EXPECT_FALSE(recorded());
}
