#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

/// Tells its owner, on the GUI thread, that entries directly inside one folder changed: a burst of changes gives
/// one call, 1.5 seconds after the last. Appends to files and anything inside subfolders are not seen (the
/// five-second refresh covers those).
class DirWatcher : public QObject
{
    Q_OBJECT

public:
    static constexpr int kDebounceMs = 1500;

    /// A watcher of dir, or null when the folder cannot be watched (missing, unreadable).
    static std::unique_ptr<DirWatcher> create(const QString& dir, std::function<void()> handler);

    /// The countdown to the next call, for tests that drive it instead of waiting for it.
    QTimer& countdown() { return m_pending; }

private:
    DirWatcher(std::function<void()> handler);

    QFileSystemWatcher m_watcher;
    QTimer m_pending;
    std::function<void()> m_handler;
};
