#pragma once

#include "core/Stats.h"

#include <QObject>
#include <QThread>
#include <QTimer>
#include <functional>

/// One build's outcome, handed to the GUI thread.
struct RefreshResult
{
    Stats stats;
    /// Log files that could not be read this time (they count as empty and are read again next time).
    int64_t unreadableFiles = 0;
};

/// Runs statistics builds one at a time on a worker thread and hands each result, by value, to the GUI thread.
/// A guarded refresh is dropped while another guarded one is queued; the periodic refresh is not guarded but
/// never queues behind itself.
class RefreshPipeline : public QObject
{
    Q_OBJECT

public:
    using Build = std::function<RefreshResult()>;
    using Apply = std::function<void(const RefreshResult&)>;

    /// build runs on the worker thread; apply runs on the GUI thread with each result; flush, when given, runs on
    /// the worker thread once, after the last build, when the pipeline shuts down.
    RefreshPipeline(Build build, Apply apply, std::function<void()> flush = {});
    ~RefreshPipeline() override;

    /// Queues a build unless a guarded one is already queued or running.
    void refresh();
    /// Starts the periodic unguarded refresh.
    void startTimer(int intervalMs);
    /// Stops the timer, waits for a build in progress to finish and runs the flush; nothing runs afterwards.
    void shutdown();

    bool isRefreshing() const { return m_isRefreshing; }
    bool timerActive() const { return m_timer.isActive(); }

private:
    void post(bool guarded);
    void finished(const RefreshResult& result, bool guarded);

    QThread m_thread;
    QObject* m_worker = nullptr;
    Build m_build;
    Apply m_apply;
    std::function<void()> m_flush;
    QTimer m_timer;
    bool m_isRefreshing = false;
    bool m_timerBuildQueued = false;
};
