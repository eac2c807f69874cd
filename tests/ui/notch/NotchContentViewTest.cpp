#include "ui/notch/NotchContentView.h"

#include "prefs/Prefs.h"
#include "tests/support/PrefsGuard.h"
#include "ui/card/CardRenderer.h"
#include "ui/look/Accent.h"
#include "ui/look/Font.h"
#include "ui/look/Theme.h"
#include "ui/notch/CardPreview.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QEnterEvent>
#include <QFontMetricsF>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <vector>

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

void send(QWidget& w, QEvent&& event)
{
    QApplication::sendEvent(&w, &event);
}

QMouseEvent press(QPointF at, Qt::MouseButton button = Qt::LeftButton)
{
    return QMouseEvent(QEvent::MouseButtonPress, at, at, button, button, Qt::NoModifier);
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

TEST(NotchContentViewTest, ExpandedLayoutFitsCardButtonsAndWarningIntoTheBody)
{
    PrefsGuard guard;
    NotchContentView view;
    view.resize(482, 330);
    view.setExpanded(true);
    const auto layout = view.expandedLayout();
    EXPECT_EQ(layout.card, QRectF(25, 38, 432, 226.8));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(layout.buttons[size_t(i)], QRectF(25 + 110 * i, 274.8, 102, 30)) << i;
    EXPECT_EQ(layout.label, QRectF(25, 312.8, 432, 16));
    EXPECT_EQ(view.cardView->geometry(), QRect(25, 38, 432, 227));
    EXPECT_EQ(view.configureBtn->geometry(), QRect(355, 275, 102, 30));
    EXPECT_EQ(view.protectLabel->geometry(), QRect(25, 313, 432, 16));
    EXPECT_TRUE(view.cardView->isVisibleTo(&view) && view.downloadBtn->isVisibleTo(&view));

    view.show(); // a hidden widget learns of a resize only when shown
    Prefs::setReal(PrefKey::NotchFlare, 20);
    view.resize(500, 330);
    EXPECT_EQ(view.cardView->geometry(), QRect(34, 38, 432, 227));
    EXPECT_EQ(view.configureBtn->geometry(), QRect(364, 275, 102, 30));
    view.setExpanded(false);
    EXPECT_FALSE(view.cardView->isVisibleTo(&view) || view.configureBtn->isVisibleTo(&view));
}

TEST(NotchContentViewTest, CardAndWarningAreRenderedOnExpansion)
{
    PrefsGuard guard;
    NotchContentView view;
    view.resize(482, 330);
    Stats stats = sampleStats();
    stats.streakCurrent = 5;
    view.stats = stats;
    view.amber = true;
    view.setExpanded(true);
    EXPECT_EQ(view.cardView->image(), CardRenderer::image(stats));
    const QImage preview = view.cardView->grab().toImage();
    EXPECT_EQ(preview.pixelColor(0, 0).alpha(), 0);
    EXPECT_EQ(preview.pixelColor(216, 113).alpha(), 255);
    EXPECT_TRUE(view.protectLabel->isVisibleTo(&view));
    EXPECT_EQ(view.protectLabel->text().toStdString(), "protect your 5d streak \u2014 you haven't shipped today");

    const Stats first = stats;
    view.stats->linesAdded = 777777;
    view.refreshCard();
    EXPECT_EQ(view.cardView->image(), CardRenderer::image(*view.stats));
    view.amber = false;
    view.setExpanded(false);
    view.stats = first;
    view.refreshCard();
    EXPECT_NE(view.cardView->image(), CardRenderer::image(first));
    view.setExpanded(true);
    EXPECT_FALSE(view.protectLabel->isVisibleTo(&view));
}

TEST(NotchContentViewTest, ButtonsTakeNoFocusAndFollowTheAccentAtEachExpansion)
{
    PrefsGuard guard;
    NotchContentView view;
    EXPECT_EQ(view.configureBtn->text().toStdString(), "\u2699 Configure");
    Prefs::setInteger(PrefKey::AccentTheme, 1);
    view.setExpanded(true);
    for (QPushButton* button : {view.downloadBtn, view.copyBtn, view.refreshBtn, view.configureBtn})
        EXPECT_EQ(button->focusPolicy(), Qt::NoFocus);
    const QImage button = view.downloadBtn->grab().toImage();
    EXPECT_TRUE(near(button.pixelColor(button.width() / 2, 0), QColor(20, 22, 29), 2));
    EXPECT_TRUE(near(brightestIn(button, button.rect()), Accent::all()[1].color, 8));
}

TEST(NotchContentViewTest, ClicksCallTheirCallbacks)
{
    PrefsGuard guard;
    ViewFixture f;
    std::vector<std::string> calls;
    QWidget* configured = nullptr;
    f.view.onCycle = [&] { calls.push_back("cycle"); };
    f.view.onDownload = [&] { calls.push_back("download"); };
    f.view.onConfigure = [&](QWidget* clicked) { configured = clicked; };
    f.view.onContextMenu = [&](QPoint at) { calls.push_back("menu " + std::to_string(at.x())); };
    send(f.view, press({20, 16}));
    send(f.view, press({90, 16}));
    send(f.view, press({160, 16}, Qt::RightButton));
    EXPECT_TRUE(calls.empty());
    send(f.view, press({160, 16}));
    send(f.view, QContextMenuEvent(QContextMenuEvent::Mouse, QPoint(30, 5), QPoint(700, 5)));
    EXPECT_EQ(calls, (std::vector<std::string>{"cycle", "menu 700"}));

    f.view.resize(482, 330);
    f.view.setExpanded(true);
    send(f.view, press({440, 16}));
    send(f.view, QEvent(QEvent::Leave));
    f.view.downloadBtn->click();
    EXPECT_TRUE(f.view.collapsePending());
    f.view.configureBtn->click();
    EXPECT_FALSE(f.view.collapsePending());
    EXPECT_EQ(configured, f.view.configureBtn);
    EXPECT_EQ(calls, (std::vector<std::string>{"cycle", "menu 700", "download"}));
}

TEST(NotchContentViewTest, HoverExpandsAndCollapsesOnlyAfterTheDelay)
{
    PrefsGuard guard;
    ViewFixture f;
    std::vector<bool> requests;
    f.view.onExpandChange = [&](bool e) { requests.push_back(e); };
    const QPointF at(20, 10);
    send(f.view, QEnterEvent(at, at, at));
    send(f.view, QEvent(QEvent::Leave));
    QTest::qWait(100);
    send(f.view, QEnterEvent(at, at, at));
    QTest::qWait(450);
    EXPECT_EQ(requests, (std::vector<bool>{true, true}));

    send(f.view, QEvent(QEvent::Leave));
    EXPECT_TRUE(QTest::qWaitFor([&] { return requests.size() == 3; }, 3000));
    EXPECT_EQ(requests.back(), false);
}

TEST(NotchContentViewTest, TickAdvancesTheFrameAndEndsACelebration)
{
    PrefsGuard guard;
    ViewFixture f;
    EXPECT_TRUE(f.view.isAnimating());
    f.view.stopAnimating();
    EXPECT_FALSE(f.view.isAnimating());
    f.view.animFrame = 10;
    f.view.celebrating = true;
    f.view.celebrateFrames = 3;
    f.view.tick();
    f.view.tick();
    EXPECT_EQ(f.view.animFrame, 0);
    EXPECT_TRUE(f.view.celebrating);
    f.view.tick();
    EXPECT_EQ(f.view.animFrame, 1);
    EXPECT_FALSE(f.view.celebrating);
}
