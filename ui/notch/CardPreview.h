#pragma once

#include <QImage>
#include <QWidget>

/// Shows the share card scaled proportionally into the widget, centred, with rounded corners.
class CardPreview : public QWidget
{
    Q_OBJECT

public:
    static constexpr double cornerRadius = 8;

    explicit CardPreview(QWidget* parent = nullptr);

    void setImage(const QImage& image);
    /// The full-size card last given; null before the first one.
    const QImage& image() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void rescale();

    QImage m_image;
    /// m_image fitted to the current size, so that repaints on every animation tick need no scaling.
    QImage m_scaled;
};
