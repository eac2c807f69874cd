#include "ui/settings/DarkLook.h"

#include "ui/look/Font.h"
#include "ui/look/Theme.h"

#include <QLabel>

namespace DarkLook {

QPalette palette()
{
    QPalette p;
    const QColor panel(28, 30, 30);
    p.setColor(QPalette::Window, Theme::bg());
    p.setColor(QPalette::WindowText, Theme::fg());
    p.setColor(QPalette::Base, QColor(18, 20, 20));
    p.setColor(QPalette::AlternateBase, panel);
    p.setColor(QPalette::Text, Theme::fg());
    p.setColor(QPalette::Button, panel);
    p.setColor(QPalette::ButtonText, Theme::fg());
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::Light, QColor(64, 67, 66));
    p.setColor(QPalette::Midlight, QColor(46, 49, 48));
    p.setColor(QPalette::Mid, QColor(36, 38, 38));
    p.setColor(QPalette::Dark, QColor(12, 13, 13));
    p.setColor(QPalette::Shadow, Qt::black);
    p.setColor(QPalette::Highlight, Theme::blue());
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::ToolTipBase, panel);
    p.setColor(QPalette::ToolTipText, Theme::fg());
    p.setColor(QPalette::PlaceholderText, Theme::muted());
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, Theme::muted());
    return p;
}

QLabel* label()
{
    auto* label = new QLabel;
    label->setTextFormat(Qt::PlainText);
    return label;
}

void style(QLabel* label, double pixelSize, const QColor& colour)
{
    label->setFont(Font::pixel(pixelSize));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

} // namespace DarkLook
