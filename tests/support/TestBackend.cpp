#include "tests/support/TestBackend.h"

#include "tests/support/PostgresServer.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QPointer>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QUrlQuery>
#include <mutex>

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
QString accessTokenFor(const BackendUser& user)
{
    const auto part = [](const QJsonObject& o) {
        return json(o).toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
    };
    const QByteArray claims =
        part({{"sub", user.id}, {"role", "authenticated"}, {"session_id", randomText(12).data()}});
    return QString::fromLatin1(part({{"alg", "HS256"}, {"typ", "JWT"}}) + '.' + claims + '.' + randomText(32));
}

QJsonObject userJson(const BackendUser& user)
{
    QJsonObject o{{"id", user.id}, {"aud", "authenticated"}, {"role", "authenticated"}};
    if (user.email)
        o.insert("email", *user.email);
    o.insert("user_metadata", user.metadata);
    return o;
}

QByteArray authError(int code, const char* errorCode, const char* msg)
{
    return json({{"code", code}, {"error_code", errorCode}, {"msg", msg}});
}

struct Answer
{
    Answer(int status, QByteArray body = {}, QByteArray location = {})
        : status(status), body(std::move(body)), location(std::move(location))
    {
    }

    int status;
    QByteArray body;
    QByteArray location;
    QByteArray contentType = "application/json";
    int delayMs = 0;
    bool never = false;
    bool held = false;
};

const Answer kBadKey{401, R"({"message":"Invalid API key"})"};
const Answer kBadJwt{401, authError(401, "bad_jwt", "invalid JWT: unable to parse or verify signature")};

