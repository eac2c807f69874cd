#include "app/SingleInstance.h"

#include "app/HandOverMessage.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

constexpr char kAck = 'k';
constexpr int kRetryMs = 50;

} // namespace

SingleInstance::SingleInstance(QString folder, int patienceMs, int idleMs)
    : m_folder(std::move(folder)), m_patienceMs(patienceMs), m_idleMs(idleMs)
{
    m_listener.onConnection = [this](QLocalSocket* socket) { receive(socket); };
}

SingleInstance::~SingleInstance()
{
    if (m_lockFd >= 0)
        close(m_lockFd);
}

QString SingleInstance::socketPath() const
{
    return m_folder + QStringLiteral("/korvel.sock");
}

QString SingleInstance::lockPath() const
{
    return m_folder + QStringLiteral("/korvel.lock");
}

SingleInstance::Outcome SingleInstance::start(const QStringList& args)
{
    m_error.clear();
    if (takeLock()) {
        listen();
        return Outcome::First;
    }
    if (!m_error.isEmpty())
        return Outcome::Failed;
    return handOff(args) ? Outcome::HandedOver : Outcome::Failed;
}

bool SingleInstance::takeLock()
{
    // Held until this process ends (the kernel drops it even after a crash), so exactly one start can be first.
    m_lockFd = open(QFile::encodeName(lockPath()).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_lockFd < 0) {
        m_error = QStringLiteral("korvel: cannot open %1: %2").arg(lockPath(), QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    if (flock(m_lockFd, LOCK_EX | LOCK_NB) == 0)
        return true;
    const int cause = errno;
    close(m_lockFd);
    m_lockFd = -1;
    if (cause != EWOULDBLOCK)
        m_error = QStringLiteral("korvel: cannot lock %1: %2").arg(lockPath(), QString::fromLocal8Bit(strerror(cause)));
    return false;
}

bool SingleInstance::listen()
{
    // Only the lock holder gets here, so a socket left behind is stale: nobody else can be serving on it.
    if (m_listener.listen(socketPath()))
        return true;
    m_error = QStringLiteral("korvel: cannot listen on %1: %2; a later start cannot hand its arguments (a sign-in "
                             "callback) to this one")
                  .arg(socketPath(), m_listener.error());
    return false;
}

bool SingleInstance::handOff(const QStringList& args)
{
    // The running instance may still be on its way to listening, or busy with other connections (it closes those it
    // cannot serve yet): try again until the patience runs out.
    const QDeadlineTimer deadline(m_patienceMs);
    const QByteArray message = HandOverMessage::encode(args);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(socketPath());
        if (socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) {
            socket.write(message);
            // Its answer says the arguments arrived, not merely that they were written.
            if (socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime())) &&
                socket.waitForReadyRead(static_cast<int>(deadline.remainingTime())) &&
                socket.read(1) == QByteArray(1, kAck))
                return true;
        }
        QThread::msleep(kRetryMs);
    }
    m_error = QStringLiteral("korvel: another Korvel holds %1 but did not take the arguments on %2 within %3 s")
                  .arg(lockPath(), socketPath())
                  .arg(m_patienceMs / 1000.0);
    return false;
}

void SingleInstance::receive(QLocalSocket* socket)
{
    // A connection that brings nothing whole in time, or too much, must not hold one of the few places.
    auto* idle = new QTimer(socket);
    idle->setSingleShot(true);
    connect(idle, &QTimer::timeout, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
    idle->start(m_idleMs);
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
        const HandOverMessage::Decoded message = HandOverMessage::decode(socket->peek(socket->bytesAvailable()));
        if (message.state == HandOverMessage::Decoded::Invalid) {
            socket->abort();
            socket->deleteLater();
        }
        if (message.state != HandOverMessage::Decoded::Complete)
            return;
        socket->readAll();
        socket->write(QByteArray(1, kAck));
        socket->disconnectFromServer();
        if (onMessage)
            onMessage(message.args);
    });
}
