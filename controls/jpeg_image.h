#pragma once

#include <QImage>
#include <QString>

#include <cstddef>
#include <stdexcept>

#include "controls/bitmap.h"

class QByteArray;

namespace qb {

// Raised when a JPEG picture cannot be read; the message names the source and the cause.
class JpegError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Decodes a baseline or progressive JPEG (greyscale, YCbCr, RGB or CMYK) with libjpeg into an
// opaque RGB32 image. Throws JpegError on anything that is not a complete, readable JPEG.
QImage decodeJpeg(const void* data, std::size_t size,
                  const QString& sourceName = QStringLiteral("<memory>"));
QImage decodeJpeg(const QByteArray& data, const QString& sourceName = QStringLiteral("<memory>"));
// Reads through QFile, so Qt resource paths work as well.
QImage loadJpeg(const QString& path);

// The same picture as a bitmap, not marked transparent.
Bitmap decodeJpegBitmap(const QByteArray& data,
                        const QString& sourceName = QStringLiteral("<memory>"));

}  // namespace qb
