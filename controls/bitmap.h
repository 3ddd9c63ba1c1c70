#pragma once

#include <QImage>
#include <QRect>
#include <QRgb>

#include "controls/png_image.h"

class QPainter;

namespace qb {

// A plain bitmap that can be marked transparent. A transparent bitmap leaves every pixel of its
// transparent colour undrawn; that colour is always the colour of its bottom-left pixel.
// Held by value; copies share pixel data until one of them changes.
class Bitmap {
  public:
    Bitmap() = default;
    // Takes the picture's pixels; any format is accepted and kept as 32-bit ARGB.
    explicit Bitmap(const QImage& image);
    // A bitmap of the given size whose pixels are all fully clear (never drawn).
    Bitmap(int width, int height);

    int width() const { return m_image.width(); }
    int height() const { return m_image.height(); }
    bool isEmpty() const { return m_image.isNull() || width() == 0 || height() == 0; }

    bool transparent() const { return m_transparent; }
    void setTransparent(bool transparent);
    // The colour of the bottom-left pixel; 0 for an empty bitmap.
    QRgb transparentColor() const;

    QRgb pixel(int x, int y) const;
    // The pixels as stored (ARGB32, not premultiplied), transparency not applied.
    const QImage& image() const { return m_image; }

    // Copies the rectangle `source` of `from` to (x, y) pixel for pixel. The parts of the
    // rectangle that lie outside either bitmap are skipped.
    void copyRect(int x, int y, const Bitmap& from, const QRect& source);

    // Draws the bitmap at its natural size with its top-left at (x, y).
    void draw(QPainter& painter, int x, int y) const;

  private:
    QImage drawable() const;

    QImage m_image;
    bool m_transparent = false;
    mutable QImage m_cache;
};

}  // namespace qb
