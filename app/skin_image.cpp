#include "app/skin_image.h"

#include <QMouseEvent>
#include <QPainter>

namespace qb {

SkinImage::SkinImage(QWidget* parent) : QWidget(parent) {}

void SkinImage::setPicture(const QImage& picture) {
    m_picture = picture;
    update();
}

void SkinImage::setStretch(bool stretch) {
    m_stretch = stretch;
    update();
}

void SkinImage::paintEvent(QPaintEvent*) {
    if (m_picture.isNull()) return;
    QPainter painter(this);
    // Stretching repeats pixels rather than smoothing them, so that thin lines in the fills
    // stay sharp and a one-colour strip stays exactly one colour.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (m_stretch) {
        painter.drawImage(rect(), m_picture);
        return;
    }
    // A twice-size picture on a screen of ratio 1.5 shrinks by a quarter: sampling it without
    // smoothing would drop every fourth column of the words' strokes.
    if (m_picture.devicePixelRatio() != painter.device()->devicePixelRatio())
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(QRectF(QPointF(0, 0), m_picture.deviceIndependentSize()), m_picture);
}

void SkinImage::mousePressEvent(QMouseEvent* event) {
    emit OnMouseDown(event->button(), event->globalPosition().toPoint());
}

void SkinImage::mouseMoveEvent(QMouseEvent* event) {
    emit OnMouseMove(event->buttons(), event->globalPosition().toPoint());
}

void SkinImage::mouseReleaseEvent(QMouseEvent* event) {
    emit OnMouseUp(event->button(), event->globalPosition().toPoint());
}

}  // namespace qb