QString s256(const QString& verifier)
{
    return QString::fromLatin1(QCryptographicHash::hash(verifier.toUtf8(), QCryptographicHash::Sha256)
                                   .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

} // namespace

/// What the backend knows, shared between its thread and the test.
struct TestBackendState
{
    std::mutex mutex;
    QMap<QString, BackendUser> accessTokens;
    QMap<QString, BackendUser> refreshTokens;
    std::optional<BackendUser> authorizeUser;
    /// Codes handed out at authorize and not yet exchanged, with their user and challenge.
    QMap<QString, QPair<BackendUser, QString>> codes;
    QMap<QString, QList<ScriptedAnswer>> scripts;
    std::function<double()> now = [] { return static_cast<double>(QDateTime::currentSecsSinceEpoch()); };
    QList<RecordedRequest> requests;
    QString webFolder;

    /// Hands out a fresh session for user; the caller holds the mutex.
    IssuedSession issueLocked(const BackendUser& user)
    {
        const IssuedSession session{accessTokenFor(user), QString::fromLatin1(randomText(16)), 3600, user};
        accessTokens.insert(session.accessToken, user);
        refreshTokens.insert(session.refreshToken, user);
        return session;
    }
};

/// The HTTP/1.1 side of the test backend, living on the backend's thread: one request per connection.
class TestBackendServer : public QObject
{
public:
    TestBackendServer(std::shared_ptr<TestBackendState> state, const PostgresServer* database)
        : m_state(std::move(state)), m_database(database)
    {
    }

    quint16 listen()
    {
        connect(&m_server, &QTcpServer::newConnection, this, &TestBackendServer::accept);
        return m_server.listen(QHostAddress::LocalHost, 0) ? m_server.serverPort() : 0;
    }

    void releaseHeld()
    {
        for (const auto& [socket, answer] : std::exchange(m_held, {}))
            if (socket)
                respond(socket, answer);
    }

private:
    void accept()
    {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                m_buffers.remove(socket);
                socket->deleteLater();
            });
        }
    }

    void read(QTcpSocket* socket)
    {
        QByteArray& buffer = m_buffers[socket];
        buffer.append(socket->readAll());
        const auto request = parse(buffer);
        if (!request)
            return;
        // One request per connection: the answer closes it.
        disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
        m_buffers.remove(socket);
        const Answer answer = handle(*request);
        if (answer.held)
            m_held.append({socket, answer});
        else if (!answer.never)
            QTimer::singleShot(answer.delayMs, socket, [this, socket, answer] { respond(socket, answer); });
    }

    static std::optional<RecordedRequest> parse(const QByteArray& buffer)
    {
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return std::nullopt;
        const QList<QByteArray> lines = buffer.left(end).split('\n');
        const QList<QByteArray> start = lines.value(0).trimmed().split(' ');
        const QList<QByteArray> target = start.value(1).split('?');
        RecordedRequest request;
        request.method = start.value(0);
        request.path = QString::fromUtf8(target.value(0));
        request.query = QString::fromUtf8(target.value(1));
        for (const QByteArray& line : lines.mid(1))
            if (const qsizetype colon = line.indexOf(':'); colon > 0)
                request.headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
        const qsizetype length = request.header("Content-Length").toLongLong();
        if (buffer.size() < end + 4 + length)
            return std::nullopt;
        request.body = buffer.mid(end + 4, length);
        return request;
    }

    Answer handle(const RecordedRequest& request)
    {
        std::optional<ScriptedAnswer> scripted;
        {
            std::lock_guard lock(m_state->mutex);
            m_state->requests.append(request);
            if (auto& queue = m_state->scripts[request.route()]; !queue.isEmpty())
                scripted = queue.takeFirst();
        }
        Answer answer = scripted && !scripted->held ? Answer(scripted->status, scripted->body) : route(request);
        answer.delayMs = scripted ? scripted->delayMs : 0;
        answer.never = scripted && scripted->never;
        answer.held = scripted && scripted->held;
        return answer;
    }

    Answer route(const RecordedRequest& request)
    {
        const QString route = request.route();
        if (route == QLatin1String("GET /auth/v1/authorize"))
            return authorize(QUrlQuery(request.query));
        if (request.method == "GET" && request.path.startsWith(QLatin1String("/web/")))
            return page(request.path.mid(5));
        if (request.header("apikey") != TestBackend::kPublishableKey)
            return kBadKey;
        if (route == QLatin1String("GET /auth/v1/user")) {
            const auto who = bearer(request);
            return who ? Answer{200, json(userJson(*who))} : kBadJwt;
        }
        if (route == QLatin1String("POST /auth/v1/token"))
            return token(request);
        if (route == QLatin1String("POST /auth/v1/logout"))
            return logout(request);
        if (route == QLatin1String("POST /rest/v1/scores") || route == QLatin1String("POST /rest/v1/profiles"))
            return upsert(request);
        if (route == QLatin1String("DELETE /rest/v1/scores") || route == QLatin1String("DELETE /rest/v1/profiles"))
            return remove(request);
        if (route == QLatin1String("POST /rest/v1/rpc/board"))
            return board(request);
        return {404, R"({"code":"PGRST125","message":"Invalid path specified in request URL"})"};
    }

    Answer authorize(const QUrlQuery& query)
    {
        const QString redirect = query.queryItemValue("redirect_to", QUrl::FullyDecoded);
        const QString challenge = query.queryItemValue("code_challenge");
        if (challenge.isEmpty() || query.queryItemValue("code_challenge_method") != QLatin1String("s256"))
            return {400, authError(400, "validation_failed", "PKCE flow requires code_challenge")};
        std::lock_guard lock(m_state->mutex);
        if (!m_state->authorizeUser) {
            // The authentication server writes a refusal form-encoded (spaces as plus signs), in the query and the
            // fragment alike.
            const QString error = QStringLiteral("error=access_denied&error_code=403&error_description=Denied+by+user");
            return {302, {}, (redirect + u'?' + error + u'#' + error).toUtf8()};
        }
        const QString code = QString::fromLatin1(randomText(18));
        m_state->codes.insert(code, {*m_state->authorizeUser, challenge});
        return {302, {}, (redirect + QStringLiteral("?code=") + code).toUtf8()};
    }

    std::optional<BackendUser> bearer(const RecordedRequest& request) const
    {
        const QByteArray authorization = request.header("Authorization");
        std::lock_guard lock(m_state->mutex);
        const auto it = m_state->accessTokens.constFind(QString::fromUtf8(authorization.mid(7)));
        if (!authorization.startsWith("Bearer ") || it == m_state->accessTokens.constEnd())
            return std::nullopt;
        return *it;
    }

    Answer token(const RecordedRequest& request)
    {
        if (request.query == QLatin1String("grant_type=pkce"))
            return exchange(request.json());
        if (request.query != QLatin1String("grant_type=refresh_token"))
            return {400, authError(400, "validation_failed", "unsupported_grant_type")};
        const QString refresh = request.json().value("refresh_token").toString();
        std::lock_guard lock(m_state->mutex);
        // Refresh tokens are used once: the old one goes, the old access token stays valid until it expires.
        const std::optional<BackendUser> who = m_state->refreshTokens.contains(refresh)
                                                   ? std::optional(m_state->refreshTokens.take(refresh))
                                                   : std::nullopt;
        if (!who)
            return {400, authError(400, "refresh_token_not_found", "Invalid Refresh Token: Refresh Token Not Found")};
        return sessionAnswer(m_state->issueLocked(*who));
    }

    // A code is exchanged once, and only with the verifier whose challenge came with its authorize request.
    Answer exchange(const QJsonObject& body)
    {
        const QString code = body.value("auth_code").toString();
        std::lock_guard lock(m_state->mutex);
        const auto flow = m_state->codes.constFind(code);
        if (flow == m_state->codes.constEnd())
            return {404, authError(404, "flow_state_not_found", "invalid flow state, no valid flow state found")};
        if (s256(body.value("code_verifier").toString()) != flow->second)
            return {400, authError(400, "bad_code_verifier",
                                   "code challenge does not match previously saved code verifier")};
        const BackendUser who = m_state->codes.take(code).first;
        return sessionAnswer(m_state->issueLocked(who));
    }

    // The caller holds the mutex.
    Answer sessionAnswer(const IssuedSession& session) const
    {
        return {200, json({{"access_token", session.accessToken},
                           {"token_type", "bearer"},
                           {"expires_in", session.expiresIn},
                           {"expires_at", static_cast<qint64>(m_state->now()) + session.expiresIn},
                           {"refresh_token", session.refreshToken},
                           {"user", userJson(session.user)}})};
    }

    Answer logout(const RecordedRequest& request)
    {
        if (!bearer(request))
            return kBadJwt;
        std::lock_guard lock(m_state->mutex);
        m_state->accessTokens.remove(QString::fromUtf8(request.header("Authorization").mid(7)));
        return {204};
    }

    Answer upsert(const RecordedRequest& request)
    {
        const auto who = bearer(request);
        if (!who)
            return {401, R"({"code":"PGRST301","message":"JWSError JWSInvalidSignature"})"};
        const QJsonDocument doc = QJsonDocument::fromJson(request.body);
        if (!doc.isObject() || !request.header("Content-Type").startsWith("application/json"))
            return {400, R"({"code":"PGRST102","message":"Empty or invalid json"})"};
        if (!m_database)
            return {201};
        const bool merge = request.header("Prefer").contains("resolution=merge-duplicates");
        const PostgresServer::Answer answer = m_database->upsert(table(request), doc.object(), who->id, merge);
        return {answer.status, answer.body};
    }

    // PostgREST's horizontal filter, as Korvel writes it: the row of one user.
    Answer remove(const RecordedRequest& request)
    {
        const auto who = bearer(request);
        if (!who)
            return {401, R"({"code":"PGRST301","message":"JWSError JWSInvalidSignature"})"};
        const QString filter = QUrlQuery(request.query).queryItemValue("user_id", QUrl::FullyDecoded);
        if (!filter.startsWith(QLatin1String("eq.")))
            return {400, R"({"code":"21000","message":"DELETE requires a WHERE clause"})"};
        if (!m_database)
            return {204};
        const PostgresServer::Answer answer = m_database->remove(table(request), filter.mid(3), who->id);
        return {answer.status, answer.body};
    }

    static QString table(const RecordedRequest& request) { return request.path.section(u'/', 3, 3); }

    Answer board(const RecordedRequest& request)
    {
        if (!m_database)
            return {404, R"({"code":"PGRST202","message":"Could not find the function public.board"})"};
        const PostgresServer::Answer answer = m_database->board(request.json());
        return {answer.status, answer.body};
    }

    // The files of the folder being served, by name; nothing outside it.
    Answer page(const QString& name) const
    {
        std::lock_guard lock(m_state->mutex);
        const QString folder = m_state->webFolder;
        if (folder.isEmpty() || name.contains(QLatin1String("..")) || name.contains(u'/'))
            return {404};
        QFile file(folder + u'/' + name);
        if (!file.open(QIODevice::ReadOnly))
            return {404};
        Answer answer{200, file.readAll()};
        answer.contentType = name.endsWith(QLatin1String(".html")) ? "text/html; charset=utf-8"
                             : name.endsWith(QLatin1String(".js")) ? "text/javascript; charset=utf-8"
                                                                   : "text/plain; charset=utf-8";
        return answer;
    }

    static void respond(QTcpSocket* socket, const Answer& answer)
    {
        QByteArray out = "HTTP/1.1 " + QByteArray::number(answer.status) + " X\r\nConnection: close\r\n";
        out += "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
        if (!answer.body.isEmpty())
            out += "Content-Type: " + answer.contentType + "\r\n";
        if (!answer.location.isEmpty())
            out += "Location: " + answer.location + "\r\n";
        socket->write(out + "\r\n" + answer.body);
        socket->disconnectFromHost();
    }

    std::shared_ptr<TestBackendState> m_state;
    const PostgresServer* m_database;
    QHash<QTcpSocket*, QByteArray> m_buffers;
    QList<QPair<QPointer<QTcpSocket>, Answer>> m_held;
    // A child, so that it moves to the backend's thread too; the last member, so that the connections it closes as
    // it goes still find the buffers.
    QTcpServer m_server{this};
};

