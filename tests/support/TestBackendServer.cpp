#include "tests/support/TestBackendServer.h"

#include "tests/support/PostgrestUpsert.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>

namespace {

QByteArray json(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray randomText(int bytes)
{
    QByteArray raw(bytes, Qt::Uninitialized);
    for (char& c : raw)
        c = static_cast<char>(QRandomGenerator::global()->bounded(256));
    return raw.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

// Shaped like the backend's real tokens (a signed JWT) so that tests looking for leaks look for something real.
QString accessTokenFor(const BackendUser& user, qint64 expiresAt)
{
    const auto part = [](const QJsonObject& o) {
        return json(o).toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
    };
    const QByteArray header =
        part({{QStringLiteral("alg"), QStringLiteral("HS256")}, {QStringLiteral("typ"), QStringLiteral("JWT")}});
    const QByteArray claims = part({{QStringLiteral("sub"), user.id},
                                    {QStringLiteral("role"), QStringLiteral("authenticated")},
                                    {QStringLiteral("exp"), expiresAt},
                                    {QStringLiteral("session_id"), QString::fromLatin1(randomText(12))}});
    return QString::fromLatin1(header + '.' + claims + '.' + randomText(32));
}

QJsonObject userJson(const BackendUser& user)
{
    QJsonObject o{{QStringLiteral("id"), user.id},
                  {QStringLiteral("aud"), QStringLiteral("authenticated")},
                  {QStringLiteral("role"), QStringLiteral("authenticated")}};
    if (user.email)
        o.insert(QStringLiteral("email"), *user.email);
    return o;
}

QByteArray authError(int code, const char* errorCode, const QString& msg)
{
    return json({{QStringLiteral("code"), code},
                 {QStringLiteral("error_code"), QString::fromLatin1(errorCode)},
                 {QStringLiteral("msg"), msg}});
}

QByteArray restError(const char* code, const QString& message)
{
    return json({{QStringLiteral("code"), QString::fromLatin1(code)},
                 {QStringLiteral("details"), QJsonValue()},
                 {QStringLiteral("hint"), QJsonValue()},
                 {QStringLiteral("message"), message}});
}

QByteArray reason(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 201:
        return "Created";
    case 302:
        return "Found";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 409:
        return "Conflict";
    default:
        return "Status";
    }
}

} // namespace

IssuedSession TestBackendState::issueLocked(const BackendUser& user)
{
    IssuedSession session;
    session.user = user;
    session.expiresIn = 3600;
    session.accessToken = accessTokenFor(user, QDateTime::currentSecsSinceEpoch() + session.expiresIn);
    session.refreshToken = QString::fromLatin1(randomText(16));
    accessTokens.insert(session.accessToken, user);
    refreshTokens.insert(session.refreshToken, user);
    return session;
}

TestBackendServer::TestBackendServer(std::shared_ptr<TestBackendState> state, std::string databaseConnection)
    : m_state(std::move(state)), m_databaseConnection(std::move(databaseConnection))
{
}

TestBackendServer::~TestBackendServer() = default;

quint16 TestBackendServer::listen()
{
    m_server = new QTcpServer(this);
    connect(m_server, &QTcpServer::newConnection, this, &TestBackendServer::accept);
    return m_server->listen(QHostAddress::LocalHost, 0) ? m_server->serverPort() : 0;
}

void TestBackendServer::shutDown()
{
    if (m_server)
        m_server->close();
    for (QTcpSocket* socket : m_buffers.keys())
        socket->abort();
    m_database.reset();
}

void TestBackendServer::releaseHeld()
{
    for (const auto& [socket, answer] : std::exchange(m_held, {}))
        if (socket)
            respond(socket, answer);
}

void TestBackendServer::accept()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        m_buffers.insert(socket, {});
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_buffers.remove(socket);
            socket->deleteLater();
        });
    }
}

