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

void RefreshPipeline::shutdown()
{
    m_timer.stop();
    if (!m_thread.isRunning())
        return;
    // The builds already queued finish first, so no cache is left half-written; then what they left unsaved is
    // written, and nothing runs afterwards.
    if (m_flush)
        QMetaObject::invokeMethod(
            m_worker, [flush = std::move(m_flush)] { flush(); }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

void RefreshPipeline::post(bool guarded)
{
    if (!guarded)
        m_timerBuildQueued = true;
    // The pipeline outlives every build (shutdown waits for the worker), and a result queued to it is dropped if
    // it is gone by then, since it is the context of that call.
    QMetaObject::invokeMethod(m_worker, [this, guarded] {
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
