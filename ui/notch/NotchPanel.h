#pragma once

#include <QWidget>

class NotchContentView;

/// The borderless, see-through, always-on-top window of the notch overlay. It never takes keyboard focus and has no
/// taskbar entry; its content view always fills it.
class NotchPanel : public QWidget
{
    Q_OBJECT

public:
    explicit NotchPanel(QWidget* parent = nullptr);

    NotchContentView* content() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    NotchContentView* const m_content;
};
