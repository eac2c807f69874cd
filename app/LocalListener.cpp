#include "app/LocalListener.h"

#include <QFile>
#include <QLocalSocket>
#include <QSocketNotifier>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

LocalListener::LocalListener(int maxOpen) : m_maxOpen(maxOpen)
{
    m_backOff.setSingleShot(true);
    m_backOff.setInterval(kBackOffMs);
    connect(&m_backOff, &QTimer::timeout, this, [this] {
        if (m_notifier)
            m_notifier->setEnabled(true);
        acceptPending();
    });
}

LocalListener::~LocalListener()
{
    stop();
}

void LocalListener::stop()
{
    delete m_notifier;
    m_notifier = nullptr;
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
}

bool LocalListener::listen(const QString& path)
{
    stop();
    m_path = path;
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const auto fail = [&](const char* why) {
        m_error = QString::fromLocal8Bit(why);
        stop();
        return false;
    };
    if (static_cast<size_t>(name.size()) >= sizeof address.sun_path)
        return fail("the path is too long for a socket");
    std::memcpy(address.sun_path, name.constData(), static_cast<size_t>(name.size()));
    m_fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_fd < 0)
        return fail(strerror(errno));
    ::unlink(name.constData());
    if (bind(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        chmod(name.constData(), 0600) != 0 || ::listen(m_fd, SOMAXCONN) != 0)
        return fail(strerror(errno));
    m_error.clear();
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &LocalListener::acceptPending);
    return true;
}

void LocalListener::acceptPending()
{
    while (m_fd >= 0) {
        const int fd = accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            const int cause = errno;
            if (cause == EINTR || cause == ECONNABORTED)
                continue;
            if (cause == EAGAIN || cause == EWOULDBLOCK)
                return;
            if (cause == EMFILE || cause == ENFILE || cause == ENOBUFS || cause == ENOMEM) {
                // Out of descriptors for now: the connection waits in the queue until some are given back.
                m_notifier->setEnabled(false);
                m_backOff.start();
                return;
            }
            std::fprintf(stderr, "korvel: the socket %s stopped accepting (%s); listening on it again\n",
                         qPrintable(m_path), strerror(cause));
            if (!listen(m_path))
                std::fprintf(stderr, "korvel: cannot listen on %s: %s\n", qPrintable(m_path), qPrintable(m_error));
            return;
        }
        if (m_open >= m_maxOpen) {
            close(fd);
            continue;
        }
        auto* socket = new QLocalSocket(this);
        socket->setSocketDescriptor(fd);
        ++m_open;
        connect(socket, &QObject::destroyed, this, [this] { --m_open; });
        if (onConnection)
            onConnection(socket);
        else
            socket->deleteLater();
    }
}
