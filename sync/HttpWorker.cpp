#include "sync/HttpWorker.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <memory>

namespace {

// No answer of the backend comes near this; a larger one is refused rather than held in memory.
constexpr qint64 kLargestAnswer = qint64{1} << 20;
constexpr qint64 kReadAhead = qint64{64} << 10;

} // namespace

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
    for (const auto& [name, value] : request.headers)
        req.setRawHeader(name, value);
    QNetworkReply* reply = request.body ? m_manager->sendCustomRequest(req, request.method, *request.body)
                                        : m_manager->sendCustomRequest(req, request.method);
    // Why the request was ended here, when it was: a server that drips bytes must not hold it open, nor one that
    // sends without end fill the memory.
    auto endedBecause = std::make_shared<QString>();
    const auto end = [reply, endedBecause](const QString& why) {
        if (endedBecause->isEmpty())
            *endedBecause = why;
        reply->abort();
    };
    auto* deadline = new QTimer(reply);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, reply, [end] { end(QStringLiteral("The request timed out")); });
    deadline->start(m_timeoutMs);
    const auto tooLarge = QStringLiteral("The answer was larger than 1 MB");
    // The announced length ends it before the body comes. Without one, the body is taken as it comes through a
    // small read buffer, so that Qt's network thread cannot read far ahead of the count.
    connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, end, tooLarge] {
        if (reply->header(QNetworkRequest::ContentLengthHeader).toLongLong() > kLargestAnswer)
            end(tooLarge);
    });
    auto body = std::make_shared<QByteArray>();
    reply->setReadBufferSize(kReadAhead);
    connect(reply, &QNetworkReply::readyRead, reply, [reply, body, end, tooLarge] {
        body->append(reply->read(kLargestAnswer + 1 - body->size()));
        if (body->size() > kLargestAnswer) {
            body->clear();
            end(tooLarge);
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, body, endedBecause, done = std::move(done)] {
        reply->deleteLater();
        body->append(reply->readAll());
        if (!m_down)
            done(answerOf(reply, *endedBecause, *body));
    });
}

void HttpWorker::shutDown()
{
    m_down = true;
    delete m_manager;
    m_manager = nullptr;
}

HttpAnswer HttpWorker::answerOf(QNetworkReply* reply, const QString& endedBecause, const QByteArray& body)
{
    HttpAnswer answer;
    if (!endedBecause.isEmpty()) {
        answer.transportError = endedBecause;
        return answer;
    }
    // Errors below the content range are the transfer's own (refused, reset, cut short): whatever status line came
    // before, the answer is not whole.
    const QNetworkReply::NetworkError error = reply->error();
    const bool transferFailed = error != QNetworkReply::NoError && error < QNetworkReply::ContentAccessDenied;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!transferFailed && status.isValid() && status.toInt() > 0) {
        // A failure status is an answer, not a transport error, even though Qt reports it as an error too.
        answer.status = status.toInt();
        answer.body = body;
        return answer;
    }
    answer.transportError = reply->errorString();
    return answer;
}