void TestBackendServer::read(QTcpSocket* socket)
{
    auto it = m_buffers.find(socket);
    if (it == m_buffers.end())
        return;
    it->append(socket->readAll());
    const auto request = parse(*it);
    if (!request)
        return;
    // One request per connection: the answer closes it.
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    {
        std::lock_guard lock(m_state->mutex);
        m_state->requests.append(*request);
    }
    const Answer answer = handle(*request);
    if (answer.never)
        return;
    if (answer.held) {
        m_held.append({socket, answer});
        return;
    }
    if (answer.delayMs > 0)
        QTimer::singleShot(answer.delayMs, socket, [this, socket, answer] { respond(socket, answer); });
    else
        respond(socket, answer);
}

std::optional<RecordedRequest> TestBackendServer::parse(QByteArray& buffer)
{
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0)
        return std::nullopt;
    const QList<QByteArray> lines = buffer.left(end).split('\n');
    const QList<QByteArray> start = lines.value(0).trimmed().split(' ');
    RecordedRequest request;
    request.method = start.value(0);
    const QByteArray target = start.value(1);
    const qsizetype question = target.indexOf('?');
    request.path = QString::fromUtf8(question < 0 ? target : target.left(question));
    request.query = question < 0 ? QString() : QString::fromUtf8(target.mid(question + 1));
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            request.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
    }
    const qsizetype length = request.header("Content-Length").toLongLong();
    if (buffer.size() < end + 4 + length)
        return std::nullopt;
    request.body = buffer.mid(end + 4, length);
    return request;
}

TestBackendServer::Answer TestBackendServer::handle(const RecordedRequest& request)
{
    std::optional<ScriptedAnswer> scripted;
    {
        std::lock_guard lock(m_state->mutex);
        auto it = m_state->scripts.find(request.route());
        if (it != m_state->scripts.end() && !it->isEmpty())
            scripted = it->takeFirst();
    }
    if (scripted && !scripted->held) {
        Answer answer(scripted->status, scripted->body);
        answer.delayMs = scripted->delayMs;
        answer.never = scripted->never;
        return answer;
    }
    Answer answer = route(request);
    answer.held = scripted.has_value();
    return answer;
}

TestBackendServer::Answer TestBackendServer::route(const RecordedRequest& request)
{
    const QString route = request.route();
    if (route == QLatin1String("GET /auth/v1/authorize"))
        return authorize(request);
    if (route == QLatin1String("GET /auth/v1/user"))
        return user(request);
    if (route == QLatin1String("POST /auth/v1/token"))
        return token(request);
    if (route == QLatin1String("POST /rest/v1/scores"))
        return upsert(request);
    return {404, restError("PGRST125", QStringLiteral("Invalid path specified in request URL"))};
}

TestBackendServer::Answer TestBackendServer::authorize(const RecordedRequest& request)
{
    const QUrlQuery query(request.query);
    const QString provider = query.queryItemValue(QStringLiteral("provider"), QUrl::FullyDecoded);
    const QString redirect = query.queryItemValue(QStringLiteral("redirect_to"), QUrl::FullyDecoded);
    if (provider != QLatin1String("github") && provider != QLatin1String("google"))
        return {400, authError(400, "validation_failed",
                               QStringLiteral("Unsupported provider: provider is not "
                                              "enabled"))};
    QString fragment;
    {
        std::lock_guard lock(m_state->mutex);
        // The authentication server writes its fragments form-encoded, spaces as plus signs.
        fragment = m_state->authorizeUser ? m_state->issueLocked(*m_state->authorizeUser).fragment()
                                          : QStringLiteral("error=access_denied&error_code=403&error_description="
                                                           "Denied+by+user");
    }
    return {302, {}, {{"Location", (redirect + u'#' + fragment).toUtf8()}}};
}

bool TestBackendServer::keyAccepted(const RecordedRequest& request) const
{
    return request.header("apikey") == TestBackend::kPublishableKey;
}

std::optional<BackendUser> TestBackendServer::bearer(const RecordedRequest& request) const
{
    const QByteArray authorization = request.header("Authorization");
    if (!authorization.startsWith("Bearer "))
        return std::nullopt;
    std::lock_guard lock(m_state->mutex);
    const auto it = m_state->accessTokens.constFind(QString::fromUtf8(authorization.mid(7)));
    return it == m_state->accessTokens.constEnd() ? std::nullopt : std::optional(*it);
}

