#pragma once

#include <QString>

class QLabel;
class QPushButton;
class QWidget;

/// Lays the settings form out top-down on its document view: full-width elements at x 24, 412 wide, rows with the
/// title on the left and a 190-wide control on the right, all at a running y.
class SettingsForm
{
public:
    static constexpr int width = 460;
    static constexpr int left = 24;
    static constexpr int innerWidth = 412;
    static constexpr int controlWidth = 190;
    static constexpr int controlHeight = 24;

    explicit SettingsForm(QWidget* content);

    /// A section title, upper-cased and muted; 14 more above it unless it is the first.
    void header(const QString& title);
    /// A title label on the left and the control on the right, one control height plus 10 below.
    void row(const QString& title, QWidget* control);
    /// An element across the full width, height tall, after which y moves down by advance.
    void full(QWidget* element, int height, int advance);
    /// A 190 x 24 box: the minus button, the value centred between, the plus button.
    QWidget* stepper(QLabel* value, QPushButton* minus, QPushButton* plus) const;

    int y() const { return m_y; }

private:
    QWidget* m_content;
    int m_y = 20;
    bool m_firstHeader = true;
};