QJsonObject RecordedRequest::json() const
{
    return QJsonDocument::fromJson(body).object();
}

QString IssuedSession::fragment() const
{
    return QStringLiteral("access_token=%1&expires_in=%2&refresh_token=%3&token_type=bearer")
        .arg(accessToken)
        .arg(expiresIn)
        .arg(refreshToken);
}

TestBackend::TestBackend(const PostgresServer* database)
    : m_state(std::make_shared<TestBackendState>()), m_thread(new QThread),
      m_server(new TestBackendServer(m_state, database))
{
    m_server->moveToThread(m_thread);
    QObject::connect(m_thread, &QThread::finished, m_server, &QObject::deleteLater);
    m_thread->start();
    QMetaObject::invokeMethod(
        m_server, [this] { m_port = m_server->listen(); }, Qt::BlockingQueuedConnection);
}

TestBackend::~TestBackend()
{
    // Deleting the server on its thread closes the listener and every connection.
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
}

QString TestBackend::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

IssuedSession TestBackend::issue(const BackendUser& user)
{
    std::lock_guard lock(m_state->mutex);
    return m_state->issueLocked(user);
}

void TestBackend::setAuthorizeUser(const BackendUser& user)
{
    std::lock_guard lock(m_state->mutex);
    m_state->authorizeUser = user;
}

