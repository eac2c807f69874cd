#include "ui/notch/NotchContentView.h"

#include "prefs/Prefs.h"
#include "tests/support/PrefsGuard.h"
#include "ui/card/CardRenderer.h"
#include "ui/look/Accent.h"
#include "ui/look/Theme.h"
#include "ui/notch/CardPreview.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QEnterEvent>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

bool near(const QColor& a, const QColor& b, int tolerance = 8)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
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
    PrefsGuard guard;
    NotchContentView view;
    ViewFixture() { view.resize(180, NotchContentView::collapsedH); }
};

// Middle pixel of a sprite cell for a ten-column sprite in that view: the grid starts at (19.5, 6), cells of 2.5.
QPoint cellPixel(int row, int col)
{
    return QPoint(int(19.5 + 2.5 * col + 1.25), int(6 + 2.5 * row + 1.25));
}

// The brightest pixel in area and the bounding box of all pixels that are not black.
std::pair<QColor, QRect> inkIn(const QImage& image, const QRect& area)
{
    QColor best(Qt::black);
    QRect ink;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.value() > best.value())
                best = c;
            if (c.value() > 0)
                ink |= QRect(x, y, 1, 1);
        }
    return {best, ink};
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
    Stats stats = sampleStats();
    const std::pair<int, const char*> cases[] = {{0, "+12k"},  {1, "$3.50"}, {2, "0d"}, {3, "1.5k"},
                                                 {4, "$1.5k"}, {5, "1.5M"},  {6, "42"}, {9, "42"}};
    for (const auto& [index, text] : cases) {
        Prefs::setInteger(PrefKey::WingStat, index);
        EXPECT_EQ(NotchContentView::wingValue(stats).toStdString(), text) << index;
    }
    stats.streakCurrent = 5;
    Prefs::setInteger(PrefKey::WingStat, 2);
    EXPECT_EQ(NotchContentView::wingValue(stats).toStdString(), "5d");
}

TEST(NotchContentViewTest, RightWingGrowsWithItsTextAndEndsWithTheBody)
{
    ViewFixture f;
    EXPECT_EQ(f.view.rightWingRect(), QRectF(103, 0, 66, 32));
    f.view.stats = sampleStats();
    Prefs::setInteger(PrefKey::WingStat, 4);
    f.view.stats->cost = 123456789; // "$123456.8k"
    const double width = f.view.rightStatWidth();
    ASSERT_GT(width, 44);
    EXPECT_EQ(f.view.rightWingRect(), QRectF(169 - width - 22, 0, width + 22, 32));
    Prefs::setReal(PrefKey::NotchFlare, 20);
    f.view.stripH = 40;
    EXPECT_EQ(f.view.rightWingRect(), QRectF(160 - width - 22, 0, width + 22, 40));
}

TEST(NotchContentViewTest, RenderIsABlackNotchWithTheSpriteAndNumberInTheStateColour)
{
    ViewFixture f;
    f.view.debugSpriteOverride = 0; // the Ship: its mast tip at row 0 column 4, water (accent) in row 6
    QImage image = f.view.renderImage();
    ASSERT_EQ(image.size(), QSize(180, 32));
    EXPECT_EQ(image.pixelColor(60, 16), QColor(Qt::black));
    for (auto [x, y] : {std::pair{2, 20}, {177, 20}, {11, 31}, {168, 31}})
        EXPECT_EQ(image.pixelColor(x, y).alpha(), 0) << x << "," << y;
    EXPECT_EQ(image.pixelColor(cellPixel(0, 4)), Accent::current().color);
    EXPECT_TRUE(near(image.pixelColor(cellPixel(6, 0)), Accent::current().dim(), 1));
    EXPECT_EQ(image.pixelColor(cellPixel(0, 0)), QColor(Qt::black));

    const QRect wing = f.view.rightWingRect().toAlignedRect();
    EXPECT_EQ(inkIn(image, wing).first, QColor(Qt::black)) << "no statistics, no number";
    f.view.stats = sampleStats();
    const auto [accent, ink] = inkIn(f.view.renderImage(), wing);
    EXPECT_NEAR(ink.center().x(), f.view.rightWingRect().center().x(), 2);
    EXPECT_NEAR(ink.center().y(), 16, 3);
    EXPECT_TRUE(near(accent, Accent::current().color));

    f.view.amber = true;
    image = f.view.renderImage();
    EXPECT_EQ(image.pixelColor(cellPixel(0, 4)), Theme::amber());
    EXPECT_TRUE(near(inkIn(image, wing).first, Theme::amber()));
    f.view.celebrating = true;
    image = f.view.renderImage();
    EXPECT_EQ(image.pixelColor(cellPixel(0, 4)), QColor(223, 233, 255)) << "a celebration flashes white";
    EXPECT_EQ(image.pixelColor(cellPixel(6, 0)), Theme::amber());

    EXPECT_EQ(f.view.grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied), f.view.renderImage())
        << "the widget paints what it renders";
    f.view.expanded = true;
    const QColor edge = f.view.renderImage().pixelColor(11, 15);
    EXPECT_GT(edge.blue(), std::max(edge.red(), 10)) << "the expanded outline is stroked";
}

