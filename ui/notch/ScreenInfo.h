#pragma once

#include <QRectF>
#include <optional>
#include <vector>

/// One screen as the notch placement needs it, in global coordinates with y growing downward.
struct ScreenGeometry
{
    QRectF frame;
    /// Height of the camera housing at the top edge; 0 on a screen without one.
    double safeAreaTop = 0;
    /// The top areas left and right of the camera housing, when the screen has one.
    std::optional<QRectF> auxiliaryTopLeft, auxiliaryTopRight;
};

namespace ScreenInfo {

/// The connected screens, the primary one first. No screen reports a camera housing here.
std::vector<ScreenGeometry> screens();

} // namespace ScreenInfo
