#pragma once

#include <QString>
#include <optional>

/// The desktop's autostart entry that starts Korvel at login (the freedesktop autostart folder).
class StartAtLogin
{
public:
    /// entryPath: the autostart file; program: the executable the entry starts.
    StartAtLogin(QString entryPath, QString program);

    /// $XDG_CONFIG_HOME/autostart/korvel.desktop (~/.config when unset), starting the running executable.
    static StartAtLogin forThisUser();

    const QString& entryPath() const { return m_entryPath; }
    bool enabled() const;
    /// Writes or removes the entry; on failure returns why, and an existing entry stays as it was.
    std::optional<QString> setEnabled(bool on) const;
    /// The text of the entry.
    QString entryText() const;

private:
    QString m_entryPath;
    QString m_program;
};
