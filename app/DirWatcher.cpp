#include "app/DirWatcher.h"

DirWatcher::DirWatcher(std::function<void()> handler) : m_handler(std::move(handler))
{
    m_pending.setSingleShot(true);
    m_pending.setInterval(kDebounceMs);
    m_pending.setTimerType(Qt::PreciseTimer);
    connect(&m_pending, &QTimer::timeout, this, [this] { m_handler(); });
    // Every change restarts the countdown, so only the last of a burst leads to a call.
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] { m_pending.start(); });
}

std::unique_ptr<DirWatcher> DirWatcher::create(const QString& dir, std::function<void()> handler)
{
    std::unique_ptr<DirWatcher> watcher(new DirWatcher(std::move(handler)));
    if (!watcher->m_watcher.addPath(dir))
        return nullptr;
    return watcher;
}
