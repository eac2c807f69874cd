#pragma once

#include "sync/HttpClient.h"

#include <QObject>

class QNetworkAccessManager;
class QNetworkReply;

/// Lives on the HTTP client's thread and owns its network access manager.
class HttpWorker : public QObject
{
    Q_OBJECT

public:
    explicit HttpWorker(int timeoutMs);
    ~HttpWorker() override;

    /// Runs on the worker's thread.
    void start(const HttpRequest& request, std::function<void(const HttpAnswer&)> done);
    /// Runs on the worker's thread: drops every request in flight without calling its completion.
    void shutDown();

private:
    static HttpAnswer answerOf(QNetworkReply* reply, const QString& endedBecause, const QByteArray& body);

    int m_timeoutMs;
    QNetworkAccessManager* m_manager = nullptr;
    bool m_down = false;
};
