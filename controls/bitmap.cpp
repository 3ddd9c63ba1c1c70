#include "controls/bitmap.h"

#include <QPainter>

#include <algorithm>

namespace qb {

Bitmap::Bitmap(const QImage& image) {
    if (!image.isNull()) m_image = image.convertToFormat(QImage::Format_ARGB32);
}

Bitmap::Bitmap(int width, int height) {
    if (width > 0 && height > 0) {
        m_image = QImage(width, height, QImage::Format_ARGB32);
        m_image.fill(Qt::transparent);
    }
}

void Bitmap::setTransparent(bool transparent) {
    if (transparent == m_transparent) return;
    m_transparent = transparent;
    m_cache = QImage();
}

QRgb Bitmap::transparentColor() const {
    return isEmpty() ? 0 : m_image.pixel(0, height() - 1);
}

QRgb Bitmap::pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width() || y >= height()) return 0;
    return m_image.pixel(x, y);
}

void Bitmap::copyRect(int x, int y, const Bitmap& from, const QRect& source) {
    if (isEmpty() || from.isEmpty()) return;
    // Clip the rectangle to the source, then the destination, keeping the two in step.
    QRect src = source & from.m_image.rect();
    QRect dst = src.translated(x - source.x(), y - source.y()) & m_image.rect();
    src = dst.translated(source.x() - x, source.y() - y);
    if (dst.isEmpty()) return;
    for (int row = 0; row < dst.height(); ++row) {
        const auto* in = reinterpret_cast<const QRgb*>(from.m_image.constScanLine(src.y() + row));
        auto* out = reinterpret_cast<QRgb*>(m_image.scanLine(dst.y() + row));
        std::copy_n(in + src.x(), dst.width(), out + dst.x());
    }
    m_cache = QImage();
}

QImage Bitmap::drawable() const {
    if (m_cache.isNull()) {
        QImage image = m_image;
        if (m_transparent) {
            const QRgb key = transparentColor();
            for (int y = 0; y < image.height(); ++y) {
                auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
                for (int x = 0; x < image.width(); ++x) {
                    if (line[x] == key) line[x] = 0;
                }
            }
        }
        m_cache = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }
    return m_cache;
}

void Bitmap::draw(QPainter& painter, int x, int y) const {
    if (isEmpty()) return;
    painter.drawImage(QPoint(x, y), drawable());
}

}  // namespace qb