TEST(NotchContentViewTest, SpriteFollowsTheFrameCounterTheOverrideAndTheTick)
{
    ViewFixture f;
    Prefs::setInteger(PrefKey::SpriteKind, 4);
    const auto antenna = [&](int row) { return f.view.renderImage().pixelColor(cellPixel(row, 2)); };
    // The Invader's antenna sits in row 0 in frame 0 and hops to row 1 in frame 1.
    EXPECT_EQ(antenna(0), Accent::current().color);
    f.view.animFrame = 5;
    EXPECT_EQ(antenna(0), QColor(Qt::black));
    EXPECT_EQ(antenna(1), Accent::current().color);
    f.view.animFrame = 0;
    f.view.debugSpriteOverride = 2; // Wave: nothing in row 0
    EXPECT_EQ(antenna(0), QColor(Qt::black));
    f.view.debugSpriteOverride = 9;
    EXPECT_EQ(antenna(0), Accent::current().color) << "an override out of range is ignored";

    // A tick steps the frame round and counts a celebration down.
    EXPECT_TRUE(f.view.isAnimating());
    f.view.animFrame = 11;
    f.view.celebrating = true;
    f.view.celebrateFrames = 2;
    f.view.tick();
    EXPECT_EQ(f.view.animFrame, 0);
    EXPECT_TRUE(f.view.celebrating);
    f.view.tick();
    EXPECT_FALSE(f.view.celebrating);
}

TEST(NotchContentViewTest, ExpansionLaysOutAndRendersTheCardButtonsAndWarning)
{
    ViewFixture f;
    NotchContentView& view = f.view;
    view.resize(482, 330);
    Stats stats = sampleStats();
    stats.streakCurrent = 5;
    view.stats = stats;
    view.amber = true;
    Prefs::setInteger(PrefKey::AccentTheme, 1);
    view.setExpanded(true);
    EXPECT_EQ(view.configureBtn->geometry(), QRect(355, 275, 102, 30));
    EXPECT_EQ(view.cardView->image(), CardRenderer::image(stats));
    EXPECT_EQ(view.protectLabel->text().toStdString(), "protect your 5d streak \u2014 you haven't shipped today");
    EXPECT_TRUE(view.protectLabel->isVisibleTo(&view));
    for (QPushButton* button : {view.downloadBtn, view.copyBtn, view.refreshBtn, view.configureBtn})
        EXPECT_EQ(button->focusPolicy(), Qt::NoFocus);
    const QImage button = view.downloadBtn->grab().toImage();
    EXPECT_TRUE(near(inkIn(button, button.rect()).first, Accent::all()[1].color)) << "the accent of this expansion";

    view.stats->linesAdded = 777777;
    view.refreshCard();
    EXPECT_EQ(view.cardView->image(), CardRenderer::image(*view.stats));

    view.show(); // a hidden widget learns of a resize only when shown
    Prefs::setReal(PrefKey::NotchFlare, 20);
    view.resize(500, 330);
    EXPECT_EQ(view.configureBtn->geometry(), QRect(364, 275, 102, 30)) << "moved with the body";

    view.amber = false;
    view.setExpanded(false);
    EXPECT_FALSE(view.cardView->isVisibleTo(&view) || view.configureBtn->isVisibleTo(&view));
    view.stats = stats;
    view.refreshCard();
    EXPECT_NE(view.cardView->image(), CardRenderer::image(stats)) << "collapsed, the card is left alone";
    view.setExpanded(true);
    EXPECT_EQ(view.cardView->image(), CardRenderer::image(stats));
    EXPECT_FALSE(view.protectLabel->isVisibleTo(&view));
}

TEST(NotchContentViewTest, ClicksCallTheirCallbacks)
{
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
    EXPECT_FALSE(f.view.collapsePending()) << "Configure keeps the overlay open";
    EXPECT_EQ(configured, f.view.configureBtn);
    EXPECT_EQ(calls, (std::vector<std::string>{"cycle", "menu 700", "download"}));
}

TEST(NotchContentViewTest, HoverExpandsAndCollapsesOnlyAfterTheDelay)
{
    ViewFixture f;
    std::vector<bool> requests;
    f.view.onExpandChange = [&](bool e) { requests.push_back(e); };
    const QPointF at(20, 10);
    send(f.view, QEnterEvent(at, at, at));
    send(f.view, QEvent(QEvent::Leave));
    EXPECT_TRUE(f.view.collapsePending());
    EXPECT_EQ(f.view.collapseTimer().interval(), 350);
    send(f.view, QEnterEvent(at, at, at));
    EXPECT_FALSE(f.view.collapsePending()) << "coming back within the delay cancels the collapse";
    EXPECT_EQ(requests, (std::vector<bool>{true, true}));

    send(f.view, QEvent(QEvent::Leave));
    ASSERT_TRUE(QMetaObject::invokeMethod(&f.view.collapseTimer(), "timeout"));
    EXPECT_EQ(requests, (std::vector<bool>{true, true, false}));
}
