#pragma once

#include "core/Stats.h"

#include <QObject>
#include <QThread>
#include <QTimer>
#include <functional>

/// Runs statistics builds one at a time on a worker thread and hands each result, by value, to the GUI thread.
/// A guarded refresh is dropped while another guarded one is queued; the periodic refresh is not guarded but
/// never queues behind itself.
class RefreshPipeline : public QObject
{
    Q_OBJECT

public:
    using Build = std::function<Stats()>;
    using Apply = std::function<void(const Stats&)>;

    /// build runs on the worker thread; apply runs on the GUI thread with each result.
    RefreshPipeline(Build build, Apply apply);
    ~RefreshPipeline() override;

    /// Queues a build unless a guarded one is already queued or running.
    void refresh();
    /// Starts the periodic unguarded refresh.
    void startTimer(int intervalMs);
    /// Stops the timer and waits for a build in progress to finish; nothing runs afterwards.
    void shutdown();

    bool isRefreshing() const { return m_isRefreshing; }
    bool timerActive() const { return m_timer.isActive(); }

private:
    void post(bool guarded);
    void finished(const Stats& stats, bool guarded);

    QThread m_thread;
    QObject* m_worker = nullptr;
    Build m_build;
    Apply m_apply;
    QTimer m_timer;
    bool m_isRefreshing = false;
    bool m_timerBuildQueued = false;
};
