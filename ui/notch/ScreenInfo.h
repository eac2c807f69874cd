#pragma once

#include <QRectF>
#include <vector>

/// One screen as the notch placement needs it, in global coordinates with y growing downward.
struct ScreenGeometry
{
    QRectF frame;
};

namespace ScreenInfo {

/// The connected screens, the primary one first.
std::vector<ScreenGeometry> screens();

} // namespace ScreenInfo
