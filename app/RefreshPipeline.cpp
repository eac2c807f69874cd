#include "app/RefreshPipeline.h"

#include <QMetaObject>

RefreshPipeline::RefreshPipeline(Build build, Apply apply, std::function<void()> flush)
    : m_build(std::move(build)), m_apply(std::move(apply)), m_flush(std::move(flush))
{
    m_thread.setObjectName(QStringLiteral("korvel.stats"));
    m_worker = new QObject;
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread.start(QThread::LowPriority);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (!m_timerBuildQueued)
            post(false);
    });
}

RefreshPipeline::~RefreshPipeline()
{
    shutdown();
}

void RefreshPipeline::refresh()
{
    if (m_isRefreshing)
        return;
    m_isRefreshing = true;
    post(true);
}

void RefreshPipeline::startTimer(int intervalMs)
{
    m_timer.start(intervalMs);
}

bool RefreshPipeline::shutdown(int waitMs)
{
    m_timer.stop();
    m_stopping = true;
    if (!m_shutDown && m_thread.isRunning()) {
        m_shutDown = true;
        // Behind the build in progress, if any: what the builds left unsaved is written, then the worker ends.
        QMetaObject::invokeMethod(m_worker, [flush = std::move(m_flush), thread = &m_thread] {
            if (flush)
                flush();
            thread->quit();
        });
    }
    return m_thread.wait(waitMs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(waitMs));
}

void RefreshPipeline::post(bool guarded)
{
    if (!guarded)
        m_timerBuildQueued = true;
    // The pipeline outlives every build (shutdown waits for the worker), and a result queued to it is dropped if
    // it is gone by then, since it is the context of that call.
    QMetaObject::invokeMethod(m_worker, [this, guarded] {
        if (m_stopping)
            return;
        RefreshResult result = m_build();
        QMetaObject::invokeMethod(this, [this, result = std::move(result), guarded] { finished(result, guarded); });
    });
}

void RefreshPipeline::finished(const RefreshResult& result, bool guarded)
{
    if (!guarded)
        m_timerBuildQueued = false;
    m_apply(result);
    m_isRefreshing = false;
}
