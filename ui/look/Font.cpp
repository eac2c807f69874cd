#include "ui/look/Font.h"

#include <QFontDatabase>
#include <QStringList>

namespace Font {
namespace {

const QString kFamily = QStringLiteral("Departure Mono");

} // namespace

void registerFont()
{
    pixelFontAvailable();
}

bool pixelFontAvailable()
{
    // Registered once per process; a failed attempt is not retried.
    static const bool available = [] {
        const int id = QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/DepartureMono-Regular.otf"));
        return id >= 0 && QFontDatabase::applicationFontFamilies(id).contains(kFamily);
    }();
    return available;
}

QFont pixel(double pixelSize)
{
    QFont font = pixelFontAvailable() ? QFont(kFamily) : QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(qMax(1, qRound(pixelSize)));
    return font;
}

} // namespace Font
