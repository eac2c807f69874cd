#include "ui/notch/ScreenInfo.h"

#include <QGuiApplication>
#include <QScreen>

namespace ScreenInfo {

namespace {

ScreenGeometry geometryOf(const QScreen& screen)
{
    ScreenGeometry geometry;
    geometry.frame = QRectF(screen.geometry());
    return geometry;
}

} // namespace

std::vector<ScreenGeometry> screens()
{
    std::vector<ScreenGeometry> result;
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary)
        result.push_back(geometryOf(*primary));
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen != primary)
            result.push_back(geometryOf(*screen));
    return result;
}

} // namespace ScreenInfo
