#pragma once

#include <QLocalServer>
#include <QObject>
#include <QStringList>
#include <functional>

/// One running application per user. The first instance listens on a local socket; a later start hands its
/// arguments to it (a sign-in callback, say) and leaves.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    /// name defaults to one per user.
    explicit SingleInstance(QString name = defaultName());

    /// True when an instance is already running; it has then received args.
    bool handOff(const QStringList& args) const;

    /// Becomes the running instance; false when the socket cannot be created.
    bool listen();

    /// Arguments handed over by later starts.
    std::function<void(const QStringList&)> onMessage;

    static QString defaultName();

private:
    void receive(QLocalSocket* socket);

    QString m_name;
    QLocalServer m_server;
};
