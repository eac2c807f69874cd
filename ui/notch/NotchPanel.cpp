#include "ui/notch/NotchPanel.h"

#include "ui/notch/NotchContentView.h"

NotchPanel::NotchPanel(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus),
      m_content(new NotchContentView(this))
{
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
