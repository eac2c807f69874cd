#include "ui/notch/CardPreview.h"

#include <QPainter>
#include <QPainterPath>

CardPreview::CardPreview(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
}

void CardPreview::setImage(const QImage& image)
{
    m_image = image;
    rescale();
    update();
}

const QImage& CardPreview::image() const
{
    return m_image;
}

void CardPreview::paintEvent(QPaintEvent*)
{
    if (m_scaled.isNull())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath clip;
    clip.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    p.setClipPath(clip);
    const QSizeF shown = m_scaled.deviceIndependentSize();
    const QPointF topLeft((width() - shown.width()) / 2, (height() - shown.height()) / 2);
    p.drawImage(topLeft, m_scaled);
}

void CardPreview::resizeEvent(QResizeEvent*)
{
    rescale();
}

void CardPreview::rescale()
{
    if (m_image.isNull() || width() < 1 || height() < 1) {
        m_scaled = QImage();
        return;
    }
    const qreal ratio = devicePixelRatioF();
    m_scaled = m_image.scaled(size() * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    m_scaled.setDevicePixelRatio(ratio);
}
