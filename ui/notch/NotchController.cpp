#include "ui/notch/NotchController.h"

#include "prefs/Prefs.h"
#include "ui/notch/NotchContentView.h"
#include "ui/notch/NotchPanel.h"

#include <QEasingCurve>
#include <QPropertyAnimation>
#include <algorithm>
#include <cmath>

namespace {

constexpr double kMinCollapsedHeight = 20;
constexpr int kAnimationMs = 260;
// Twelve animation steps, one sprite cycle: about 2.2 seconds.
constexpr int kCelebrationSteps = 12;
// However the shape offsets are set, this much of the overlay stays on the screen, where it can be found and hovered.
constexpr double kMinOnScreenWidth = 40;
constexpr double kMinOnScreenHeight = 16;

QEasingCurve easeOut()
{
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(0, 0), QPointF(0.58, 1), QPointF(1, 1));
    return curve;
}

// A size that is not a number (a hand-edited preference) counts as the smallest one.
double visibleSize(double size, double minimum, double screenSize)
{
    return std::isfinite(size) ? std::clamp(size, minimum, std::max(screenSize, minimum)) : minimum;
}

// At least the minimum width of the panel over the screen, whichever way the x offset pushes it.
double visibleX(double x, double width, const QRectF& screen)
{
    if (!std::isfinite(x))
        return screen.center().x() - width / 2;
    return std::clamp(x, screen.left() - width + kMinOnScreenWidth, screen.right() - kMinOnScreenWidth);
}

// What the desktop's panels leave of the screen; the whole screen when the desktop says nothing sensible.
QRectF freeArea(const ScreenGeometry& screen)
{
    const QRectF free = screen.available.intersected(screen.frame);
    return free.width() >= kMinOnScreenWidth && free.height() >= kMinOnScreenHeight ? free : screen.frame;
}

} // namespace

NotchController::NotchController(std::function<std::vector<ScreenGeometry>()> screens)
    : m_screens(std::move(screens)), m_panel(std::make_unique<NotchPanel>())
{
    content()->onExpandChange = [this](bool expand) { changeExpanded(expand); };
    present(std::nullopt, false);
    computeGeometry();
    m_panel->setGeometry(frameFor(false));
    // A panel that starts after Korvel (both started at login), or a screen plugged in, moves the overlay.
    ScreenInfo::onChange(this, [this] {
        if (!content()->state().expanded)
            relayout();
    });
}

// Out of line: the header only declares NotchPanel.
NotchController::~NotchController() = default;

NotchPanel* NotchController::panel() const
{
    return m_panel.get();
}

NotchContentView* NotchController::content() const
{
    return m_panel->content();
}

bool NotchController::hidden() const
{
    return m_hidden;
}

bool NotchController::animating() const
{
    return m_animation && m_animation->state() == QAbstractAnimation::Running;
}

void NotchController::present(const std::optional<Stats>& stats, bool amber)
{
    NotchContentView* view = content();
    view->setState(NotchState::of(stats, amber, OverlayLook::current(), view->state()));
    computeGeometry();
    if (!view->state().expanded)
        m_panel->setGeometry(frameFor(false));
}

void NotchController::celebrate()
{
    NotchState state = content()->state();
    state.celebrating = true;
    state.celebrateFrames = kCelebrationSteps;
    content()->setState(std::move(state));
}

void NotchController::computeGeometry()
{
    // The list starts with the primary screen, which stands in for the main one.
    const std::vector<ScreenGeometry> screens = m_screens();
    if (!screens.empty())
        m_screen = screens.front();
}

QRect NotchController::frameFor(bool expanded) const
{
    const double flare = content()->state().look.flare;
    double base = expandedWidth;
    double height = expandedHeight;
    if (!expanded) {
        // The panel widens only when the right-hand value needs more than the narrowest wing, and never gets so
        // narrow that the sprite runs into the right wing's figure.
        const double extra = content()->rightWingWidth() - NotchContentView::minRightWingWidth;
        base = std::max(collapsedWidth + static_cast<double>(Prefs::integer(PrefKey::NotchWidthOffset)) + extra,
                        content()->minBodyWidth());
        height =
            std::max(NotchContentView::collapsedH + static_cast<double>(Prefs::integer(PrefKey::NotchHeightOffset)),
                     kMinCollapsedHeight);
    }
    double width = base + 2 * flare;
    const double dx = static_cast<double>(Prefs::integer(PrefKey::NotchXOffset));
    if (!m_screen)
        return QRect(qRound(-width / 2 + dx), 0, qRound(width), qRound(height));
    const QRectF free = freeArea(*m_screen);
    const double top = Prefs::flag(PrefKey::NotchAtScreenEdge) ? m_screen->frame.top() : free.top();
    width = visibleSize(width, kMinOnScreenWidth, free.width());
    height = visibleSize(height, kMinOnScreenHeight, free.bottom() - top);
    const double x = visibleX(m_screen->frame.center().x() - width / 2 + dx, width, free);
    return QRect(qRound(x), qRound(top), qRound(width), qRound(height));
}

void NotchController::relayout()
{
    // A hover resize still running would carry the panel on to the frame of the old settings.
    if (m_animation)
        m_animation->stop();
    NotchContentView* view = content();
    view->setState(NotchState::of(view->state().stats, view->state().amber, OverlayLook::current(), view->state()));
    computeGeometry();
    m_panel->setGeometry(frameFor(view->state().expanded));
}

void NotchController::setHidden(bool hide)
{
    m_hidden = hide;
    // A resize still running would move the panel away from the frame set here.
    if (m_animation)
        m_animation->stop();
    NotchContentView* view = content();
    if (hide) {
        view->hide();
        m_panel->hide();
        view->stopAnimating();
        return;
    }
    view->show();
    if (!view->isAnimating())
        view->startAnimating();
    computeGeometry();
    m_panel->setGeometry(frameFor(view->state().expanded));
    m_panel->show();
    m_panel->raise();
    view->update();
}

void NotchController::setOnDownload(std::function<void()> callback)
{
    content()->onDownload = std::move(callback);
}

void NotchController::setOnCopy(std::function<void()> callback)
{
    content()->onCopy = std::move(callback);
}

void NotchController::setOnRefresh(std::function<void()> callback)
{
    content()->onRefresh = std::move(callback);
}

void NotchController::setOnCycle(std::function<void()> callback)
{
    content()->onCycle = std::move(callback);
}

void NotchController::setOnConfigure(std::function<void(QWidget*)> callback)
{
    content()->onConfigure = std::move(callback);
}

void NotchController::setOnContextMenu(std::function<void(QPoint)> callback)
{
    content()->onContextMenu = std::move(callback);
}

void NotchController::changeExpanded(bool expand)
{
    NotchState state = content()->state();
    if (state.expanded == expand)
        return;
    state.expanded = expand;
    content()->setState(std::move(state));
    animateTo(frameFor(expand));
}

void NotchController::animateTo(const QRect& frame)
{
    if (m_animation)
        m_animation->stop();
    // Parented to the panel, so it cannot outlive the window it moves.
    auto* animation = new QPropertyAnimation(m_panel.get(), "geometry", m_panel.get());
    animation->setDuration(kAnimationMs);
    animation->setEasingCurve(easeOut());
    animation->setEndValue(frame);
    m_animation = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}
