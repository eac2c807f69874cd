// The leaderboard table of backend/scores.sql on a real PostgreSQL shaped like a Supabase project: its access
// rules and plausibility checks directly in SQL, and Korvel's own upsert through the local backend acting as
// PostgREST.

#include "sync/StatsSync.h"
#include "tests/support/PostgresServer.h"
#include "tests/sync/AccountFixture.h"

#include <QDateTime>
#include <QJsonDocument>
#include <fstream>
#include <map>
#include <sstream>

namespace {

std::string sourceFile(const std::string& relative)
{
    std::ifstream in(std::string(KORVEL_SOURCE_DIR) + "/" + relative);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string claims(const BackendUser& user)
{
    return "select set_config('request.jwt.claims', '{\"sub\":\"" + user.id.toStdString() +
           "\",\"role\":\"authenticated\"}', true);";
}

// One statement in a transaction as PostgREST runs a request: as the user, or as the anonymous role. A query ends
// the text, so that its first cell is what comes back; the transaction then simply ends with the connection.
std::string as(const BackendUser& user, const std::string& statement, bool query = false)
{
    return "begin; set local role authenticated; " + claims(user) + statement + (query ? ";" : "; commit;");
}

std::string asAnonymous(const std::string& statement, bool query = false)
{
    return "begin; set local role anon; " + statement + (query ? ";" : "; commit;");
}

using Columns = std::map<std::string, std::string>;

// An insert of a plausible row for user, with some columns replaced.
std::string insertRow(const BackendUser& user, const Columns& changes = {}, const std::string& conflict = "")
{
    Columns row{{"user_id", "'" + user.id.toStdString() + "'"},
                {"korvel_score", "41"},
                {"streak", "6"},
                {"top_model", "'claude-opus-4-6'"},
                {"lines_today", "120"},
                {"lines_week", "700"},
                {"lines_all", "1200"},
                {"cost_today", "1.25"},
                {"cost_week", "7.5"},
                {"cost_all", "20.125"},
                {"tokens_today", "3000"},
                {"tokens_week", "21000"},
                {"tokens_all", "45678"},
                {"last_synced", "now()"}};
    for (const auto& [column, value] : changes)
        row[column] = value;
    std::string names;
    std::string values;
    for (const auto& [column, value] : row) {
        names += (names.empty() ? "" : ",") + column;
        values += (values.empty() ? "" : ",") + value;
    }
    return "insert into public.scores (" + names + ") values (" + values + ") " + conflict;
}

class ScoresTableTest : public AccountFixture
{
protected:
    static inline std::unique_ptr<PostgresServer> database;
    static inline std::string setUpError;

    static void SetUpTestSuite()
    {
        database = std::make_unique<PostgresServer>();
        if (!database->running())
            return;
        for (const char* file : {"tests/sync/supabase-shape.sql", "backend/scores.sql"})
            if (const auto r = database->sql(sourceFile(file)); !r.ok())
                setUpError += std::string(file) + ": " + r.error;
        for (const BackendUser& user : {kAda, kGrace})
            database->sql("insert into auth.users (id) values ('" + user.id.toStdString() + "')");
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

    std::string value(const std::string& select) { return database->sql(select).value; }
};

} // namespace

TEST_F(ScoresTableTest, OwnersWriteTheirRowAndEveryoneReadsIt)
{
    EXPECT_EQ(database->sql(as(kAda, insertRow(kAda))).error, "");
    const std::string merge = "on conflict (user_id) do update set korvel_score = excluded.korvel_score";
    EXPECT_EQ(database->sql(as(kAda, insertRow(kAda, {{"korvel_score", "57"}}, merge))).error, "");
    EXPECT_EQ(value("select korvel_score from public.scores"), "57");
    EXPECT_EQ(database->sql(as(kAda, "update public.scores set streak = 7")).error, "");
    EXPECT_EQ(value("select streak from public.scores"), "7");

    EXPECT_EQ(database->sql(asAnonymous("select count(*) from public.scores", true)).value, "1");
    EXPECT_EQ(database->sql(as(kGrace, "select count(*) from public.scores", true)).value, "1");
}

TEST_F(ScoresTableTest, NobodyElseWritesItAndNobodyDeletes)
{
    ASSERT_TRUE(database->sql(as(kAda, insertRow(kAda))).ok());
    const std::string rls = "new row violates row-level security policy for table \"scores\"";
    EXPECT_NE(database->sql(as(kGrace, insertRow(kAda))).error.find(rls), std::string::npos);
    EXPECT_NE(database->sql(as(kGrace, insertRow(kAda, {}, "on conflict (user_id) do update set streak = 0")))
                  .error.find(rls),
              std::string::npos);
    EXPECT_EQ(database->sql(as(kGrace, "update public.scores set korvel_score = 99")).error, "")
        << "another user's row is simply not there to update";
    ASSERT_TRUE(database->sql(as(kGrace, insertRow(kGrace))).ok());
    EXPECT_NE(database
                  ->sql(as(kGrace, "update public.scores set user_id = '" + kAda.id.toStdString() +
                                       "' where user_id = '" + kGrace.id.toStdString() + "'"))
                  .error.find("row-level security"),
              std::string::npos);
    EXPECT_EQ(value("select korvel_score from public.scores where user_id = '" + kAda.id.toStdString() + "'"), "41");

    for (const std::string& statement :
         {std::string("delete from public.scores"), std::string("truncate public.scores")})
        EXPECT_NE(database->sql(as(kAda, statement)).error.find("permission denied"), std::string::npos) << statement;
    for (const std::string& statement : {insertRow(kAda), std::string("update public.scores set streak = 0")})
        EXPECT_NE(database->sql(asAnonymous(statement)).error.find("permission denied"), std::string::npos)
            << statement;
    EXPECT_EQ(value("select count(*) from public.scores"), "2");
}

TEST_F(ScoresTableTest, ImplausibleRowsAreRefused)
{
    const Columns refused[] = {
        {{"korvel_score", "100"}},
        {{"korvel_score", "-1"}},
        {{"streak", "10001"}},
        {{"streak", "-1"}},
        {{"lines_today", "-1"}},
        {{"lines_today", "701"}},
        {{"lines_week", "1201"}},
        {{"cost_today", "-0.01"}},
        {{"cost_today", "8.5"}},
        {{"cost_week", "21.125"}},
        {{"cost_all", "'NaN'"}, {"cost_week", "'NaN'"}, {"cost_today", "'NaN'"}},
        {{"tokens_today", "-5"}},
        {{"tokens_week", "45679"}},
        {{"tokens_all", "'Infinity'"}},
        {{"last_synced", "now() + interval '11 minutes'"}},
        {{"top_model", "repeat('x', 201)"}},
    };
    for (const Columns& changes : refused) {
        const auto result = database->sql(as(kAda, insertRow(kAda, changes)));
        EXPECT_NE(result.error.find("violates check constraint"), std::string::npos)
            << changes.begin()->first << " = " << changes.begin()->second << ": " << result.error;
    }
    const Columns accepted[] = {
        {{"cost_week", "20.125000000001"}},
        {{"last_synced", "now() + interval '9 minutes'"}},
        {{"top_model", "null"}, {"korvel_score", "0"}, {"streak", "0"}},
    };
    for (const Columns& changes : accepted) {
        EXPECT_EQ(database->sql(as(kAda, insertRow(kAda, changes, "on conflict (user_id) do nothing"))).error, "");
        ASSERT_TRUE(database->sql("delete from public.scores").ok());
    }
}

TEST_F(ScoresTableTest, KorvelsUpsertPassesTheTableRules)
{
    TestBackend backend(database.get());
    storedSession(backend, kAda);
    auto auth = account(backend);
    const auto sync = [&](AuthManager& a, const Stats& stats) {
        Awaited<AuthResult> done;
        StatsSync::syncNow(a, stats, done.callback());
        return done.get().value_or(AuthError::network(QStringLiteral("no completion")));
    };

    ASSERT_EQ(sync(*auth, sampleStats()), AuthResult());
    const QJsonObject row =
        QJsonDocument::fromJson(QByteArray::fromStdString(value("select row_to_json(s)::text from public.scores s")))
            .object();
    const QJsonObject sent = backend.requestsTo("POST /rest/v1/scores").last().json();
    for (const QString& key : sent.keys()) {
        if (key != QLatin1String("last_synced")) {
            EXPECT_EQ(row.value(key), sent.value(key)) << key.toStdString();
        }
    }
    EXPECT_EQ(QDateTime::fromString(row.value("last_synced").toString(), Qt::ISODate),
              QDateTime::fromString(sent.value("last_synced").toString(), Qt::ISODate));

    Stats more = sampleStats();
    more.linesAdded += 50;
    more.topModel.reset();
    ASSERT_EQ(sync(*auth, more), AuthResult()) << "a second sync merges into the same row";
    EXPECT_EQ(value("select count(*) || ' ' || lines_all || ' ' || coalesce(top_model, '-') from public.scores "
                    "group by lines_all, top_model"),
              "1 1250 -");

    Stats inconsistent = sampleStats();
    inconsistent.todayLinesAdded = inconsistent.weekLinesAdded + 1;
    EXPECT_EQ(sync(*auth, inconsistent),
              AuthError::server(400, QStringLiteral("new row for relation \"scores\" violates check constraint "
                                                    "\"scores_lines_ordered\"")));

    // A session naming another user than its token: the database, not the app, refuses the row.
    const AuthSession ada = *auth->session();
    store = std::make_shared<MemorySessionStore>(
        AuthSession{ada.accessToken, ada.refreshToken, ada.expiresAt, kGrace.id, std::nullopt});
    auto impostor = account(backend);
    EXPECT_EQ(sync(*impostor, sampleStats()),
              AuthError::server(403, QStringLiteral("new row violates row-level security policy for table "
                                                    "\"scores\"")));
    EXPECT_EQ(value("select count(*) from public.scores"), "1");
}
