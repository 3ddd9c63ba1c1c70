#include "picture_fixtures.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace qb::test {

namespace {

void appendBytes(png_structp png, png_bytep data, png_size_t length) {
    static_cast<QByteArray*>(png_get_io_ptr(png))
        ->append(reinterpret_cast<const char*>(data), static_cast<qsizetype>(length));
}

}  // namespace

QByteArray writePng(const PngRecipe& recipe) {
    const int samples = recipe.colorType == 2   ? 3
                        : recipe.colorType == 4 ? 2
                        : recipe.colorType == 6 ? 4
                                                : 1;
    std::vector<std::vector<png_byte>> rows(recipe.height);
    for (int y = 0; y < recipe.height; ++y) {
        auto& row = rows[y];
        row.assign((std::size_t(recipe.width) * samples * recipe.bitDepth + 7) / 8, 0);
        std::size_t bit = 0;
        for (int x = 0; x < recipe.width; ++x) {
            for (int s = 0; s < samples; ++s, bit += recipe.bitDepth) {
                const unsigned v = recipe.pixels.at(std::size_t(y) * recipe.width + x).at(s);
                if (recipe.bitDepth == 16) {
                    row[bit / 8] = png_byte(v >> 8);
                    row[bit / 8 + 1] = png_byte(v);
                } else {
                    row[bit / 8] |= png_byte(v << (8 - recipe.bitDepth - bit % 8));
                }
            }
        }
    }
    std::vector<png_bytep> pointers;
    for (auto& r : rows) pointers.push_back(r.data());
    std::vector<png_color> palette;
    for (QRgb c : recipe.palette)
        palette.push_back({png_byte(qRed(c)), png_byte(qGreen(c)), png_byte(qBlue(c))});
    png_color_16 key{};
    if (recipe.colorKey.size() == 1) key.gray = recipe.colorKey[0];
    if (recipe.colorKey.size() == 3) {
        key.red = recipe.colorKey[0];
        key.green = recipe.colorKey[1];
        key.blue = recipe.colorKey[2];
    }

    // The recipes are the tests' own and valid, so libpng's default error handling (abort) is
    // acceptable here.
    QByteArray out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, appendBytes, nullptr);
    png_set_IHDR(png, info, recipe.width, recipe.height, recipe.bitDepth, recipe.colorType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty()) png_set_PLTE(png, info, palette.data(), int(palette.size()));
    if (!recipe.transparency.empty()) {
        png_set_tRNS(png, info, recipe.transparency.data(), int(recipe.transparency.size()),
                     nullptr);
    } else if (!recipe.colorKey.empty()) {
        png_set_tRNS(png, info, nullptr, 0, &key);
    }
    png_write_info(png, info);
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

QByteArray rgbaPng(const QImage& source) {
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    PngRecipe recipe{image.width(), image.height()};
    for (int y = 0; y < recipe.height; ++y) {
        for (int x = 0; x < recipe.width; ++x) {
            const QRgb c = image.pixel(x, y);
            recipe.pixels.push_back({std::uint16_t(qRed(c)), std::uint16_t(qGreen(c)),
                                     std::uint16_t(qBlue(c)), std::uint16_t(qAlpha(c))});
        }
    }
    return writePng(recipe);
}

QByteArray solidPng(int width, int height, QRgb color) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(color);
    return rgbaPng(image);
}

QByteArray writeJpeg(const QImage& source, bool greyscale) {
    const QImage image =
        source.convertToFormat(greyscale ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(image.width());
    info.image_height = JDIMENSION(image.height());
    info.input_components = greyscale ? 1 : 3;
    info.in_color_space = greyscale ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(image.constScanLine(int(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray out(reinterpret_cast<const char*>(buffer), qsizetype(size));
    std::free(buffer);
    return out;
}

}  // namespace qb::test
