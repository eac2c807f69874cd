#include "ui/settings/StartAtLogin.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>

namespace {

// The Exec key's quoting: an argument with a reserved character goes in double quotes, inside which the double quote,
// backquote, dollar and backslash take a backslash; a literal percent sign is doubled. The key's value is then a
// desktop-entry string, whose own escape for a backslash applies on top.
QString execArgument(const QString& program)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    const bool quote = std::any_of(program.begin(), program.end(), [](QChar c) { return reserved.contains(c); });
    QString arg;
    for (const QChar c : program) {
        if (quote && (c == u'"' || c == u'`' || c == u'$' || c == u'\\'))
            arg += u'\\';
        arg += c;
    }
    arg.replace(QStringLiteral("%"), QStringLiteral("%%"));
    if (quote)
        arg = u'"' + arg + u'"';
    return arg.replace(QStringLiteral("\\"), QStringLiteral("\\\\"));
}

QString configHome()
{
    // A relative value is invalid by the base-directory rules and is ignored.
    const QString configured = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (QDir::isAbsolutePath(configured))
        return configured;
    return QDir::homePath() + QStringLiteral("/.config");
}

} // namespace

StartAtLogin::StartAtLogin(QString entryPath, QString program)
    : m_entryPath(std::move(entryPath)), m_program(std::move(program))
{
}

StartAtLogin StartAtLogin::forThisUser()
{
    return StartAtLogin(configHome() + QStringLiteral("/autostart/korvel.desktop"),
                        QCoreApplication::applicationFilePath());
}

bool StartAtLogin::enabled() const
{
    return QFileInfo::exists(m_entryPath);
}

std::optional<QString> StartAtLogin::setEnabled(bool on) const
{
    if (!on) {
        QFile entry(m_entryPath);
        if (!entry.exists() || entry.remove())
            return std::nullopt;
        return entry.errorString();
    }
    const QString folder = QFileInfo(m_entryPath).absolutePath();
    if (!QDir().mkpath(folder))
        return QStringLiteral("cannot create %1").arg(folder);
    // Written aside and renamed into place, so a failed write never leaves half an entry.
    QSaveFile file(m_entryPath);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    file.write(entryText().toUtf8());
    if (!file.commit())
        return file.errorString();
    return std::nullopt;
}

QString StartAtLogin::entryText() const
{
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Korvel\n"
                          "Comment=Coding statistics of your AI agents in a pixel-art overlay\n"
                          "Exec=%1\n"
                          "Icon=korvel\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(execArgument(m_program));
}
