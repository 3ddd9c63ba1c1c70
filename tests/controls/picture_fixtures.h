#pragma once

// Test pictures made on the spot: PNG written with libpng, JPEG with libjpeg, so the decoders
// are checked against independent encoders and no binary files live in the tree.

#include <QByteArray>
#include <QImage>
#include <QRgb>

#include <cstdint>
#include <vector>

namespace qb::test {

struct PngSpec {
    int width = 1;
    int height = 1;
    int colorType = 6;  // the PNG format's numbers: 0 grey, 2 RGB, 3 palette, 4 grey+alpha, 6 RGBA
    int bitDepth = 8;
    // One entry per pixel, row by row: grey value, palette index, or packed samples in the
    // order of the colour type (for 16-bit depths each sample is 16 bits).
    std::vector<std::vector<std::uint16_t>> pixels;
    std::vector<QRgb> palette;               // alpha ignored
    std::vector<std::uint8_t> transparency;  // tRNS for palettes
    bool hasColorKey = false;                // tRNS for grey or RGB
    std::uint16_t keyRed = 0, keyGreen = 0, keyBlue = 0, keyGrey = 0;
    bool interlaced = false;
};

QByteArray writePng(const PngSpec& spec);

// An 8-bit RGBA picture filled with one colour (not premultiplied).
QByteArray solidPng(int width, int height, QRgb color);
// An 8-bit RGBA picture whose pixel (x, y) is pixelAt(x, y).
QByteArray rgbaPng(const QImage& image);

QByteArray writeJpeg(const QImage& image, bool greyscale, int quality = 95);

}  // namespace qb::test
