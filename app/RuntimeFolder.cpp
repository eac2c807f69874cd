#include "app/RuntimeFolder.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace RuntimeFolder {

namespace {

QString refusal(const QString& folder, const QString& what, const QString& reason)
{
    return QStringLiteral("korvel: the runtime folder %1 (%2) %3; Korvel keeps the socket through which a second start "
                          "hands over its sign-in callback only in a folder that belongs to you alone (mode 0700). "
                          "Fix the folder or point XDG_RUNTIME_DIR at a private one.")
        .arg(folder, what, reason);
}

} // namespace

QString check(const QString& folder, const QString& what, bool refuseLink)
{
    struct stat st
    {
    };
    const QByteArray path = QFile::encodeName(folder);
    if ((refuseLink ? lstat(path.constData(), &st) : stat(path.constData(), &st)) != 0)
        return refusal(folder, what, QStringLiteral("cannot be used: ") + QString::fromLocal8Bit(std::strerror(errno)));
    if (S_ISLNK(st.st_mode))
        return refusal(folder, what, QStringLiteral("is a symbolic link"));
    if (!S_ISDIR(st.st_mode))
        return refusal(folder, what, QStringLiteral("is not a folder"));
    if (st.st_uid != getuid())
        return refusal(folder, what,
                       QStringLiteral("belongs to user %1, not to you (user %2)").arg(st.st_uid).arg(getuid()));
    if ((st.st_mode & 0077) != 0)
        return refusal(folder, what,
                       QStringLiteral("is open to other users (mode %1)").arg(st.st_mode & 0777, 4, 8, QChar(u'0')));
    return {};
}

Result locate()
{
    const QString configured = qEnvironmentVariable("XDG_RUNTIME_DIR");
    // A relative value is invalid by the base-directory rules and is ignored.
    if (QDir::isAbsolutePath(configured)) {
        const QString error = check(configured, QStringLiteral("XDG_RUNTIME_DIR"), false);
        return error.isEmpty() ? Result{configured, {}} : Result{{}, error};
    }
    // Without a session runtime folder: our own in /tmp. Whoever made it first owns it, so it is checked like any
    // other, and a link there (which anyone could have put in its place) is refused.
    const QString own = QStringLiteral("/tmp/korvel-runtime-%1").arg(getuid());
    if (mkdir(QFile::encodeName(own).constData(), 0700) != 0 && errno != EEXIST)
        return {{},
                refusal(own, QStringLiteral("XDG_RUNTIME_DIR is not set"),
                        QStringLiteral("cannot be created: ") + QString::fromLocal8Bit(std::strerror(errno)))};
    const QString error = check(own, QStringLiteral("XDG_RUNTIME_DIR is not set"), true);
    return error.isEmpty() ? Result{own, {}} : Result{{}, error};
}

} // namespace RuntimeFolder
