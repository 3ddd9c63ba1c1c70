#pragma once

#include <QImage>
#include <QRgb>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

class QByteArray;
class QPainter;

namespace qb {

// Raised when a PNG picture cannot be read; the message names the source and the cause.
class PngError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The colour types of the PNG format, with the format's own numbers.
enum class PngColorType : std::uint8_t {
    Gray = 0,
    Rgb = 2,
    Palette = 3,
    GrayAlpha = 4,
    RgbAlpha = 6,
};

struct PngPaletteEntry {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};

// A decoded PNG picture, held by value: copying or assigning copies the picture.
//
// Samples are kept one byte each: 16-bit pictures are scaled to 8 bits, greyscale pictures of
// fewer than 8 bits are widened to 8, and a single transparent colour (a tRNS chunk on a grey or
// colour picture) becomes an alpha channel. Palette pictures keep one index per pixel and
// their original bit depth, which decides how many transparency entries count.
class PngImage {
  public:
    PngImage() = default;

    // Both throw PngError on anything that is not a complete, readable PNG.
    static PngImage fromMemory(const void* data, std::size_t size,
                               const QString& sourceName = QStringLiteral("<memory>"));
    static PngImage fromMemory(const QByteArray& data,
                               const QString& sourceName = QStringLiteral("<memory>"));
    // Reads through QFile, so Qt resource paths (":/icons/add.png") work as well.
    static PngImage fromFile(const QString& path);

    int width() const { return m_width; }
    int height() const { return m_height; }
    bool isEmpty() const { return m_width == 0 || m_height == 0; }

    PngColorType colorType() const { return m_colorType; }
    int bitDepth() const { return m_bitDepth; }
    const std::vector<PngPaletteEntry>& palette() const { return m_palette; }
    // The palette's transparency table (tRNS); empty when the picture has none.
    const std::vector<std::uint8_t>& transparency() const { return m_transparency; }

    // True when every pixel carries an alpha value: an alpha channel, or a palette with a
    // transparency table.
    bool hasAlpha() const;
    // 255 for every pixel of a picture without alpha.
    std::uint8_t alphaAt(int x, int y) const;
    // Only for pictures with an alpha channel (GrayAlpha, RgbAlpha); others are left alone.
    void setAlphaAt(int x, int y, std::uint8_t alpha);
    // The pixel's colour and alpha, not premultiplied.
    QRgb pixel(int x, int y) const;

    // Gives the picture per-pixel alpha, every pixel fully opaque, when it has none:
    // grey becomes grey with alpha, colour becomes colour with alpha, and a palette without a
    // transparency table gets one of 256 entries of 255.
    void addAlpha();

    // The picture as a premultiplied ARGB image, built once and kept until the picture changes.
    QImage toImage() const;
    // Draws the picture at its natural size with its top-left at (x, y), blended over what is
    // already there by its transparency.
    void draw(QPainter& painter, int x, int y) const;

  private:
    int channels() const;
    std::size_t offset(int x, int y) const;
    void invalidate() { m_cache = QImage(); }

    int m_width = 0;
    int m_height = 0;
    PngColorType m_colorType = PngColorType::RgbAlpha;
    int m_bitDepth = 8;
    std::vector<std::uint8_t> m_samples;  // rows top to bottom, channels() bytes per pixel
    std::vector<PngPaletteEntry> m_palette;
    std::vector<std::uint8_t> m_transparency;
    mutable QImage m_cache;
};

}  // namespace qb
