#include "tests/support/TestBackend.h"

#include "tests/support/PostgresServer.h"
#include "tests/support/TestBackendServer.h"

#include <QJsonDocument>
#include <QTcpSocket>
#include <QThread>

QJsonObject RecordedRequest::json() const
{
    const QJsonDocument doc = QJsonDocument::fromJson(body);
    return doc.isObject() ? doc.object() : QJsonObject();
}

QString IssuedSession::fragment() const
{
    return QStringLiteral("access_token=%1&expires_in=%2&refresh_token=%3&token_type=bearer")
        .arg(accessToken)
        .arg(expiresIn)
        .arg(refreshToken);
}

TestBackend::TestBackend(const PostgresServer* database) : m_state(std::make_shared<TestBackendState>())
{
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("test-backend"));
    m_server = new TestBackendServer(m_state, database ? database->connectionString() : std::string());
    m_server->moveToThread(m_thread);
    QObject::connect(m_thread, &QThread::finished, m_server, &QObject::deleteLater);
    m_thread->start();
    QMetaObject::invokeMethod(
        m_server, [this] { m_port = m_server->listen(); }, Qt::BlockingQueuedConnection);
}

TestBackend::~TestBackend()
{
    QMetaObject::invokeMethod(
        m_server, [this] { m_server->shutDown(); }, Qt::BlockingQueuedConnection);
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

QList<RecordedRequest> TestBackend::requests() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->requests;
}

QList<RecordedRequest> TestBackend::requestsTo(const QString& route) const
{
    QList<RecordedRequest> out;
    for (const RecordedRequest& r : requests())
        if (r.route() == route)
            out.append(r);
    return out;
}

std::optional<QJsonObject> TestBackend::storedRow(const QString& userId) const
{
    std::lock_guard lock(m_state->mutex);
    const auto it = m_state->rows.constFind(userId);
    return it == m_state->rows.constEnd() ? std::nullopt : std::optional(*it);
}

std::optional<QUrl> TestBackend::followAuthorize(const QUrl& authorizeUrl) const
{
    // The server answers on its own thread, so a blocking socket on the caller's thread is enough of a browser.
    QTcpSocket socket;
    socket.connectToHost(authorizeUrl.host(), static_cast<quint16>(authorizeUrl.port()));
    if (!socket.waitForConnected(5000))
        return std::nullopt;
    socket.write("GET " + authorizeUrl.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority) +
                 " HTTP/1.1\r\nHost: " + authorizeUrl.host().toUtf8() + "\r\n\r\n");
    QByteArray reply;
    while (socket.waitForReadyRead(5000))
        reply += socket.readAll();
    reply += socket.readAll();
    for (const QByteArray& line : reply.split('\n'))
        if (line.toLower().startsWith("location:"))
            return QUrl(QString::fromUtf8(line.mid(9).trimmed()));
    return std::nullopt;
}
