// The leaderboard table of backend/scores.sql on a real PostgreSQL shaped like a Supabase project: its access
// rules and plausibility checks directly in SQL, and Korvel's own upsert through the local backend acting as
// PostgREST.

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
        ASSERT_TRUE(database->sql("delete from public.scores").ok());
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