void TestBackend::script(const QString& route, const ScriptedAnswer& answer)
{
    std::lock_guard lock(m_state->mutex);
    m_state->scripts[route].append(answer);
}

void TestBackend::releaseHeld()
{
    QMetaObject::invokeMethod(
        m_server, [this] { m_server->releaseHeld(); }, Qt::BlockingQueuedConnection);
}

void TestBackend::serveFolder(const QString& folder)
{
    std::lock_guard lock(m_state->mutex);
    m_state->webFolder = folder;
}

void TestBackend::setClock(std::function<double()> now)
{
    std::lock_guard lock(m_state->mutex);
    m_state->now = std::move(now);
}

QList<RecordedRequest> TestBackend::requests() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->requests;
}

QList<RecordedRequest> TestBackend::requestsTo(const QString& route) const
{
    QList<RecordedRequest> out = requests();
    out.removeIf([&](const RecordedRequest& r) { return r.route() != route; });
    return out;
}

std::optional<QUrl> TestBackend::followAuthorize(const QUrl& authorizeUrl) const
{
    // The server answers on its own thread, so a blocking socket on the caller's thread is enough of a browser.
    QTcpSocket socket;
    socket.connectToHost(authorizeUrl.host(), static_cast<quint16>(authorizeUrl.port()));
    if (!socket.waitForConnected(5000))
        return std::nullopt;
    socket.write("GET " + authorizeUrl.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority) + " HTTP/1.1\r\n\r\n");
    QByteArray reply;
    while (socket.waitForReadyRead(5000))
        reply += socket.readAll();
    for (const QByteArray& line : reply.split('\n'))
        if (line.startsWith("Location:"))
            return QUrl(QString::fromUtf8(line.mid(9).trimmed()));
    return std::nullopt;
}
