#pragma once

#include <QColor>
#include <QPalette>

class QLabel;

/// The look of Korvel's own windows (settings, leaderboard): dark, in the pixel font.
namespace DarkLook {

QPalette palette();

/// A label that shows its text as plain text, never as markup: texts come from servers and paths.
QLabel* label();

/// Sets a label's font size (in pixels) and colour.
void style(QLabel* label, double pixelSize, const QColor& colour);

} // namespace DarkLook