TestBackendServer::Answer TestBackendServer::user(const RecordedRequest& request)
{
    if (!keyAccepted(request))
        return {401, json({{QStringLiteral("message"), QStringLiteral("Invalid API key")}})};
    const auto who = bearer(request);
    if (!who)
        return {401, authError(401, "bad_jwt", QStringLiteral("invalid JWT: unable to parse or verify signature"))};
    return {200, json(userJson(*who))};
}

TestBackendServer::Answer TestBackendServer::token(const RecordedRequest& request)
{
    if (!keyAccepted(request))
        return {401, json({{QStringLiteral("message"), QStringLiteral("Invalid API key")}})};
    if (request.query != QLatin1String("grant_type=refresh_token"))
        return {400, authError(400, "validation_failed", QStringLiteral("unsupported_grant_type"))};
    const QJsonValue refresh = request.json().value(QStringLiteral("refresh_token"));
    std::lock_guard lock(m_state->mutex);
    const auto it = m_state->refreshTokens.constFind(refresh.toString());
    if (!refresh.isString() || it == m_state->refreshTokens.constEnd())
        return {400, authError(400, "refresh_token_not_found",
                               QStringLiteral("Invalid Refresh Token: Refresh Token Not Found"))};
    // Refresh tokens are used once: the old one goes, the old access token stays valid until it expires.
    const BackendUser who = *it;
    m_state->refreshTokens.remove(refresh.toString());
    const IssuedSession session = m_state->issueLocked(who);
    return {200, json({{QStringLiteral("access_token"), session.accessToken},
                       {QStringLiteral("token_type"), QStringLiteral("bearer")},
                       {QStringLiteral("expires_in"), session.expiresIn},
                       {QStringLiteral("expires_at"), QDateTime::currentSecsSinceEpoch() + session.expiresIn},
                       {QStringLiteral("refresh_token"), session.refreshToken},
                       {QStringLiteral("user"), userJson(who)}})};
}

TestBackendServer::Answer TestBackendServer::upsert(const RecordedRequest& request)
{
    if (!keyAccepted(request))
        return {401, json({{QStringLiteral("message"), QStringLiteral("Invalid API key")}})};
    const auto who = bearer(request);
    if (!who)
        return {401, restError("PGRST301", QStringLiteral("JWSError JWSInvalidSignature"))};
    const QJsonDocument doc = QJsonDocument::fromJson(request.body);
    if (!doc.isObject() || !request.header("Content-Type").startsWith("application/json"))
        return {400, restError("PGRST102", QStringLiteral("Empty or invalid json"))};
    const QJsonObject row = doc.object();
    const bool merge = request.header("Prefer").contains("resolution=merge-duplicates");
    if (!m_databaseConnection.empty()) {
        if (!m_database)
            m_database = std::make_unique<PostgrestUpsert>(m_databaseConnection);
        const PostgrestUpsert::Answer answer = m_database->run(QStringLiteral("scores"), row, who->id, merge);
        return {answer.status, answer.body};
    }
    // Without a database, the table's ownership rule and key, kept in memory.
    const QString id = row.value(QStringLiteral("user_id")).toString();
    if (id != who->id)
        return {403, restError("42501", QStringLiteral("new row violates row-level security policy for table "
                                                       "\"scores\""))};
    std::lock_guard lock(m_state->mutex);
    if (!merge && m_state->rows.contains(id))
        return {409, restError("23505", QStringLiteral("duplicate key value violates unique constraint "
                                                       "\"scores_pkey\""))};
    QJsonObject& stored = m_state->rows[id];
    for (auto it = row.begin(); it != row.end(); ++it)
        stored.insert(it.key(), it.value());
    return {201, {}};
}

void TestBackendServer::respond(QTcpSocket* socket, const Answer& answer)
{
    QByteArray out = "HTTP/1.1 " + QByteArray::number(answer.status) + ' ' + reason(answer.status) + "\r\n";
    out += "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\nConnection: close\r\n";
    if (!answer.body.isEmpty())
        out += "Content-Type: application/json\r\n";
    for (const auto& [name, value] : answer.headers)
        out += name + ": " + value + "\r\n";
    socket->write(out + "\r\n" + answer.body);
    socket->disconnectFromHost();
}
