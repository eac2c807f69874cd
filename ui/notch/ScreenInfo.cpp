#include "ui/notch/ScreenInfo.h"

#include <QGuiApplication>
#include <QScreen>

namespace ScreenInfo {

namespace {

ScreenGeometry geometryOf(const QScreen& screen)
{
    ScreenGeometry geometry;
    geometry.frame = QRectF(screen.geometry());
    geometry.available = QRectF(screen.availableGeometry());
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

void onChange(QObject* context, std::function<void()> changed)
{
    auto* app = qGuiApp;
    if (!app)
        return;
    const auto watch = [context, changed](QScreen* screen) {
        QObject::connect(screen, &QScreen::geometryChanged, context, changed);
        QObject::connect(screen, &QScreen::availableGeometryChanged, context, changed);
    };
    for (QScreen* screen : QGuiApplication::screens())
        watch(screen);
    QObject::connect(app, &QGuiApplication::screenAdded, context, [watch, changed](QScreen* screen) {
        watch(screen);
        changed();
    });
    QObject::connect(app, &QGuiApplication::screenRemoved, context, changed);
    QObject::connect(app, &QGuiApplication::primaryScreenChanged, context, changed);
}

} // namespace ScreenInfo
