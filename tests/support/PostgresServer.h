#pragma once

#include "tests/support/TempDir.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
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

    /// What one call of sql() gave: the error message (empty on success) and the first cell of the last result.
    struct Result
    {
        std::string error;
        std::string value;
        bool ok() const { return error.empty(); }
    };

    /// Runs statements on a new connection as the superuser ("set local role" inside a transaction acts as another).
    Result sql(const std::string& statements) const;
    /// Makes the database a Supabase project with the leaderboard of backend/ (scores, profiles, the board) and
    /// these users; the first error, or empty on success.
    std::string createScoresTable(const std::string& sourceDir, const std::vector<QString>& userIds) const;

    /// What PostgREST would answer: an HTTP status and body.
    struct Answer
    {
        int status = 0;
        QByteArray body;
    };

    /// Runs "POST /rest/v1/TABLE" as PostgREST does: in one transaction as the role authenticated with subject in
    /// request.jwt.claims, an INSERT of row's members, ON CONFLICT (user_id) DO UPDATE when merge is set.
    Answer upsert(const QString& table, const QJsonObject& row, const QString& subject, bool merge) const;
    /// Runs "DELETE /rest/v1/TABLE?user_id=eq.USER" the same way: rows that the policies hide are not deleted, and
    /// that is no error (204 either way).
    Answer remove(const QString& table, const QString& userId, const QString& subject) const;
    /// Runs "POST /rest/v1/rpc/board" with the publishable key alone, as the role anon: the board's JSON.
    Answer board(const QJsonObject& arguments) const;

private:
    /// One statement with one text parameter in a transaction as the role authenticated with subject in the claims;
    /// on success the answer is status, else PostgREST's error for what the statement raised.
    Answer asRole(const char* role, const QString& subject, const QByteArray& statement, const QByteArray& parameter,
                  int status) const;
    std::string connectionString() const;
    bool run(const std::string& program, const std::vector<std::string>& args);

    TempDir m_dir;
    std::string m_bin;
    bool m_asPostgres = false;
    bool m_running = false;
    std::string m_problem;
};
