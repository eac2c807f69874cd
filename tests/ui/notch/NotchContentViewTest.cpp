#include "ui/notch/NotchContentView.h"

#include "prefs/Prefs.h"
#include "tests/support/PrefsGuard.h"
#include "tests/ui/SampleStats.h"
#include "ui/card/CardRenderer.h"
#include "ui/look/Accent.h"
#include "ui/look/Theme.h"
#include "ui/notch/CardPreview.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QEnterEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

// The brightest pixel in area.
QColor brightestIn(const QImage& image, const QRect& area)
{
    QColor best(Qt::black);
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixelColor(x, y).value() > best.value())
                best = image.pixelColor(x, y);
    return best;
}

bool near(const QColor& a, const QColor& b)
{
    return std::abs(a.red() - b.red()) <= 8 && std::abs(a.green() - b.green()) <= 8 &&
           std::abs(a.blue() - b.blue()) <= 8;
}

void send(QWidget& w, QEvent&& event)
{
    QApplication::sendEvent(&w, &event);
}

QMouseEvent press(QPointF at, Qt::MouseButton button = Qt::LeftButton)
{
    return QMouseEvent(QEvent::MouseButtonPress, at, at, button, button, Qt::NoModifier);
}

// A collapsed notch 180 wide: the sprite at its left end, the chosen figure in its right wing.
class NotchContentViewTest : public ::testing::Test
{
protected:
    PrefsGuard guard;
    NotchContentView view;
    const QRect sprite{19, 6, 25, 20};

    void SetUp() override { view.resize(180, NotchContentView::collapsedH); }
};

} // namespace

TEST_F(NotchContentViewTest, WingValueFollowsTheChosenStatistic)
{
    Stats stats = sampleStats();
    const std::pair<int, const char*> cases[] = {{0, "+12k"},  {1, "$3.50"}, {2, "0d"}, {3, "1.5k"},
                                                 {4, "$1.5k"}, {5, "1.5M"},  {6, "42"}, {9, "42"}};
    for (const auto& [index, text] : cases) {
        Prefs::setInteger(PrefKey::WingStat, index);
        EXPECT_EQ(NotchContentView::wingValue(stats).toStdString(), text) << index;
    }
}

TEST_F(NotchContentViewTest, RenderIsABlackNotchWithTheSpriteAndNumberInTheStateColourAndTheSpriteMoves)
{
    QImage image = view.renderImage();
    ASSERT_EQ(image.size(), QSize(180, 32));
    EXPECT_EQ(image.pixelColor(90, 16), QColor(Qt::black));
    for (auto [x, y] : {std::pair{2, 20}, {177, 20}})
        EXPECT_EQ(image.pixelColor(x, y).alpha(), 0) << "outside the body at " << x;
    EXPECT_EQ(brightestIn(image, sprite), Accent::current().color);
    const QRect wing = view.rightWingRect().toAlignedRect();
    EXPECT_EQ(brightestIn(image, wing), QColor(Qt::black)) << "no statistics, no number";
    view.stats = sampleStats();
    EXPECT_TRUE(near(brightestIn(view.renderImage(), wing), Accent::current().color));

    view.amber = true;
    image = view.renderImage();
    EXPECT_EQ(brightestIn(image, sprite), Theme::amber());
    EXPECT_TRUE(near(brightestIn(image, wing), Theme::amber()));
    EXPECT_EQ(view.grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied), image)
        << "the widget paints what it renders";

    const QImage first = view.renderImage();
    view.animFrame = 1;
    EXPECT_NE(view.renderImage(), first);

    EXPECT_TRUE(view.isAnimating());
    view.animFrame = 11;
    view.celebrating = true;
    view.celebrateFrames = 2;
    view.tick();
    EXPECT_EQ(view.animFrame, 0);
    EXPECT_TRUE(view.celebrating);
    view.tick();
    EXPECT_FALSE(view.celebrating);
}

TEST_F(NotchContentViewTest, ExpansionShowsTheCardAndTheStreakWarning)
{
    view.resize(482, 330);
    Stats stats = sampleStats();
    stats.streakCurrent = 5;
    view.stats = stats;
    view.amber = true;
    view.setExpanded(true);
    EXPECT_EQ(view.cardView->image(), CardRenderer::image(stats));
    EXPECT_EQ(view.protectLabel->text().toStdString(), "protect your 5d streak \u2014 you haven't shipped today");
    EXPECT_TRUE(view.protectLabel->isVisibleTo(&view));

    view.amber = false;
    view.setExpanded(false);
    EXPECT_FALSE(view.cardView->isVisibleTo(&view) || view.configureBtn->isVisibleTo(&view));
    view.stats->linesAdded = 777777;
    view.refreshCard();
    EXPECT_EQ(view.cardView->image(), CardRenderer::image(stats)) << "collapsed, the card is left alone";
    view.setExpanded(true);
    EXPECT_EQ(view.cardView->image(), CardRenderer::image(*view.stats));
    EXPECT_FALSE(view.protectLabel->isVisibleTo(&view));
}

TEST_F(NotchContentViewTest, ClicksCallTheirCallbacksAndHoverCollapsesOnlyAfterTheDelay)
{
    std::vector<std::string> calls;
    QWidget* configured = nullptr;
    view.onCycle = [&] { calls.push_back("cycle"); };
    view.onDownload = [&] { calls.push_back("download"); };
    view.onConfigure = [&](QWidget* clicked) { configured = clicked; };
    view.onContextMenu = [&](QPoint at) { calls.push_back("menu " + std::to_string(at.x())); };
    send(view, press({20, 16}));
    send(view, press({160, 16}, Qt::RightButton));
    EXPECT_TRUE(calls.empty()) << "only a left click on the wing cycles";
    send(view, press({160, 16}));
    send(view, QContextMenuEvent(QContextMenuEvent::Mouse, QPoint(30, 5), QPoint(700, 5)));
    EXPECT_EQ(calls, (std::vector<std::string>{"cycle", "menu 700"}));

    view.resize(482, 330);
    view.setExpanded(true);
    send(view, QEvent(QEvent::Leave));
    view.downloadBtn->click();
    EXPECT_TRUE(view.collapsePending());
    view.configureBtn->click();
    EXPECT_FALSE(view.collapsePending()) << "Configure keeps the overlay open";
    EXPECT_EQ(configured, view.configureBtn);
    EXPECT_EQ(calls.back(), "download");

    std::vector<bool> requests;
    view.onExpandChange = [&](bool e) { requests.push_back(e); };
    const QPointF at(20, 10);
    send(view, QEnterEvent(at, at, at));
    send(view, QEvent(QEvent::Leave));
    EXPECT_TRUE(view.collapsePending());
    send(view, QEnterEvent(at, at, at));
    EXPECT_FALSE(view.collapsePending()) << "coming back within the delay cancels the collapse";
    send(view, QEvent(QEvent::Leave));
    ASSERT_TRUE(QMetaObject::invokeMethod(&view.collapseTimer(), "timeout"));
    EXPECT_EQ(requests, (std::vector<bool>{true, true, false}));
}
