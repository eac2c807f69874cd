#include "ui/notch/NotchContentView.h"

#include "tests/ui/SampleStats.h"
#include "ui/card/CardRenderer.h"
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

// A collapsed notch 180 wide in the Lime accent with the default shape: the sprite at its left end, the chosen
// figure in its right wing.
class NotchContentViewTest : public ::testing::Test
{
protected:
    NotchContentView view;
    OverlayLook look{.accent = Accent::of(AccentChoice::Lime), .flare = 11, .collapsedRound = 13, .expandedRound = 16};
    const QRect sprite{19, 6, 25, 20};

    void SetUp() override
    {
        view.resize(180, NotchContentView::collapsedH);
        show(std::nullopt);
    }

    void show(const std::optional<Stats>& stats, bool amber = false)
    {
        view.setState(NotchState::of(stats, amber, look, view.state()));
    }

    void expand(bool expanded)
    {
        NotchState state = view.state();
        state.expanded = expanded;
        view.setState(state);
    }

    QRect wing() const { return view.rightWingRect().toAlignedRect(); }
};

} // namespace

TEST_F(NotchContentViewTest, TheNumberAppearsOnlyWithFiguresAndAmberColoursTheWholeStrip)
{
    EXPECT_EQ(brightestIn(view.renderImage(), wing()), QColor(Qt::black));
    EXPECT_EQ(brightestIn(view.renderImage(), sprite), look.accent.color);
    show(sampleStats());
    EXPECT_TRUE(near(brightestIn(view.renderImage(), wing()), look.accent.color));
    show(sampleStats(), true);
    const QImage image = view.renderImage();
    EXPECT_EQ(brightestIn(image, sprite), Theme::amber());
    EXPECT_TRUE(near(brightestIn(image, wing()), Theme::amber()));
    EXPECT_EQ(view.grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied), image)
        << "the widget paints what it renders";
}

TEST_F(NotchContentViewTest, CelebrationEndsAfterItsSteps)
{
    NotchState state = view.state();
    state.celebrating = true;
    state.celebrateFrames = 2;
    view.setState(state);
    view.tick();
    EXPECT_TRUE(view.state().celebrating);
    view.tick();
    EXPECT_FALSE(view.state().celebrating);
}

TEST_F(NotchContentViewTest, ExpansionShowsTheStreakWarning)
{
    view.resize(482, 330);
    Stats stats = sampleStats();
    stats.streakCurrent = 5;
    show(stats, true);
    expand(true);
    EXPECT_EQ(view.protectLabel->text().toStdString(), "protect your 5d streak \u2014 you haven't shipped today");
    EXPECT_TRUE(view.protectLabel->isVisibleTo(&view));
}

TEST_F(NotchContentViewTest, TheCardFollowsNewFiguresOnlyWhileExpanded)
{
    view.resize(482, 330);
    show(sampleStats());
    expand(true);
    Stats changed = sampleStats();
    changed.linesAdded = 777777;
    show(changed, true);
    EXPECT_EQ(view.cardView->image(), CardRenderer::image(changed, look.accent.color, look.texture));
    EXPECT_FALSE(view.protectLabel->isVisibleTo(&view)) << "the warning waits for the next expansion";
    expand(false);
    EXPECT_FALSE(view.cardView->isVisibleTo(&view) || view.configureBtn->isVisibleTo(&view));
    show(sampleStats());
    EXPECT_EQ(view.cardView->image(), CardRenderer::image(changed, look.accent.color, look.texture));
    expand(true);
    EXPECT_EQ(view.cardView->image(), CardRenderer::image(sampleStats(), look.accent.color, look.texture));
}

TEST_F(NotchContentViewTest, OnlyALeftClickOnTheWingCycles)
{
    int cycles = 0;
    view.onCycle = [&] { ++cycles; };
    send(view, press({20, 16}));
    send(view, press({160, 16}, Qt::RightButton));
    EXPECT_EQ(cycles, 0);
    send(view, press({160, 16}));
    EXPECT_EQ(cycles, 1);
}

TEST_F(NotchContentViewTest, RightClickAsksForTheMenuAtThePointer)
{
    std::optional<QPoint> at;
    view.onContextMenu = [&](QPoint p) { at = p; };
    send(view, QContextMenuEvent(QContextMenuEvent::Mouse, QPoint(30, 5), QPoint(700, 5)));
    EXPECT_EQ(at, QPoint(700, 5));
}

TEST_F(NotchContentViewTest, OnlyConfigureKeepsTheOverlayOpen)
{
    int downloads = 0;
    QWidget* configured = nullptr;
    view.onDownload = [&] { ++downloads; };
    view.onConfigure = [&](QWidget* clicked) { configured = clicked; };
    view.resize(482, 330);
    expand(true);
    send(view, QEvent(QEvent::Leave));
    view.downloadBtn->click();
    EXPECT_EQ(downloads, 1);
    EXPECT_TRUE(view.collapsePending());
    view.configureBtn->click();
    EXPECT_FALSE(view.collapsePending());
    EXPECT_EQ(configured, view.configureBtn);
}

TEST_F(NotchContentViewTest, HoverCollapsesOnlyAfterTheDelay)
{
    std::vector<bool> requests;
    view.onExpandChange = [&](bool e) { requests.push_back(e); };
    const QPointF at(20, 10);
    send(view, QEnterEvent(at, at, at));
    send(view, QEvent(QEvent::Leave));
    send(view, QEnterEvent(at, at, at));
    EXPECT_FALSE(view.collapsePending()) << "coming back within the delay cancels the collapse";
    send(view, QEvent(QEvent::Leave));
    ASSERT_TRUE(QMetaObject::invokeMethod(&view.collapseTimer(), "timeout"));
    EXPECT_EQ(requests, (std::vector<bool>{true, true, false}));
}
