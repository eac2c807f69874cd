#include "ui/notch/NotchContentView.h"

#include "prefs/Prefs.h"
#include "tests/support/PrefsGuard.h"
#include "ui/look/Accent.h"
#include "ui/look/Font.h"
#include "ui/look/Theme.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPixmap>
#include <cmath>
#include <gtest/gtest.h>
#include <string>

namespace {

std::string hex(const QColor& c)
{
    return c.name(QColor::HexArgb).toStdString();
}

bool near(const QColor& a, const QColor& b, int tolerance = 1)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance && std::abs(a.alpha() - b.alpha()) <= tolerance;
}

Stats sampleStats()
{
    Stats s;
    s.todayLinesAdded = 12345;
    s.todayCost = 3.5;
    s.streakCurrent = -1;
    s.linesAdded = 1000;
    s.linesRemoved = 500;
    s.cost = 1530;
    s.tokensIn = 1e6;
    s.tokensOut = 5e5;
    s.sessions = 42;
    return s;
}

// A collapsed notch 180 wide: with the default flare of 11 its body spans x 11 to 169.
struct ViewFixture
{
    NotchContentView view;
    ViewFixture() { view.resize(180, NotchContentView::collapsedH); }
};

// Middle pixel of a sprite cell for a ten-column sprite in that view: the grid starts at (19.5, 6), cells of 2.5.
QPoint cellPixel(int row, int col)
{
    return QPoint(int(19.5 + 2.5 * col + 1.25), int(6 + 2.5 * row + 1.25));
}

QColor brightestIn(const QImage& image, const QRect& area)
{
    QColor best(Qt::black);
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() + c.green() + c.blue() > best.red() + best.green() + best.blue())
                best = c;
        }
    return best;
}

// Bounding box of the coloured pixels (neither black nor see-through).
QRect inkIn(const QImage& image, const QRect& area)
{
    QRect ink;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixelColor(x, y).value() > 0)
                ink |= QRect(x, y, 1, 1);
    return ink;
}

} // namespace

TEST(NotchContentViewTest, WingValueFollowsTheChosenStatistic)
{
    PrefsGuard guard;
    const Stats stats = sampleStats();
    EXPECT_EQ(NotchContentView::wingValue(stats).toStdString(), "+12k");
    const std::pair<int, const char*> cases[] = {
        {0, "+12k"}, {1, "$3.50"}, {2, "0d"}, {3, "1.5k"}, {4, "$1.5k"}, {5, "1.5M"}, {6, "42"}, {9, "42"}, {-1, "42"},
    };
    for (const auto& [index, text] : cases) {
        Prefs::setInteger(PrefKey::WingStat, index);
        EXPECT_EQ(NotchContentView::wingValue(stats).toStdString(), text) << index;
    }
    Stats onStreak = stats;
    onStreak.streakCurrent = 5;
    Prefs::setInteger(PrefKey::WingStat, 2);
    EXPECT_EQ(NotchContentView::wingValue(onStreak).toStdString(), "5d");
}

TEST(NotchContentViewTest, RightWingIsAtLeast66WideAtTheEndOfTheBody)
{
    PrefsGuard guard;
    ViewFixture f;
    EXPECT_EQ(f.view.rightStatWidth(), 0);
    EXPECT_EQ(f.view.rightWingRect(), QRectF(103, 0, 66, 32));

    f.view.stats = sampleStats();
    EXPECT_GT(f.view.rightStatWidth(), 0);
    EXPECT_EQ(f.view.rightWingRect(), QRectF(103, 0, 66, 32));

    Prefs::setInteger(PrefKey::WingStat, 4);
    f.view.stats->cost = 123456789; // "$123456.8k"
    const double width = f.view.rightStatWidth();
    const double measured = QFontMetricsF(Font::pixel(13)).horizontalAdvance(QStringLiteral("$123456.8k"));
    EXPECT_EQ(width, std::ceil(measured));
    ASSERT_GT(width, 44);
    EXPECT_EQ(f.view.rightWingRect(), QRectF(169 - width - 22, 0, width + 22, 32));

    Prefs::setReal(PrefKey::NotchFlare, 20);
    f.view.stripH = 40;
    EXPECT_EQ(f.view.rightWingRect(), QRectF(160 - width - 22, 0, width + 22, 40));
}

TEST(NotchContentViewTest, CollapsedViewIsABlackNotchWithTheSpriteInTheAccent)
{
    PrefsGuard guard;
    ViewFixture f;
    f.view.debugSpriteOverride = 0;
    const QImage image = f.view.renderImage();
    ASSERT_EQ(image.size(), QSize(180, 32));
    EXPECT_EQ(hex(image.pixelColor(60, 16)), hex(Qt::black));
    EXPECT_EQ(hex(image.pixelColor(140, 28)), hex(Qt::black));
    for (auto [x, y] : {std::pair{2, 20}, {177, 20}, {11, 31}, {168, 31}})
        EXPECT_EQ(image.pixelColor(x, y).alpha(), 0) << x << "," << y;
    EXPECT_EQ(hex(image.pixelColor(cellPixel(0, 4))), hex(Accent::current().color));
    EXPECT_TRUE(near(image.pixelColor(cellPixel(6, 0)), Accent::current().dim()));
    EXPECT_EQ(hex(image.pixelColor(cellPixel(0, 0))), hex(Qt::black));
}

