#include "tests/support/PostgresServer.h"

#include "tests/support/RunProgram.h"

#include <QJsonDocument>
#include <QStringList>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <libpq-fe.h>
#include <pwd.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Debian keeps the server programs out of PATH, under /usr/lib/postgresql/VERSION/bin; the newest one wins.
std::string serverBinDir()
{
    int newest = 0;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/usr/lib/postgresql", ec))
        if (fs::exists(entry.path() / "bin" / "pg_ctl"))
            newest = std::max(newest, std::atoi(entry.path().filename().c_str()));
    return newest ? "/usr/lib/postgresql/" + std::to_string(newest) + "/bin" : std::string();
}

} // namespace

PostgresServer::PostgresServer() : m_bin(serverBinDir())
{
    if (m_bin.empty()) {
        m_problem = "PostgreSQL is not installed (no /usr/lib/postgresql/*/bin/pg_ctl)";
        return;
    }
    m_dir.mkdir("sock");
    if (::geteuid() == 0) {
        if (!::getpwnam("postgres")) {
            m_problem = "running as root, but there is no user postgres to run the server as";
            return;
        }
        runProgram("/bin/chown", {"-R", "postgres:postgres", m_dir.path()}, {});
        m_asPostgres = true;
    }
    const std::string data = m_dir.path() + "/data";
    if (!run(m_bin + "/initdb", {"-D", data, "-U", "postgres", "-A", "trust", "-E", "UTF8", "--locale=C", "--no-sync"}))
        return;
    const std::string options = "-k " + m_dir.path() + "/sock -c listen_addresses= -c fsync=off";
    if (!run(m_bin + "/pg_ctl", {"-D", data, "-l", m_dir.path() + "/server.log", "-w", "-o", options, "start"}))
        return;
    m_running = true;
}

PostgresServer::~PostgresServer()
{
    if (m_running)
        run(m_bin + "/pg_ctl", {"-D", m_dir.path() + "/data", "-m", "immediate", "-w", "stop"});
}

bool PostgresServer::run(const std::string& program, const std::vector<std::string>& args)
{
    std::vector<std::string> argv = args;
    std::string binary = program;
    if (m_asPostgres) {
        argv.insert(argv.begin(), {"--reuid=postgres", "--regid=postgres", "--clear-groups", program});
        binary = "/usr/bin/setpriv";
    }
    const ProgramResult result = runProgram(binary, argv, {"PATH=/usr/bin:/bin", "LANG=C", "LC_ALL=C"});
    if (result.status != 0)
        m_problem = program + " failed (" + std::to_string(result.status) + "): " + result.out + result.err;
    return result.status == 0;
}

std::string PostgresServer::connectionString() const
{
    return "host=" + m_dir.path() + "/sock dbname=postgres user=postgres";
}

PostgresServer::Result PostgresServer::sql(const std::string& statements) const
{
    PGconn* conn = PQconnectdb(connectionString().c_str());
    Result out;
    if (PQstatus(conn) != CONNECTION_OK) {
        out.error = PQerrorMessage(conn);
    } else {
        PGresult* result = PQexec(conn, statements.c_str());
        const ExecStatusType status = PQresultStatus(result);
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
            out.error = PQresultErrorMessage(result);
        else if (PQntuples(result) > 0 && PQnfields(result) > 0)
            out.value = PQgetvalue(result, 0, 0);
        PQclear(result);
    }
    PQfinish(conn);
    return out;
}

std::string PostgresServer::createScoresTable(const std::string& sourceDir, const std::vector<QString>& userIds) const
{
    if (!m_running)
        return m_problem;
    for (const char* file : {"/tests/sync/supabase-shape.sql", "/backend/scores.sql", "/backend/profiles.sql",
                             "/backend/leaderboard.sql"}) {
        std::ifstream in(sourceDir + file);
        const std::string statements((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (const Result result = sql(statements); !in || !result.ok())
            return sourceDir + file + ": " + (in ? result.error : "unreadable");
    }
    for (const QString& id : userIds)
        if (const Result result = sql("insert into auth.users (id) values ('" + id.toStdString() + "')"); !result.ok())
            return result.error;
    return {};
}

namespace {

// Tables and keys come from the request: quoted as identifiers, as PostgREST quotes them.
QString identifier(const QString& name)
{
    return u'"' + QString(name).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

} // namespace

PostgresServer::Answer PostgresServer::upsert(const QString& table, const QJsonObject& row, const QString& subject,
                                              bool merge) const
{
    QStringList names;
    QStringList updates;
    for (const QString& key : row.keys()) {
        names << identifier(key);
        updates << names.last() + QStringLiteral(" = excluded.") + names.last();
    }
    const QString target = QStringLiteral("public.") + identifier(table);
    QString sql = QStringLiteral("insert into %1 (%2) select %2 from json_populate_record(null::%1, $1::json)")
                      .arg(target, names.join(u','));
    if (merge)
        sql += QStringLiteral(" on conflict (user_id) do update set ") + updates.join(u',');
    return asRole("authenticated", subject, sql.toUtf8(), QJsonDocument(row).toJson(), 201);
}

PostgresServer::Answer PostgresServer::remove(const QString& table, const QString& userId, const QString& subject) const
{
    const QString sql = QStringLiteral("delete from public.%1 where user_id = $1::uuid").arg(identifier(table));
    return asRole("authenticated", subject, sql.toUtf8(), userId.toUtf8(), 204);
}

PostgresServer::Answer PostgresServer::board(const QJsonObject& arguments) const
{
    return asRole("anon", {}, "select public.board(($1::json ->> 'me')::uuid)", QJsonDocument(arguments).toJson(), 200);
}

PostgresServer::Answer PostgresServer::asRole(const char* role, const QString& subject, const QByteArray& statement,
                                              const QByteArray& parameter, int status) const
{
    PGconn* conn = PQconnectdb(connectionString().c_str());
    if (PQstatus(conn) != CONNECTION_OK) {
        PQfinish(conn);
        return {503, R"({"code":"PGRST000","message":"no database connection"})"};
    }
    const QByteArray claims = QJsonDocument(QJsonObject{{"sub", subject}, {"role", role}}).toJson();
    const char* claimParams[] = {claims.constData()};
    const char* params[] = {parameter.constData()};
    PQclear(PQexec(conn, (std::string("begin; set local role ") + role).c_str()));
    PQclear(PQexecParams(conn, "select set_config('request.jwt.claims', $1, true)", 1, nullptr, claimParams, nullptr,
                         nullptr, 0));
    PGresult* result = PQexecParams(conn, statement.constData(), 1, nullptr, params, nullptr, nullptr, 0);
    Answer answer{status, {}};
    const ExecStatusType outcome = PQresultStatus(result);
    if (outcome == PGRES_TUPLES_OK && PQntuples(result) > 0) {
        answer.body = QByteArray(PQgetvalue(result, 0, 0));
    } else if (outcome != PGRES_COMMAND_OK) {
        // PostgREST's statuses for what a table write raises: a taken key, a refused policy, anything else.
        const QString state = QString::fromLatin1(PQresultErrorField(result, PG_DIAG_SQLSTATE));
        const int failed = state == QLatin1String("23505") ? 409 : state == QLatin1String("42501") ? 403 : 400;
        const QJsonObject error{{"code", state},
                                {"message", QString::fromUtf8(PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY))}};
        answer = {failed, QJsonDocument(error).toJson(QJsonDocument::Compact)};
    }
    PQclear(result);
    PQclear(PQexec(conn, answer.status == status ? "commit" : "rollback"));
    PQfinish(conn);
    return answer;
}
