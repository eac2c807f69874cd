// The leaderboard of backend/ on a real PostgreSQL shaped like a Supabase project: the access rules and
// plausibility checks of its tables directly in SQL, Korvel's own writes through the local backend acting as
// PostgREST, and the board that readers get back.

#include "sync/LeaderboardFetch.h"
#include "tests/support/PostgresServer.h"
#include "tests/sync/AccountFixture.h"

#include <QDateTime>
#include <QJsonDocument>

namespace {

// One statement in a transaction as PostgREST runs a request, as the user (or the anonymous role without one). A
// query ends the text, so that its first cell is what comes back.
std::string as(const BackendUser* user, const std::string& statement, bool query = false)
{
    const std::string role = user ? "authenticated; select set_config('request.jwt.claims', '{\"sub\":\"" +
                                        user->id.toStdString() + "\",\"role\":\"authenticated\"}', true)"
                                  : "anon";
    return "begin; set local role " + role + "; " + statement + (query ? ";" : "; commit;");
}

// An insert of a row for user that passes every rule.
std::string insertRow(const BackendUser& user, const std::string& conflict = "")
{
    return "insert into public.scores (user_id, korvel_score, streak, top_model, lines_today, lines_week, lines_all, "
           "cost_today, cost_week, cost_all, tokens_today, tokens_week, tokens_all, last_synced) values ('" +
           user.id.toStdString() + "', 41, 6, 'claude-opus-4-6', 120, 700, 1200, 1.25, 7.5, 20.125, 3000, 21000, " +
           "45678, now()) " + conflict;
}

class ScoresTableTest : public AccountFixture
{
protected:
    static inline std::unique_ptr<PostgresServer> database;
    static inline std::string setUpError;

    static void SetUpTestSuite()
    {
        database = std::make_unique<PostgresServer>();
        if (database->running())
            setUpError = database->createScoresTable(KORVEL_SOURCE_DIR, {kAda.id, kGrace.id});
    }

    static void TearDownTestSuite() { database.reset(); }

    void SetUp() override
    {
        if (!database->running())
            GTEST_SKIP() << "no PostgreSQL: " << database->problem();
        ASSERT_EQ(setUpError, "");
        ASSERT_TRUE(database->sql("delete from public.scores; delete from public.profiles").ok());
        // The table refuses rows from the future, so this clock is the real one.
        clock = static_cast<double>(QDateTime::currentSecsSinceEpoch());
    }

    std::string error(const BackendUser* user, const std::string& statement)
    {
        return database->sql(as(user, statement)).error;
    }
    std::string value(const std::string& select) { return database->sql(select).value; }

    void expectRefused(const BackendUser* user, const std::string& statement, const char* because)
    {
        const std::string e = error(user, statement);
        EXPECT_NE(e.find(because), std::string::npos) << statement << ": " << (e.empty() ? "accepted" : e);
    }
};

} // namespace

TEST_F(ScoresTableTest, OwnersWriteTheirRowOthersCannotAndEveryoneReadsIt)
{
    EXPECT_EQ(error(&kAda, insertRow(kAda)), "");
    EXPECT_EQ(error(&kAda, insertRow(kAda, "on conflict (user_id) do update set korvel_score = 57")), "");
    EXPECT_EQ(error(&kAda, "update public.scores set streak = 7"), "");
    EXPECT_EQ(value("select korvel_score || ' ' || streak from public.scores"), "57 7");

    const char* rls = "new row violates row-level security policy for table \"scores\"";
    expectRefused(&kGrace, insertRow(kAda), rls);
    expectRefused(&kGrace, insertRow(kAda, "on conflict (user_id) do update set streak = 0"), rls);
    EXPECT_EQ(error(&kGrace, "update public.scores set korvel_score = 99"), "") << "another's row is not there";
    ASSERT_EQ(error(&kGrace, insertRow(kGrace)), "");
    expectRefused(&kGrace, "update public.scores set user_id = '" + kAda.id.toStdString() + "'", "row-level security");
    expectRefused(&kAda, "truncate public.scores", "permission denied");
    for (const char* statement : {"update public.scores set streak = 0", "delete from public.scores"})
        expectRefused(nullptr, statement, "permission denied");
    expectRefused(nullptr, insertRow(kGrace), "permission denied");

    const std::string scores = "select string_agg(korvel_score::text, ' ' order by korvel_score) from public.scores";
    EXPECT_EQ(database->sql(as(nullptr, scores, true)).value, "41 57");
    EXPECT_EQ(database->sql(as(&kGrace, scores, true)).value, "41 57");

    // Leaving the board: a user deletes their own row and cannot touch another's.
    EXPECT_EQ(error(&kGrace, "delete from public.scores where user_id = '" + kAda.id.toStdString() + "'"), "");
    EXPECT_EQ(value("select count(*) from public.scores"), "2");
    EXPECT_EQ(error(&kAda, "delete from public.scores"), "");
    EXPECT_EQ(value("select string_agg(user_id::text, ' ') from public.scores"), kGrace.id.toStdString());
}

