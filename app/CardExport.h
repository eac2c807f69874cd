#pragma once

#include "core/Stats.h"

#include <QString>

/// Saving and copying the share card.
namespace CardExport {

/// "korvel-" + the last active day (or "card") + ".png".
QString fileName(const Stats& stats);

/// The user's desktop folder (XDG_DESKTOP_DIR, ~/Desktop by default).
QString desktopDirectory();

/// Writes the card PNG into dir (created if missing), replacing a file of the same name; returns the path written,
/// or an empty string when the card could not be rendered or written.
QString save(const Stats& stats, const QString& dir);

/// Shows the file selected in the desktop's file manager, or opens its folder when no file manager answers.
void reveal(const QString& path);

/// Puts the card image on the clipboard.
void copy(const Stats& stats);

} // namespace CardExport
