#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <string>

typedef struct pg_conn PGconn;

/// Runs an upsert the way PostgREST does for "POST /rest/v1/TABLE" with "Prefer: resolution=merge-duplicates": in
/// one transaction as the role authenticated with the token's claims in request.jwt.claims, an INSERT of the
/// object's members with ON CONFLICT on the primary key DO UPDATE. Failures come back as PostgREST answers them.
/// One instance per thread.
class PostgrestUpsert
{
public:
    struct Answer
    {
        int status = 0;
        QByteArray body;
    };

    explicit PostgrestUpsert(std::string connectionString);
    ~PostgrestUpsert();
    PostgrestUpsert(const PostgrestUpsert&) = delete;
    PostgrestUpsert& operator=(const PostgrestUpsert&) = delete;

    /// row into public.table as the user subject; merge false makes a plain insert.
    Answer run(const QString& table, const QJsonObject& row, const QString& subject, bool merge);

private:
    bool connect();
    QStringList columns(const QString& table);
    QStringList primaryKey(const QString& table);
    QStringList queryColumn(const char* sql, const QString& table);
    Answer failure() const;
    QString identifier(const QString& name) const;

    std::string m_connectionString;
    PGconn* m_conn = nullptr;
    struct pg_result* m_last = nullptr;
};