TEST_F(ScoresTableTest, ImplausibleRowsAreRefused)
{
    ASSERT_EQ(error(&kAda, insertRow(kAda)), "");
    for (const char* change :
         {"korvel_score = 100", "streak = 10001", "lines_today = -1", "lines_today = 701", "cost_today = 8.5",
          "cost_week = 21.125", "tokens_week = 45679", "cost_all = 'NaN', cost_week = 'NaN', cost_today = 'NaN'",
          "tokens_all = 'Infinity'", "last_synced = now() + interval '11 minutes'", "top_model = repeat('x', 201)"})
        expectRefused(&kAda, std::string("update public.scores set ") + change, "violates check constraint");
    EXPECT_EQ(error(&kAda, "update public.scores set last_synced = now() + interval '9 minutes', top_model = null, "
                           "korvel_score = 0, streak = 0"),
              "");
}

TEST_F(ScoresTableTest, KorvelsUpsertPassesTheTableRules)
{
    TestBackend backend(database.get());
    storedSession(kAda, 3600, &backend);
    auto auth = account(backend);

    ASSERT_EQ(syncNow(*auth, sampleStats()), AuthResult());
    QJsonObject row =
        QJsonDocument::fromJson(QByteArray::fromStdString(value("select row_to_json(s)::text from public.scores s")))
            .object();
    QJsonObject sent = backend.requestsTo("POST /rest/v1/scores").last().json();
    EXPECT_EQ(QDateTime::fromString(row.take("last_synced").toString(), Qt::ISODate),
              QDateTime::fromString(sent.take("last_synced").toString(), Qt::ISODate));
    EXPECT_EQ(row, sent);

    Stats more = sampleStats();
    more.linesAdded += 50;
    more.topModel.reset();
    ASSERT_EQ(syncNow(*auth, more), AuthResult()) << "a second sync merges into the same row";
    EXPECT_EQ(value("select count(*) || ' ' || max(lines_all) || ' ' || count(top_model) from public.scores"),
              "1 1250 0");

    Stats inconsistent = sampleStats();
    inconsistent.todayLinesAdded = inconsistent.weekLinesAdded + 1;
    EXPECT_EQ(syncNow(*auth, inconsistent),
              AuthError::server(400, QStringLiteral("new row for relation \"scores\" violates check constraint "
                                                    "\"scores_lines_ordered\"")));

    // A session naming another user than its token: the database, not the app, refuses the row.
    const AuthSession ada = *auth->session();
    store = std::make_shared<MemorySessionStore>(
        AuthSession{ada.accessToken, ada.refreshToken, ada.expiresAt, kGrace.id, std::nullopt});
    EXPECT_EQ(syncNow(*account(backend), sampleStats()),
              AuthError::server(403, QStringLiteral("new row violates row-level security policy for table "
                                                    "\"scores\"")));
    EXPECT_EQ(value("select count(*) from public.scores"), "1");
}

namespace {

// Board users 1 to 12: the id, and a row synced now or daysAgo days ago with lines today and this week at ten and
// twenty times the score.
QString boardUser(int n)
{
    return QStringLiteral("00000000-0000-4000-8000-%1").arg(n, 12, 10, QLatin1Char('0'));
}

std::string boardRow(int n, int score, int daysAgo = 0)
{
    const std::string id = boardUser(n).toStdString();
    return "insert into auth.users (id) values ('" + id + "') on conflict do nothing; " +
           "insert into public.profiles values ('" + id + "', " +
           (n == 2 ? "'<b>Bold</b>'" : "'user " + std::to_string(n) + "'") +
           ", null); insert into public.scores values ('" + id + "', " + std::to_string(score) + ", 1, null, " +
           std::to_string(score * 10) + ", " + std::to_string(score * 20) + ", 100000, 0, 0, 0, 0, 0, 0, now() - " +
           std::to_string(daysAgo) + " * interval '1 day')";
}

} // namespace

