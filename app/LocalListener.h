#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

class QLocalSocket;
class QSocketNotifier;

/// Listens on a Unix socket that only its user may reach and hands over each connection as a QLocalSocket. It keeps
/// listening whatever comes: at most maxOpen connections are served at once (more are closed as they are accepted),
/// an accept that fails for want of descriptors backs off and tries again, and a listening socket that breaks is
/// made anew. (QLocalServer closes itself and removes its socket on the first failed accept.)
class LocalListener : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMaxOpen = 32;
    static constexpr int kBackOffMs = 250;

    explicit LocalListener(int maxOpen = kMaxOpen);
    ~LocalListener() override;

    /// Listens on path, replacing what is there; false with error set when it cannot.
    bool listen(const QString& path);
    const QString& error() const { return m_error; }

    /// Each accepted connection, owned by the listener (delete it, or let it be deleted, when done).
    std::function<void(QLocalSocket*)> onConnection;

    /// The pause after a failed accept, for tests that drive it.
    QTimer& backOff() { return m_backOff; }

private:
    void acceptPending();
    void stop();

    int m_maxOpen;
    int m_fd = -1;
    int m_open = 0;
    QString m_path;
    QString m_error;
    QSocketNotifier* m_notifier = nullptr;
    QTimer m_backOff;
};
