#pragma once

#include <QPainter>
#include <ostream>
#include <string>

/// PNG renders of the card, the sprites and the notch outline, for inspection from a terminal. Each makes its own
/// headless application (the "offscreen" platform unless QT_QPA_PLATFORM says otherwise).
namespace DebugRenders {

/// Width of the notch body in the outline scenes, before the flares.
constexpr double dbgBodyW = 180;

/// The share card over the real statistics.
void writeCard(const std::string& path, std::ostream& out);

/// Every sprite in a collapsed notch, four animation frames each.
void writeSprites(const std::string& path, std::ostream& out);

/// The notch outline over a mock desktop, with its top-left corner magnified zoom times.
void writeNotchDebug(const std::string& path, int zoom, std::ostream& out);

/// The mock desktop with its menu bar and the notch outline, in a y-down space of sceneW x sceneH.
void drawNotchSceneGeometry(QPainter& p, double sceneW, double sceneH);

} // namespace DebugRenders
