#pragma once

#include "tests/support/TestBackend.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <mutex>
#include <string>

class PostgrestUpsert;
class QTcpServer;
class QTcpSocket;

/// What the backend knows, shared between its thread and the test.
struct TestBackendState
{
    mutable std::mutex mutex;
    QMap<QString, BackendUser> accessTokens;
    QMap<QString, BackendUser> refreshTokens;
    std::optional<BackendUser> authorizeUser;
    QMap<QString, QList<ScriptedAnswer>> scripts;
    QList<RecordedRequest> requests;
    QMap<QString, QJsonObject> rows;

    /// Hands out a fresh session for user; the caller holds the mutex.
    IssuedSession issueLocked(const BackendUser& user);
};

/// The HTTP/1.1 side of the test backend, living on the backend's thread: one request per connection.
class TestBackendServer : public QObject
{
    Q_OBJECT

public:
    TestBackendServer(std::shared_ptr<TestBackendState> state, std::string databaseConnection);
    ~TestBackendServer() override;

    /// Starts listening on 127.0.0.1 at a free port; returns the port (0 on failure).
    quint16 listen();
    /// Closes the listener and every connection, and the database connection.
    void shutDown();
    /// Sends the answers that were held back.
    void releaseHeld();

private:
    struct Answer
    {
        Answer(int status, QByteArray body = {}, QList<QPair<QByteArray, QByteArray>> headers = {})
            : status(status), body(std::move(body)), headers(std::move(headers))
        {
        }

        int status;
        QByteArray body;
        QList<QPair<QByteArray, QByteArray>> headers;
        int delayMs = 0;
        bool never = false;
        bool held = false;
    };

    void accept();
    void read(QTcpSocket* socket);
    static std::optional<RecordedRequest> parse(QByteArray& buffer);
    Answer handle(const RecordedRequest& request);
    Answer route(const RecordedRequest& request);
    Answer authorize(const RecordedRequest& request);
    Answer user(const RecordedRequest& request);
    Answer token(const RecordedRequest& request);
    Answer upsert(const RecordedRequest& request);
    std::optional<BackendUser> bearer(const RecordedRequest& request) const;
    bool keyAccepted(const RecordedRequest& request) const;
    void respond(QTcpSocket* socket, const Answer& answer);

    std::shared_ptr<TestBackendState> m_state;
    std::string m_databaseConnection;
    std::unique_ptr<PostgrestUpsert> m_database;
    QTcpServer* m_server = nullptr;
    QHash<QTcpSocket*, QByteArray> m_buffers;
    QList<QPair<QPointer<QTcpSocket>, Answer>> m_held;
};