TEST(NotchContentViewTest, NumberIsCentredInTheRightWingInTheAccentOrAmber)
{
    PrefsGuard guard;
    ViewFixture f;
    const QRect wing = f.view.rightWingRect().toAlignedRect();
    EXPECT_EQ(hex(brightestIn(f.view.renderImage(), wing)), hex(Qt::black));

    f.view.stats = sampleStats();
    const QRectF ink = inkIn(f.view.renderImage(), wing);
    EXPECT_NEAR(ink.center().x(), f.view.rightWingRect().center().x(), 2);
    EXPECT_NEAR(ink.center().y(), 16, 3);
    const QColor accent = brightestIn(f.view.renderImage(), wing);
    EXPECT_TRUE(near(accent, Accent::current().color, 8)) << hex(accent);
    f.view.amber = true;
    const QColor amber = brightestIn(f.view.renderImage(), wing);
    EXPECT_TRUE(near(amber, Theme::amber(), 8)) << hex(amber);
}

TEST(NotchContentViewTest, SpriteTurnsAmberAndCelebrates)
{
    PrefsGuard guard;
    ViewFixture f;
    f.view.debugSpriteOverride = 0;
    f.view.amber = true;
    QImage image = f.view.renderImage();
    EXPECT_EQ(hex(image.pixelColor(cellPixel(0, 4))), hex(Theme::amber()));
    EXPECT_TRUE(near(image.pixelColor(cellPixel(6, 0)), QColor(115, 81, 38))) << hex(image.pixelColor(cellPixel(6, 0)));

    f.view.celebrating = true;
    image = f.view.renderImage();
    EXPECT_EQ(hex(image.pixelColor(cellPixel(0, 4))), hex(QColor(223, 233, 255)));
    EXPECT_EQ(hex(image.pixelColor(cellPixel(6, 0))), hex(Theme::amber()));

    f.view.amber = false;
    image = f.view.renderImage();
    EXPECT_EQ(hex(image.pixelColor(cellPixel(0, 4))), hex(QColor(223, 233, 255)));
    EXPECT_EQ(hex(image.pixelColor(cellPixel(6, 0))), hex(Accent::current().color));
}

TEST(NotchContentViewTest, SpriteFollowsTheFrameCounterAndTheOverride)
{
    PrefsGuard guard;
    Prefs::setInteger(PrefKey::SpriteKind, 4);
    ViewFixture f;
    const QString main = Accent::current().color.name();
    // The Invader's antenna sits in row 0 in frame 0 and hops to row 1 in frame 1.
    EXPECT_EQ(f.view.renderImage().pixelColor(cellPixel(0, 2)).name(), main);
    f.view.animFrame = 5;
    EXPECT_EQ(f.view.renderImage().pixelColor(cellPixel(0, 2)).name(), QColor(Qt::black).name());
    EXPECT_EQ(f.view.renderImage().pixelColor(cellPixel(1, 2)).name(), main);

    f.view.animFrame = 0;
    f.view.debugSpriteOverride = 2; // Wave: nothing in row 0, water in row 5
    EXPECT_EQ(f.view.renderImage().pixelColor(cellPixel(0, 2)).name(), QColor(Qt::black).name());
    f.view.debugSpriteOverride = 9;
    EXPECT_EQ(f.view.renderImage().pixelColor(cellPixel(0, 2)).name(), main);
}

TEST(NotchContentViewTest, ExpandedOutlineIsRounderAndStroked)
{
    PrefsGuard guard;
    ViewFixture f;
    EXPECT_EQ(hex(f.view.renderImage().pixelColor(15, 27)), hex(Qt::black));
    EXPECT_EQ(hex(f.view.renderImage().pixelColor(11, 15)), hex(Qt::black));
    f.view.expanded = true;
    const QImage image = f.view.renderImage();
    EXPECT_NE(hex(image.pixelColor(15, 27)), hex(Qt::black));
    const QColor edge = image.pixelColor(11, 15);
    EXPECT_GT(edge.blue(), edge.red());
    EXPECT_GT(edge.blue(), 10);
}

TEST(NotchContentViewTest, WidgetPaintsWhatItRenders)
{
    PrefsGuard guard;
    ViewFixture f;
    f.view.stats = sampleStats();
    f.view.amber = true;
    EXPECT_EQ(f.view.grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied), f.view.renderImage());
}
