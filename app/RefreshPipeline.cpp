#include "app/RefreshPipeline.h"

#include <QMetaObject>

RefreshPipeline::RefreshPipeline(Build build, Apply apply) : m_build(std::move(build)), m_apply(std::move(apply))
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
    // Queued builds after the running one are dropped; the running one finishes, so no cache is left half-written.
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
        Stats stats = m_build();
        QMetaObject::invokeMethod(this, [this, stats = std::move(stats), guarded] { finished(stats, guarded); });
    });
}

void RefreshPipeline::finished(const Stats& stats, bool guarded)
{
    if (!guarded)
        m_timerBuildQueued = false;
    m_apply(stats);
    m_isRefreshing = false;
}
