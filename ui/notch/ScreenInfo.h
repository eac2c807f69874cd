#pragma once

#include <QRectF>
#include <functional>
#include <vector>

class QObject;

/// One screen as the notch placement needs it, in global coordinates with y growing downward.
struct ScreenGeometry
{
    QRectF frame;
    /// What the desktop's panels leave free (the work area); the frame itself when no panel takes any of it.
    QRectF available;
};

namespace ScreenInfo {

/// The connected screens, the primary one first.
std::vector<ScreenGeometry> screens();

/// Calls changed whenever a screen is added or removed, the primary one changes, or a screen's frame or free area
/// changes, for as long as context lives.
void onChange(QObject* context, std::function<void()> changed);

} // namespace ScreenInfo
