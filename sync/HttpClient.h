#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class QThread;
class HttpWorker;

/// One request to the backend.
struct HttpRequest
{
    QByteArray method;
    QUrl url;
    QList<QPair<QByteArray, QByteArray>> headers;
    /// Sent as the body when present.
    std::optional<QByteArray> body;
};

/// What came back: either a transport error (no HTTP answer) or a status with its body.
struct HttpAnswer
{
    /// Why no answer came ("Connection refused", "The request timed out"...); absent when one came.
    std::optional<QString> transportError;
    /// The HTTP status code; 0 without an HTTP answer.
    int status = 0;
    QByteArray body;
};

/// The account's HTTP client: a QNetworkAccessManager on a thread of its own, started on the first request, so that
/// nothing waits on the network on the caller's thread. Completions run on that thread.
class HttpClient
{
public:
    static constexpr int kDefaultTimeoutMs = 60000;

    /// timeoutMs ends a request that has not completed within that time, however its bytes arrive; answers larger
    /// than 1 MB are ended as they come. Either is a transport error, never an answer.
    explicit HttpClient(int timeoutMs = kDefaultTimeoutMs);
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    /// Sends request from any thread; done runs once, on the client's thread, unless the client is stopped first.
    void send(HttpRequest request, std::function<void(const HttpAnswer&)> done);

    /// Stops the thread; requests in flight are dropped without their completions. Safe to call more than once, but
    /// never from a completion.
    void stop();

private:
    HttpWorker* worker();

    int m_timeoutMs;
    std::mutex m_mutex;
    QThread* m_thread = nullptr;
    HttpWorker* m_worker = nullptr;
    bool m_stopped = false;
};
