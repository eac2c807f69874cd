#pragma once

#include "core/Stats.h"
#include "ui/notch/ScreenInfo.h"

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class NotchContentView;
class NotchPanel;
class QPropertyAnimation;
class QWidget;

/// Owns the notch overlay: finds where it goes, sizes the panel for the collapsed and expanded states, animates
/// between them on hover, hides or shows it, and hands the content view what it draws.
class NotchController : public QObject
{
    Q_OBJECT

public:
    /// Width of the expanded panel before the flares.
    static constexpr double expandedWidth = 460;
    static constexpr double expandedHeight = 330;
    /// Width of the collapsed panel before offsets and flares.
    static constexpr double collapsedWidth = 158;

    explicit NotchController(std::function<std::vector<ScreenGeometry>()> screens = ScreenInfo::screens);
    ~NotchController() override;

    NotchPanel* panel() const;
    NotchContentView* content() const;

    bool hidden() const;
    /// A hover-driven resize of the panel is still running.
    bool animating() const;

    /// Shows a record (or none) with the current preferences; amber marks a streak at risk. A collapsed panel takes
    /// its new size at once.
    void present(const std::optional<Stats>& stats, bool amber);
    /// Starts the celebration of a milestone.
    void celebrate();

    /// Chooses the screen and the notch position on it; leaves everything as it was when there is no screen.
    void computeGeometry();
    /// The panel's frame in either state, with the current preferences applied: centred on the chosen screen and
    /// hanging from the lower edge of a panel along its top (or from the screen's very top, as the user may choose);
    /// whatever the offsets, at least 40 x 16 pixels of it stay in the part of the screen that panels leave free.
    QRect frameFor(bool expanded) const;
    /// Shows the current preferences and moves the panel to the frame of its current state at once.
    void relayout();
    /// Hiding also stops the sprite timer, so a hidden overlay costs nothing.
    void setHidden(bool hide);

    void setOnDownload(std::function<void()> callback);
    void setOnCopy(std::function<void()> callback);
    void setOnRefresh(std::function<void()> callback);
    void setOnCycle(std::function<void()> callback);
    void setOnConfigure(std::function<void(QWidget*)> callback);
    void setOnContextMenu(std::function<void(QPoint)> callback);

private:
    void changeExpanded(bool expand);
    void animateTo(const QRect& frame);

    std::function<std::vector<ScreenGeometry>()> m_screens;
    std::unique_ptr<NotchPanel> m_panel;
    /// The chosen screen; absent until one was found.
    std::optional<ScreenGeometry> m_screen;
    bool m_hidden = false;
    QPointer<QPropertyAnimation> m_animation;
};
