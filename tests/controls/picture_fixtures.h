#pragma once

// Test pictures made on the spot: PNG written with libpng, JPEG with libjpeg, so the decoders
// are checked against independent encoders and no binary files live in the tree.

#include <QByteArray>
#include <QImage>
#include <QRgb>

#include <cstdint>
#include <vector>

namespace qb::test {

struct PngRecipe {
    int width = 1;
    int height = 1;
    int colorType = 6;  // the format's numbers: 0 grey, 2 RGB, 3 palette, 4 grey+alpha, 6 RGBA
    int bitDepth = 8;
    // Per pixel, row by row, its samples in the colour type's order (a palette index for 3).
    std::vector<std::vector<std::uint16_t>> pixels = {};
    std::vector<QRgb> palette = {};
    std::vector<std::uint8_t> transparency = {};  // tRNS of a palette
    std::vector<std::uint16_t> colorKey = {};     // tRNS of grey (1 value) or RGB (3 values)
};

QByteArray writePng(const PngRecipe& recipe);
// An 8-bit RGBA PNG of the image's pixels (not premultiplied).
QByteArray rgbaPng(const QImage& image);
QByteArray solidPng(int width, int height, QRgb color);

QByteArray writeJpeg(const QImage& image, bool greyscale);

}  // namespace qb::test
