#include "sync/HttpWorker.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

HttpWorker::HttpWorker(int timeoutMs) : m_timeoutMs(timeoutMs) {}

HttpWorker::~HttpWorker() = default;

void HttpWorker::start(const HttpRequest& request, std::function<void(const HttpAnswer&)> done)
{
    if (m_down)
        return;
    if (!m_manager) {
        m_manager = new QNetworkAccessManager(this);
        // A redirect would carry the key and the token to wherever it points; an API answer never redirects.
        m_manager->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    }
    QNetworkRequest req(request.url);
    req.setTransferTimeout(m_timeoutMs);
    for (const auto& [name, value] : request.headers)
        req.setRawHeader(name, value);
    QNetworkReply* reply = request.body ? m_manager->sendCustomRequest(req, request.method, *request.body)
                                        : m_manager->sendCustomRequest(req, request.method);
    connect(reply, &QNetworkReply::finished, this, [this, reply, done = std::move(done)] {
        reply->deleteLater();
        if (!m_down)
            done(answerOf(reply));
    });
}

void HttpWorker::shutDown()
{
    m_down = true;
    delete m_manager;
    m_manager = nullptr;
}

HttpAnswer HttpWorker::answerOf(QNetworkReply* reply)
{
    HttpAnswer answer;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && status.toInt() > 0) {
        // A failure status is an answer, not a transport error, even though Qt reports it as an error too.
        answer.status = status.toInt();
        answer.body = reply->readAll();
        return answer;
    }
    // The transfer time-out aborts the reply, which Qt reports as a cancellation.
    answer.transportError = reply->error() == QNetworkReply::OperationCanceledError
                                ? QStringLiteral("The request timed out")
                                : reply->errorString();
    return answer;
}
