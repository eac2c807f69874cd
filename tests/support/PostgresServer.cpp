#include "tests/support/PostgresServer.h"

#include "tests/support/RunProgram.h"

#include <QJsonDocument>
#include <QStringList>
#include <algorithm>
#include <filesystem>
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

PostgresServer::Answer PostgresServer::upsertScore(const QJsonObject& row, const QString& subject, bool merge) const
{
    PGconn* conn = PQconnectdb(connectionString().c_str());
    if (PQstatus(conn) != CONNECTION_OK) {
        PQfinish(conn);
        return {503, R"({"code":"PGRST000","message":"no database connection"})"};
    }
    QStringList names;
    QStringList updates;
    for (const QString& key : row.keys()) {
        const QByteArray utf8 = key.toUtf8();
        char* quoted = PQescapeIdentifier(conn, utf8.constData(), static_cast<size_t>(utf8.size()));
        names << QString::fromUtf8(quoted);
        updates << names.last() + QStringLiteral(" = excluded.") + names.last();
        PQfreemem(quoted);
    }
    QString sql = QStringLiteral("insert into public.scores (%1) select %1 from json_populate_record("
                                 "null::public.scores, $1::json)")
                      .arg(names.join(u','));
    if (merge)
        sql += QStringLiteral(" on conflict (user_id) do update set ") + updates.join(u',');
    const QByteArray claims = QJsonDocument(QJsonObject{{"sub", subject}, {"role", "authenticated"}}).toJson();
    const QByteArray body = QJsonDocument(row).toJson();
    const char* claimParams[] = {claims.constData()};
    const char* rowParams[] = {body.constData()};
    PQclear(PQexec(conn, "begin; set local role authenticated"));
    PQclear(PQexecParams(conn, "select set_config('request.jwt.claims', $1, true)", 1, nullptr, claimParams, nullptr,
                         nullptr, 0));
    PGresult* result = PQexecParams(conn, sql.toUtf8().constData(), 1, nullptr, rowParams, nullptr, nullptr, 0);
    Answer answer{201, {}};
    if (PQresultStatus(result) != PGRES_COMMAND_OK) {
        // PostgREST's statuses for what a table write raises: a taken key, a refused policy, anything else.
        const QString state = QString::fromLatin1(PQresultErrorField(result, PG_DIAG_SQLSTATE));
        const int status = state == QLatin1String("23505") ? 409 : state == QLatin1String("42501") ? 403 : 400;
        const QJsonObject error{{"code", state},
                                {"message", QString::fromUtf8(PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY))}};
        answer = {status, QJsonDocument(error).toJson(QJsonDocument::Compact)};
    }
    PQclear(result);
    PQclear(PQexec(conn, answer.status == 201 ? "commit" : "rollback"));
    PQfinish(conn);
    return answer;
}
