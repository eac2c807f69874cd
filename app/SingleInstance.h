#pragma once

#include "app/LocalListener.h"

#include <QByteArray>
#include <QObject>
#include <QStringList>
#include <functional>

class QLocalSocket;

/// One running application per user. The first start holds a lock file in the user's private runtime folder for its
/// whole life and listens on a socket beside it; a later start finds the lock taken and hands its arguments over that
/// socket (a sign-in callback, say), waits for the running one to confirm, and leaves.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    enum class Outcome {
        /// This is the running instance now (see listenError).
        First,
        /// The running instance took the arguments.
        HandedOver,
        /// Neither; error() says why.
        Failed,
    };

    /// A connection that has not brought a whole message within this time is closed.
    static constexpr int kIdleMs = 2000;

    /// folder: a private folder of this user (RuntimeFolder::locate).
    explicit SingleInstance(QString folder, int patienceMs = 5000, int idleMs = kIdleMs);
    ~SingleInstance() override;

    /// Becomes the running instance, or hands args to the one that is.
    Outcome start(const QStringList& args);
    /// Why start() failed, or, after First, why this instance cannot be reached (then later starts cannot hand
    /// anything over); empty otherwise.
    const QString& error() const { return m_error; }

    QString socketPath() const;
    QString lockPath() const;

    /// Arguments handed over by later starts.
    std::function<void(const QStringList&)> onMessage;

private:
    bool takeLock();
    bool listen();
    bool handOff(const QStringList& args);
    void receive(QLocalSocket* socket);

    QString m_folder;
    int m_patienceMs;
    int m_idleMs;
    int m_lockFd = -1;
    QString m_error;
    LocalListener m_listener;
};