TEST_F(ScoresTableTest, TheBoardRanksTiesTogetherCountsOnlyItsPeriodAndGivesTheOwnPlace)
{
    const int scores[] = {90, 80, 80, 70, 60, 50, 40, 30, 20, 10, 5};
    for (int n = 1; n <= 11; ++n)
        ASSERT_EQ(database->sql(boardRow(n, scores[n - 1])).error, "");
    // Synced eight days ago: on the all-time list, on neither this week's nor today's.
    ASSERT_EQ(database->sql(boardRow(12, 99, 8)).error, "");

    const BackendUser third{boardUser(3), std::nullopt};
    TestBackend reader(database.get());
    storedSession(third, 3600, &reader);
    auto auth = account(reader);
    const auto board = await<LeaderboardFetch::Result>([&](auto done) { LeaderboardFetch::fetch(*auth, done); });
    ASSERT_TRUE(std::holds_alternative<Leaderboard>(board)) << std::get<AuthError>(board).description().toStdString();
    const Leaderboard& b = std::get<Leaderboard>(board);

    QList<int64_t> ranks;
    for (const BoardEntry& e : b.score.top)
        ranks << e.rank;
    EXPECT_EQ(ranks, (QList<int64_t>{1, 2, 3, 3, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(b.score.top[0], (BoardEntry{1, QStringLiteral("user 12"), 99}));
    EXPECT_EQ(b.score.top[2], (BoardEntry{3, QStringLiteral("<b>Bold</b>"), 80})) << "names come back as text";
    EXPECT_EQ(b.score.me, (BoardStanding{3, 12, 80}));
    EXPECT_EQ(b.week.top[0], (BoardEntry{1, QStringLiteral("user 1"), 1800}));
    EXPECT_EQ(b.week.me, (BoardStanding{2, 11, 1600}));
    EXPECT_EQ(b.today.top.size(), 10);
    EXPECT_EQ(b.today.of, 11);
    EXPECT_EQ(b.today.me, (BoardStanding{2, 11, 800}));

    // The last of eleven below ten others and the stale row: its own place, off the top ten.
    ASSERT_EQ(
        database->sql("update public.scores set korvel_score = 5 where user_id = '" + boardUser(3).toStdString() + "'")
            .error,
        "");
    const auto moved = await<LeaderboardFetch::Result>([&](auto done) { LeaderboardFetch::fetch(*auth, done); });
    EXPECT_EQ(std::get<Leaderboard>(moved).score.me, (BoardStanding{11, 12, 5})) << "equal scores share the place";

    auth->signOut();
    const auto anonymous = await<LeaderboardFetch::Result>([&](auto done) { LeaderboardFetch::fetch(*auth, done); });
    const Leaderboard& a = std::get<Leaderboard>(anonymous);
    EXPECT_FALSE(a.score.me || a.week.me || a.today.me);
    EXPECT_EQ(a.score.top, std::get<Leaderboard>(moved).score.top);

    Prefs::setFlag(PrefKey::PrivateMode, true);
    const qsizetype asked = reader.requests().size();
    const auto refused = await<LeaderboardFetch::Result>([&](auto done) { LeaderboardFetch::fetch(*auth, done); });
    EXPECT_EQ(std::get<AuthError>(refused).description(),
              QStringLiteral("Private mode is on \u2014 nothing leaves this computer"));
    EXPECT_EQ(reader.requests().size(), asked) << "private mode sends nothing";
}

TEST_F(ScoresTableTest, TheProfileGoesWithTheScoreRowAndOnlyItsOwnerWritesIt)
{
    TestBackend live(database.get());
    BackendUser ada = kAda;
    ada.metadata = {{"full_name", "Ada Lovelace"}, {"user_name", "ada-l"}, {"avatar_url", "https://img.example/a.png"}};
    auto auth = account(live);
    live.setAuthorizeUser(ada);
    ASSERT_TRUE(auth->beginOAuth(QStringLiteral("github")));
    ASSERT_EQ(handle(*auth, live.followAuthorize(lastOpened()).value_or(QUrl())), AuthResult());
    ASSERT_EQ(syncNow(*auth, sampleStats()), AuthResult());
    EXPECT_EQ(value("select display_name || ' ' || avatar_url from public.profiles"),
              "ada-l https://img.example/a.png");
    EXPECT_EQ(value("select display_name from public.leaderboard"), "ada-l");

    ASSERT_EQ(await<AuthResult>([&](auto done) { StatsSync::leave(*auth, done); }), AuthResult());
    EXPECT_EQ(value("select (select count(*) from public.scores) + (select count(*) from public.profiles)"), "0");

    const std::string grace = "'" + kGrace.id.toStdString() + "'";
    const std::string adaId = "'" + kAda.id.toStdString() + "'";
    expectRefused(&kGrace, "insert into public.profiles values (" + adaId + ", 'not ada', null)", "row-level security");
    for (const char* refused : {"'http://img.example/g.png'", "'javascript:alert(1)'"})
        expectRefused(&kGrace,
                      "insert into public.profiles values (" + grace + ", 'grace', " + std::string(refused) + ")",
                      "profiles_avatar_https");
    expectRefused(&kGrace, "insert into public.profiles values (" + grace + ", repeat('g', 40), null)",
                  "profiles_name_length");
    expectRefused(&kGrace, "insert into public.profiles values (" + grace + ", e'gr\\nace', null)",
                  "profiles_name_printable");
    EXPECT_EQ(error(&kGrace, "insert into public.profiles values (" + grace + ", 'grace', null)"), "");
    expectRefused(nullptr, "delete from public.profiles", "permission denied");
    for (const BackendUser* who : {static_cast<const BackendUser*>(nullptr), &kGrace}) {
        expectRefused(who, "delete from public.board_counts", "permission denied");
        expectRefused(who, "select public.board_counts_rebuild()", "permission denied");
    }
}
