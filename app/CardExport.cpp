#include "app/CardExport.h"

#include "prefs/Prefs.h"
#include "ui/card/CardRenderer.h"
#include "ui/look/Accent.h"

#include <QClipboard>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

namespace CardExport {

QString fileName(const Stats& stats)
{
    const QString day = stats.until ? QString::fromStdString(*stats.until) : QStringLiteral("card");
    return QStringLiteral("korvel-") + day + QStringLiteral(".png");
}

QString desktopDirectory()
{
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    return desktop.isEmpty() ? QDir::homePath() + QStringLiteral("/Desktop") : desktop;
}

QString save(const Stats& stats, const QString& dir)
{
    const auto png = CardRenderer::pngData(stats, Accent::current().color, Prefs::cardTexture());
    if (!png || !QDir().mkpath(dir))
        return {};
    const QString path = QDir(dir).filePath(fileName(stats));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(*png) != png->size() || !file.commit())
        return {};
    return path;
}

void reveal(const QString& path)
{
    // The freedesktop file-manager interface selects the file; without it, open the folder instead.
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 3000);
    if (reply.type() != QDBusMessage::ReplyMessage)
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
}

void copy(const Stats& stats)
{
    QGuiApplication::clipboard()->setImage(CardRenderer::image(stats, Accent::current().color, Prefs::cardTexture()));
}

} // namespace CardExport
