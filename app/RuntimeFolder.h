#pragma once

#include <QString>

/// The folder for the single-instance socket and its lock: one that only this user can reach.
namespace RuntimeFolder {

/// Either a usable folder or why there is none.
struct Result
{
    QString path;
    QString error;
};

/// $XDG_RUNTIME_DIR when it is set to an absolute path; otherwise a folder of our own under /tmp, created
/// private. The folder must belong to this user and be closed to everyone else.
Result locate();

/// Why folder cannot hold the socket, or an empty text when it can. what names the folder in the message.
QString check(const QString& folder, const QString& what, bool refuseLink);

} // namespace RuntimeFolder
