#pragma once

#include "tests/support/TempDir.h"

#include <string>
#include <vector>

/// A private PostgreSQL server for one test program: its own cluster in a temporary folder, reachable only through
/// a Unix socket there (no TCP), stopped and removed on destruction. As root the server runs as the user postgres,
/// since PostgreSQL refuses to run as root.
class PostgresServer
{
public:
    PostgresServer();
    ~PostgresServer();
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

    /// False when PostgreSQL is not installed or did not start; problem() then says why.
    bool running() const { return m_running; }
    const std::string& problem() const { return m_problem; }

    /// A libpq connection string for the superuser "postgres" and database "postgres".
    std::string connectionString() const;

    /// What one call of sql() gave: the error message (empty on success) and the first cell of the last result.
    struct Result
    {
        std::string error;
        std::string value;
        bool ok() const { return error.empty(); }
    };

    /// Runs one or more statements on a new connection as the superuser (use "set local role" inside a transaction
    /// to act as another role).
    Result sql(const std::string& statements) const;

private:
    bool run(const std::string& program, const std::vector<std::string>& args);

    TempDir m_dir;
    std::string m_bin;
    bool m_asPostgres = false;
    bool m_running = false;
    std::string m_problem;
};
