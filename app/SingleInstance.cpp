#include "app/SingleInstance.h"

#include <QDataStream>
#include <QLocalSocket>
#include <unistd.h>

SingleInstance::SingleInstance(QString name) : m_name(std::move(name))
{
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server.nextPendingConnection())
            receive(socket);
    });
}

QString SingleInstance::defaultName()
{
    return QStringLiteral("korvel-%1").arg(getuid());
}

bool SingleInstance::handOff(const QStringList& args) const
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(1000))
        return false;
    QByteArray message;
    QDataStream stream(&message, QIODevice::WriteOnly);
    stream << args;
    socket.write(message);
    socket.waitForBytesWritten(1000);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::listen()
{
    // A socket left by a crashed instance would block the name; nobody answered on it, so it is stale.
    QLocalServer::removeServer(m_name);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    return m_server.listen(m_name);
}

void SingleInstance::receive(QLocalSocket* socket)
{
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
        QDataStream in(socket);
        in.startTransaction();
        QStringList args;
        in >> args;
        if (!in.commitTransaction())
            return;
        if (onMessage)
            onMessage(args);
    });
}
