#include "sync/HttpClient.h"

#include "sync/HttpWorker.h"

#include <QThread>

HttpClient::HttpClient(int timeoutMs) : m_timeoutMs(timeoutMs) {}

HttpClient::~HttpClient()
{
    stop();
}

HttpWorker* HttpClient::worker()
{
    if (!m_thread) {
        m_thread = new QThread;
        m_thread->setObjectName(QStringLiteral("korvel.http"));
        m_worker = new HttpWorker(m_timeoutMs);
        m_worker->moveToThread(m_thread);
        QObject::connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
        m_thread->start();
    }
    return m_worker;
}

void HttpClient::send(HttpRequest request, std::function<void(const HttpAnswer&)> done)
{
    std::lock_guard lock(m_mutex);
    if (m_stopped)
        return;
    HttpWorker* w = worker();
    QMetaObject::invokeMethod(
        w, [w, request = std::move(request), done = std::move(done)]() mutable { w->start(request, std::move(done)); },
        Qt::QueuedConnection);
}

void HttpClient::stop()
{
    QThread* thread = nullptr;
    HttpWorker* w = nullptr;
    {
        std::lock_guard lock(m_mutex);
        m_stopped = true;
        std::swap(thread, m_thread);
        std::swap(w, m_worker);
    }
    if (!thread)
        return;
    // The manager and its replies belong to the worker's thread: they go there, before the thread ends.
    QMetaObject::invokeMethod(
        w, [w] { w->shutDown(); }, Qt::BlockingQueuedConnection);
    thread->quit();
    thread->wait();
    delete thread;
}
