#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

class PostgresServer;
class QThread;
class TestBackendServer;
struct TestBackendState;

/// One request as the backend received it.
struct RecordedRequest
{
    QByteArray method;
    QString path;
    /// The raw text after the question mark; empty when there is none.
    QString query;
    /// Names in lower case.
    QMap<QByteArray, QByteArray> headers;
    QByteArray body;

    QByteArray header(const QByteArray& name) const { return headers.value(name.toLower()); }
    /// The body as a JSON object; empty when it is not one.
    QJsonObject json() const;
    /// "METHOD /path", as routes are named.
    QString route() const { return QString::fromLatin1(method) + u' ' + path; }
};

/// An answer that replaces the backend's normal behaviour once.
struct ScriptedAnswer
{
    int status = 200;
    QByteArray body;
    /// Wait this long before answering.
    int delayMs = 0;
    /// Keep the connection open and never answer.
    bool never = false;
    /// Give the normal answer, but only once the test calls releaseHeld().
    bool held = false;

    static ScriptedAnswer of(int status, const QByteArray& body = {}) { return {status, body, 0, false, false}; }
    static ScriptedAnswer late(int delayMs) { return {200, {}, delayMs, false, false}; }
    static ScriptedAnswer silence() { return {0, {}, 0, true, false}; }
    static ScriptedAnswer hold() { return {0, {}, 0, false, true}; }
};

/// A user the backend knows.
struct BackendUser
{
    QString id;
    std::optional<QString> email;
    /// The identity provider's details ("user_name", "full_name", "avatar_url").
    QJsonObject metadata = {};
};

/// A session the backend handed out and accepts.
struct IssuedSession
{
    QString accessToken;
    QString refreshToken;
    qint64 expiresIn = 3600;
    BackendUser user;

    /// The fragment of an implicit-grant redirect ("korvel://auth#access_token=..."), which Korvel must refuse.
    QString fragment() const;
};

/// A Supabase-compatible backend for tests, on 127.0.0.1 at a free port, serving from a thread of its own: the
/// authorize redirect with its PKCE challenge, the user, token (refresh and code exchange) and logout endpoints of
/// the authentication API, the PostgREST upsert and delete of "/rest/v1/scores" and "/rest/v1/profiles", and the
/// call "/rest/v1/rpc/board". Every request is recorded; any answer can be scripted. Given a PostgreSQL server holding
/// the leaderboard, each write and call runs there as PostgREST runs it; without one, writes with a known token
/// succeed and the board is not found.
class TestBackend
{
public:
    static constexpr const char* kPublishableKey = "sb_publishable_test-backend-key-00000000000000";

    explicit TestBackend(const PostgresServer* database = nullptr);
    ~TestBackend();
    TestBackend(const TestBackend&) = delete;
    TestBackend& operator=(const TestBackend&) = delete;

    /// "http://127.0.0.1:PORT".
    QString baseUrl() const;

    /// Hands out a session for user, as a sign-in would.
    IssuedSession issue(const BackendUser& user);
    /// The user that the authorize page signs in, redirecting with a code bound to the request's challenge; without
    /// one it refuses with an error redirect.
    void setAuthorizeUser(const BackendUser& user);
    /// The next request to route ("POST /auth/v1/token") gets answer instead of the normal one; in order.
    void script(const QString& route, const ScriptedAnswer& answer);
    /// Sends the answers kept back by hold().
    void releaseHeld();
    /// Serves the files directly in folder as "/web/NAME", as a static host would.
    void serveFolder(const QString& folder);
    /// The clock by which the token answers' "expires_at" is written (seconds since 1970); the system's by default.
    void setClock(std::function<double()> now);

    QList<RecordedRequest> requests() const;
    QList<RecordedRequest> requestsTo(const QString& route) const;

    /// Plays the browser: GETs the authorize URL and returns where the backend redirects to.
    std::optional<QUrl> followAuthorize(const QUrl& authorizeUrl) const;

private:
    std::shared_ptr<TestBackendState> m_state;
    QThread* m_thread = nullptr;
    TestBackendServer* m_server = nullptr;
    quint16 m_port = 0;
};
