#include "tests/support/PostgresServer.h"

#include "tests/support/RunProgram.h"

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
    std::vector<fs::path> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/usr/lib/postgresql", ec))
        if (fs::exists(entry.path() / "bin" / "pg_ctl"))
            found.push_back(entry.path() / "bin");
    std::sort(found.begin(), found.end(), [](const fs::path& a, const fs::path& b) {
        return std::stoi(a.parent_path().filename().string()) < std::stoi(b.parent_path().filename().string());
    });
    return found.empty() ? std::string() : found.back().string();
}

void chownTree(const std::string& path, uid_t uid, gid_t gid)
{
    if (::chown(path.c_str(), uid, gid) != 0)
        return;
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(path, ec))
        [[maybe_unused]] const int rc = ::chown(entry.path().c_str(), uid, gid);
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
        const passwd* pg = ::getpwnam("postgres");
        if (!pg) {
            m_problem = "running as root, but there is no user postgres to run the server as";
            return;
        }
        chownTree(m_dir.path(), pg->pw_uid, pg->pw_gid);
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
