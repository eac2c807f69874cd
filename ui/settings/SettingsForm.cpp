#include "ui/settings/SettingsForm.h"

#include "ui/look/Font.h"
#include "ui/look/Theme.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>

namespace {

constexpr int kHeaderHeight = 16;
constexpr int kHeaderAdvance = 24;
constexpr int kHeaderGap = 14;
constexpr int kRowGap = 10;
constexpr int kLabelHeight = 16;
constexpr int kTitleGap = 12;
constexpr int kStepButtonWidth = 32;
constexpr int kStepValueX = 36;
constexpr int kStepValueWidth = 118;

void colour(QWidget* widget, const QColor& text)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, text);
    widget->setPalette(palette);
}

} // namespace

SettingsForm::SettingsForm(QWidget* content) : m_content(content) {}

void SettingsForm::header(const QString& title)
{
    if (!m_firstHeader)
        m_y += kHeaderGap;
    m_firstHeader = false;
    auto* label = new QLabel(title.toUpper(), m_content);
    QFont font = QApplication::font();
    font.setPixelSize(11);
    font.setWeight(QFont::DemiBold);
    label->setFont(font);
    colour(label, Theme::muted());
    label->setGeometry(left, m_y, innerWidth, kHeaderHeight);
    m_y += kHeaderAdvance;
}

void SettingsForm::row(const QString& title, QWidget* control)
{
    auto* label = new QLabel(title, m_content);
    label->setFont(Font::pixel(12));
    colour(label, Theme::fg());
    label->setGeometry(left, m_y + (controlHeight - kLabelHeight) / 2, innerWidth - controlWidth - kTitleGap,
                       kLabelHeight);
    control->setParent(m_content);
    control->setGeometry(left + innerWidth - controlWidth, m_y, controlWidth, controlHeight);
    m_y += controlHeight + kRowGap;
}

void SettingsForm::full(QWidget* element, int height, int advance)
{
    element->setParent(m_content);
    element->setGeometry(left, m_y, innerWidth, height);
    m_y += advance;
}

QWidget* SettingsForm::stepper(QLabel* value, QPushButton* minus, QPushButton* plus) const
{
    auto* box = new QWidget(m_content);
    box->resize(controlWidth, controlHeight);
    minus->setParent(box);
    minus->setGeometry(0, 0, kStepButtonWidth, controlHeight);
    value->setParent(box);
    value->setGeometry(kStepValueX, (controlHeight - kLabelHeight) / 2, kStepValueWidth, kLabelHeight);
    value->setAlignment(Qt::AlignCenter);
    value->setFont(Font::pixel(12));
    colour(value, Theme::fg());
    plus->setParent(box);
    plus->setGeometry(controlWidth - kStepButtonWidth, 0, kStepButtonWidth, controlHeight);
    return box;
}
