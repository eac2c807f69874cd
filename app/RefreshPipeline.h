#pragma once

#include "core/Stats.h"

#include <QObject>
#include <QThread>
#include <QTimer>
#include <atomic>
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
    /// Stops the timer and drops the builds not yet started; the flush runs after the build in progress, and
    /// nothing runs afterwards. Waits for all that at most waitMs (without end when negative) and returns whether
    /// it is done; if not, the worker is still busy and may be left to the end of the process, since every cache
    /// write is atomic.
    bool shutdown(int waitMs = -1);

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
    bool m_shutDown = false;
    /// Set on the GUI thread at shutdown, read by the worker before each build.
    std::atomic<bool> m_stopping{false};
};
