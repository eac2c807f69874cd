#include "ui/notch/NotchPanel.h"

#include "ui/notch/NotchContentView.h"

#include <QGuiApplication>

namespace {

// An X11 program in a Wayland session: the compositor's window manager for XWayland may place a managed window
// where it likes (weston cascades it, sway centres it). An unmanaged one goes exactly where asked, above every
// window, on every workspace.
bool bypassesWindowManager()
{
    return QGuiApplication::platformName() == QLatin1String("xcb") && qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

} // namespace

NotchPanel::NotchPanel(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus),
      m_content(new NotchContentView(this))
{
    setWindowFlag(Qt::X11BypassWindowManagerHint, bypassesWindowManager());
    setAttribute(Qt::WA_TranslucentBackground);
    // Clicking the overlay must not activate Korvel over the application the user is working in.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    resize(m_content->size());
}

NotchContentView* NotchPanel::content() const
{
    return m_content;
}

void NotchPanel::resizeEvent(QResizeEvent*)
{
    m_content->setGeometry(rect());
}
