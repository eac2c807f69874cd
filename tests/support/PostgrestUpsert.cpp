#include "tests/support/PostgrestUpsert.h"

#include <QJsonDocument>
#include <libpq-fe.h>

namespace {

QByteArray errorBody(const QString& code, const QString& message, const char* details = nullptr,
                     const char* hint = nullptr)
{
    const auto textOrNull = [](const char* s) { return s ? QJsonValue(QString::fromUtf8(s)) : QJsonValue(); };
    return QJsonDocument(QJsonObject{{QStringLiteral("code"), code},
                                     {QStringLiteral("message"), message},
                                     {QStringLiteral("details"), textOrNull(details)},
                                     {QStringLiteral("hint"), textOrNull(hint)}})
        .toJson(QJsonDocument::Compact);
}

// PostgREST's mapping of SQL states to HTTP statuses, for the states a table write can raise.
int statusOf(const QString& state)
{
    if (state == QLatin1String("23503") || state == QLatin1String("23505"))
        return 409;
    if (state == QLatin1String("42501"))
        return 403;
    if (state.startsWith(QLatin1String("08")) || state.startsWith(QLatin1String("53")))
        return 503;
    for (const char* prefix : {"25", "40", "55", "57", "58", "XX"})
        if (state.startsWith(QLatin1String(prefix)))
            return 500;
    return 400;
}

} // namespace

PostgrestUpsert::PostgrestUpsert(std::string connectionString) : m_connectionString(std::move(connectionString)) {}

PostgrestUpsert::~PostgrestUpsert()
{
    if (m_last)
        PQclear(m_last);
    if (m_conn)
        PQfinish(m_conn);
}

bool PostgrestUpsert::connect()
{
    if (m_conn && PQstatus(m_conn) == CONNECTION_OK)
        return true;
    if (m_conn)
        PQfinish(m_conn);
    m_conn = PQconnectdb(m_connectionString.c_str());
    return PQstatus(m_conn) == CONNECTION_OK;
}

QString PostgrestUpsert::identifier(const QString& name) const
{
    const QByteArray utf8 = name.toUtf8();
    char* quoted = PQescapeIdentifier(m_conn, utf8.constData(), static_cast<size_t>(utf8.size()));
    const QString out = QString::fromUtf8(quoted);
    PQfreemem(quoted);
    return out;
}

QStringList PostgrestUpsert::queryColumn(const char* sql, const QString& table)
{
    const QByteArray name = table.toUtf8();
    const char* params[] = {name.constData()};
    PGresult* result = PQexecParams(m_conn, sql, 1, nullptr, params, nullptr, nullptr, 0);
    QStringList out;
    for (int i = 0; i < PQntuples(result); ++i)
        out.append(QString::fromUtf8(PQgetvalue(result, i, 0)));
    PQclear(result);
    return out;
}

QStringList PostgrestUpsert::columns(const QString& table)
{
    return queryColumn("select column_name from information_schema.columns "
                       "where table_schema = 'public' and table_name = $1",
                       table);
}

QStringList PostgrestUpsert::primaryKey(const QString& table)
{
    return queryColumn("select a.attname from pg_index i join pg_attribute a "
                       "on a.attrelid = i.indrelid and a.attnum = any(i.indkey) "
                       "where i.indisprimary and i.indrelid = ('public.' || quote_ident($1))::regclass",
                       table);
}

PostgrestUpsert::Answer PostgrestUpsert::failure() const
{
    const char* state = PQresultErrorField(m_last, PG_DIAG_SQLSTATE);
    const char* message = PQresultErrorField(m_last, PG_DIAG_MESSAGE_PRIMARY);
    const QString code = QString::fromLatin1(state ? state : "XX000");
    return {statusOf(code), errorBody(code, QString::fromUtf8(message ? message : PQerrorMessage(m_conn)),
                                      PQresultErrorField(m_last, PG_DIAG_MESSAGE_DETAIL),
                                      PQresultErrorField(m_last, PG_DIAG_MESSAGE_HINT))};
}

PostgrestUpsert::Answer PostgrestUpsert::run(const QString& table, const QJsonObject& row, const QString& subject,
                                             bool merge)
{
    if (!connect())
        return {503, errorBody(QStringLiteral("PGRST000"), QString::fromUtf8(PQerrorMessage(m_conn)))};
    const QStringList known = columns(table);
    if (known.isEmpty())
        return {404,
                errorBody(QStringLiteral("42P01"), QStringLiteral("relation \"public.%1\" does not exist").arg(table))};
    QStringList names;
    QStringList updates;
    for (const QString& key : row.keys()) {
        if (!known.contains(key))
            return {400,
                    errorBody(
                        QStringLiteral("PGRST204"),
                        QStringLiteral("Could not find the '%1' column of '%2' in the schema cache").arg(key, table))};
        names.append(identifier(key));
        updates.append(identifier(key) + QStringLiteral(" = excluded.") + identifier(key));
    }
    QStringList conflict;
    for (const QString& key : primaryKey(table))
        conflict.append(identifier(key));
    const QString target = QStringLiteral("public.") + identifier(table);
    QString sql = QStringLiteral("insert into %1 (%2) select %2 from json_populate_record(null::%1, $1::json)")
                      .arg(target, names.join(u','));
    if (merge)
        sql += QStringLiteral(" on conflict (%1) do update set %2").arg(conflict.join(u','), updates.join(u','));

    const QByteArray claims = QJsonDocument(QJsonObject{{QStringLiteral("sub"), subject},
                                                        {QStringLiteral("role"), QStringLiteral("authenticated")}})
                                  .toJson(QJsonDocument::Compact);
    const QByteArray body = QJsonDocument(row).toJson(QJsonDocument::Compact);
    const QByteArray statement = sql.toUtf8();
    const char* claimParams[] = {claims.constData()};
    const char* rowParams[] = {body.constData()};

    PQclear(PQexec(m_conn, "begin"));
    PQclear(PQexec(m_conn, "set local role authenticated"));
    PQclear(PQexecParams(m_conn, "select set_config('request.jwt.claims', $1, true)", 1, nullptr, claimParams, nullptr,
                         nullptr, 0));
    if (m_last)
        PQclear(m_last);
    m_last = PQexecParams(m_conn, statement.constData(), 1, nullptr, rowParams, nullptr, nullptr, 0);
    const bool ok = PQresultStatus(m_last) == PGRES_COMMAND_OK;
    const Answer answer = ok ? Answer{201, {}} : failure();
    PQclear(PQexec(m_conn, ok ? "commit" : "rollback"));
    return answer;
}
