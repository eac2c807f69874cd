#include "ui/notch/NotchController.h"

#include "prefs/Prefs.h"
#include "ui/notch/NotchContentView.h"
#include "ui/notch/NotchPanel.h"

#include <QEasingCurve>
#include <QPropertyAnimation>
#include <algorithm>
#include <cmath>

namespace {

// 55 points of wing on either side of the camera housing.
constexpr double kHousingWings = 110;
constexpr double kMinCollapsedHeight = 20;
constexpr int kAnimationMs = 260;
// However the shape offsets are set, this much of the overlay stays on the screen, where it can be found and hovered.
constexpr double kMinOnScreenWidth = 40;
constexpr double kMinOnScreenHeight = 16;

const ScreenGeometry* chooseScreen(const std::vector<ScreenGeometry>& screens)
{
    const auto withHousing =
        std::find_if(screens.begin(), screens.end(), [](const ScreenGeometry& s) { return s.safeAreaTop > 0; });
    if (withHousing != screens.end())
        return &*withHousing;
    // The list starts with the primary screen, which stands in for the main one.
    return screens.empty() ? nullptr : &screens.front();
}

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

} // namespace

NotchController::NotchController(std::function<std::vector<ScreenGeometry>()> screens)
    : m_screens(std::move(screens)), m_panel(std::make_unique<NotchPanel>())
{
    content()->onExpandChange = [this](bool expand) { changeExpanded(expand); };
    computeGeometry();
    m_panel->setGeometry(frameFor(false));
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

void NotchController::computeGeometry()
{
    const std::vector<ScreenGeometry> screens = m_screens();
    const ScreenGeometry* screen = chooseScreen(screens);
    if (!screen)
        return;
    m_screenTop = screen->frame.top();
    m_screenFrame = screen->frame;
    if (screen->auxiliaryTopLeft && screen->auxiliaryTopRight) {
        const double left = screen->auxiliaryTopLeft->right();
        const double right = screen->auxiliaryTopRight->left();
        m_notchCenterX = (left + right) / 2;
        m_collapsedWidth = std::max(right - left, 0.0) + kHousingWings;
    } else {
        m_notchCenterX = screen->frame.center().x();
        m_collapsedWidth = defaultCollapsedWidth;
    }
}

QRect NotchController::frameFor(bool expanded) const
{
    const double flare = Prefs::notchFlare();
    double base = expandedWidth;
    double height = expandedHeight;
    if (!expanded) {
        // The panel widens only when the right-hand value needs more than the narrowest wing.
        const double extra = content()->rightWingWidth() - NotchContentView::minRightWingWidth;
        base = m_collapsedWidth + static_cast<double>(Prefs::integer(PrefKey::NotchWidthOffset)) + extra;
        height =
            std::max(NotchContentView::collapsedH + static_cast<double>(Prefs::integer(PrefKey::NotchHeightOffset)),
                     kMinCollapsedHeight);
    }
    double width = base + 2 * flare;
    if (m_screenFrame) {
        width = visibleSize(width, kMinOnScreenWidth, m_screenFrame->width());
        height = visibleSize(height, kMinOnScreenHeight, m_screenFrame->height());
    }
    double x = m_notchCenterX - width / 2 + static_cast<double>(Prefs::integer(PrefKey::NotchXOffset));
    if (m_screenFrame)
        x = visibleX(x, width, *m_screenFrame);
    return QRect(qRound(x), qRound(m_screenTop), qRound(width), qRound(height));
}

void NotchController::relayout()
{
    // A hover resize still running would carry the panel on to the frame of the old settings.
    if (m_animation)
        m_animation->stop();
    computeGeometry();
    m_panel->setGeometry(frameFor(content()->expanded));
    content()->update();
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
    m_panel->setGeometry(frameFor(view->expanded));
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
    if (content()->expanded == expand)
        return;
    content()->setExpanded(expand);
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
