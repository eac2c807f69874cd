#pragma once

#include <QPainter>
#include <ostream>
#include <string>

/// PNG renders of the card, the sprites and the notch outline, for inspection from a terminal. Each makes its own
/// headless application (the "offscreen" platform unless QT_QPA_PLATFORM says otherwise).
namespace DebugRenders {

/// Width of the notch body in the outline scenes, before the flares.
constexpr double dbgBodyW = 180;

/// The share card over the real statistics. Each render says what it wrote on out and returns 0, or says why it
/// wrote nothing on err and returns 1.
int writeCard(const std::string& path, std::ostream& out, std::ostream& err);

/// Every sprite in a collapsed notch, four animation frames each.
int writeSprites(const std::string& path, std::ostream& out, std::ostream& err);

/// The notch outline over a mock desktop, with its top-left corner magnified zoom times.
int writeNotchDebug(const std::string& path, int zoom, std::ostream& out, std::ostream& err);

/// The mock desktop with its menu bar and the notch outline, in a y-down space of sceneW x sceneH.
void drawNotchSceneGeometry(QPainter& p, double sceneW, double sceneH);

} // namespace DebugRenders
