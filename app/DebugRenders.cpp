#include "app/DebugRenders.h"

#include "app/LogSettings.h"
#include "core/StatsBuilder.h"
#include "prefs/Prefs.h"
#include "ui/card/CardRenderer.h"
#include "ui/look/Accent.h"
#include "ui/look/Font.h"
#include "ui/notch/NotchContentView.h"
#include "ui/notch/NotchShape.h"
#include "ui/notch/Sprites.h"

#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QFontMetricsF>
#include <QImage>
#include <cstdlib>

namespace DebugRenders {
namespace {

constexpr double kSceneW = 440;
constexpr double kSceneH = 200;
constexpr double kCropW = 34;
constexpr double kCropH = 30;
// The scene's outline keeps the built-in radius whatever the preference says: it shows the flare.
constexpr double kSceneRound = 13;

// A widget-capable application without a display, for as long as one render runs.
class HeadlessApp
{
    static bool choosePlatform()
    {
        return std::getenv("QT_QPA_PLATFORM") || setenv("QT_QPA_PLATFORM", "offscreen", 1) == 0;
    }

    // Declared first: the platform must be chosen before the application is constructed.
    bool m_platformChosen = choosePlatform();
    int m_argc = 1;
    char m_name[7] = "korvel";
    char* m_argv[2] = {m_name, nullptr};
    QApplication m_app{m_argc, m_argv};
};

QImage canvas(int width, int height, const QColor& fill)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(1);
    image.fill(fill);
    return image;
}

// Writes bytes to path; on failure says why on err, so that a render never reports a file it did not write.
bool writeFile(const std::string& path, const QByteArray& bytes, std::ostream& err)
{
    QFile file(QString::fromStdString(path));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size() && file.flush())
        return true;
    err << "korvel: could not write " << path << ": " << file.errorString().toStdString() << '\n';
    return false;
}

bool savePng(const QImage& image, const std::string& path, std::ostream& err)
{
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) {
        err << "korvel: could not encode the PNG for " << path << '\n';
        return false;
    }
    return writeFile(path, png, err);
}

// Text whose box sits with its bottom at boxBottom: what drawing at a point does in a y-up space.
void textAbove(QPainter& p, const QString& text, double x, double boxBottom, const QFont& font)
{
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QPointF(x, boxBottom - QFontMetricsF(font).descent()), text);
}

double sceneNotchWidth()
{
    return dbgBodyW + 2 * Prefs::notchFlare();
}

void drawSpriteRow(QPainter& p, int sprite, double top)
{
    NotchState state = NotchState::of(Stats(), false, OverlayLook::current(), NotchState());
    state.debugSpriteOverride = sprite;
    for (int k = 0; k < 4; ++k) {
        NotchContentView view;
        view.resize(158, NotchContentView::collapsedH);
        state.animFrame = 3 * k;
        view.setState(state);
        p.drawImage(QRectF(10 + 158 * k, top, 158, NotchContentView::collapsedH), view.renderImage());
    }
}

} // namespace

int writeCard(const std::string& path, std::ostream& out, std::ostream& err)
{
    HeadlessApp app;
    Font::registerFont();
    const auto png = CardRenderer::pngData(StatsEngine::buildStats(LogSettings::locations()), Accent::current().color,
                                           Prefs::cardTexture());
    if (!png) {
        err << "korvel: card render failed\n";
        return 1;
    }
    if (!writeFile(path, *png, err))
        return 1;
    out << "wrote " << png->size() << " bytes to " << path << '\n';
    return 0;
}

int writeSprites(const std::string& path, std::ostream& out, std::ostream& err)
{
    HeadlessApp app;
    Font::registerFont();
    const int rowH = NotchContentView::collapsedH + 22;
    const int count = static_cast<int>(Sprites::all().size());
    const int height = rowH * count + 10;
    QImage image = canvas(652, height, QColor(44, 44, 46));
    QPainter p(&image);
    p.setRenderHint(QPainter::TextAntialiasing);
    for (int i = 0; i < count; ++i) {
        // Rows run top to bottom; each name sits just above its row.
        const double rowTop = 22 + rowH * i;
        textAbove(p, Sprites::all()[static_cast<size_t>(i)].name, 12, rowTop - 3, Font::pixel(12));
        drawSpriteRow(p, i, rowTop);
    }
    p.end();
    if (!savePng(image, path, err))
        return 1;
    out << "wrote sprite filmstrip (" << count << " sprites x " << 4 << " frames) to " << path << '\n';
    return 0;
}

void drawNotchSceneGeometry(QPainter& p, double sceneW, double sceneH)
{
    p.fillRect(QRectF(0, 0, sceneW, sceneH), QColor(200, 129, 74));
    p.fillRect(QRectF(0, 0, sceneW, 24), QColor(30, 30, 30));
    const double w = sceneNotchWidth();
    const QRectF body((kSceneW - w) / 2, 0, w, 46);
    p.fillPath(NotchShape::path(body, kSceneRound, Prefs::notchFlare()), Qt::black);
}

int writeNotchDebug(const std::string& path, int zoom, std::ostream& out, std::ostream& err)
{
    HeadlessApp app;
    Font::registerFont();
    const double left = (kSceneW - sceneNotchWidth()) / 2;
    const int width = std::max(static_cast<int>(kCropW * zoom) + 20, static_cast<int>(kSceneW));
    const int height = static_cast<int>(kCropH * zoom + kSceneH + 30);
    QImage image = canvas(width, height, QColor(16, 16, 16));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    p.save();
    p.translate((width - kSceneW) / 2, 0);
    p.setClipRect(QRectF(0, 0, kSceneW, kSceneH));
    drawNotchSceneGeometry(p, kSceneW, kSceneH);
    p.restore();

    const QRectF crop((width - kCropW * zoom) / 2, kSceneH + 20, kCropW * zoom, kCropH * zoom);
    p.save();
    p.setClipRect(crop);
    p.translate(crop.topLeft());
    p.scale(zoom, zoom);
    p.translate(-(left - 5), 0);
    drawNotchSceneGeometry(p, kSceneW, kSceneH);
    p.restore();

    p.setPen(QPen(QColor(61, 123, 240), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(crop.adjusted(0.5, 0.5, -0.5, -0.5));
    textAbove(p, QStringLiteral("TOP-LEFT CORNER @ %1x").arg(zoom), crop.left(), crop.top() - 6, Font::pixel(11));
    p.end();
    if (!savePng(image, path, err))
        return 1;
    out << "wrote notch silhouette + " << zoom << "x corner zoom to " << path << '\n';
    return 0;
}

} // namespace DebugRenders
