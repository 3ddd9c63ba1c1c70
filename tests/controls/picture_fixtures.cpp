#include "picture_fixtures.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <stdexcept>

#include <jpeglib.h>

namespace qb::test {

namespace {

void appendBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<QByteArray*>(png_get_io_ptr(png));
    out->append(reinterpret_cast<const char*>(data), static_cast<qsizetype>(length));
}

int samplesPerPixel(int colorType) {
    switch (colorType) {
        case 2:
            return 3;
        case 4:
            return 2;
        case 6:
            return 4;
        default:
            return 1;
    }
}

// Packs one row into the bytes PNG stores for it.
std::vector<png_byte> packRow(const PngSpec& spec, int y) {
    const int samples = samplesPerPixel(spec.colorType);
    std::vector<png_byte> row((static_cast<std::size_t>(spec.width) * samples * spec.bitDepth + 7) /
                              8);
    std::size_t bit = 0;
    for (int x = 0; x < spec.width; ++x) {
        for (int s = 0; s < samples; ++s) {
            const unsigned value = spec.pixels.at(y * spec.width + x).at(s);
            if (spec.bitDepth == 16) {
                row[bit / 8] = static_cast<png_byte>(value >> 8);
                row[bit / 8 + 1] = static_cast<png_byte>(value & 0xFF);
            } else if (spec.bitDepth == 8) {
                row[bit / 8] = static_cast<png_byte>(value);
            } else {
                const int shift = 8 - spec.bitDepth - static_cast<int>(bit % 8);
                row[bit / 8] |= static_cast<png_byte>(value << shift);
            }
            bit += spec.bitDepth;
        }
    }
    return row;
}

}  // namespace

QByteArray writePng(const PngSpec& spec) {
    QByteArray out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<std::vector<png_byte>> rows;
    for (int y = 0; y < spec.height; ++y) rows.push_back(packRow(spec, y));
    std::vector<png_bytep> rowPointers;
    for (auto& r : rows) rowPointers.push_back(r.data());
    std::vector<png_color> palette;
    for (QRgb c : spec.palette) {
        palette.push_back({static_cast<png_byte>(qRed(c)), static_cast<png_byte>(qGreen(c)),
                           static_cast<png_byte>(qBlue(c))});
    }

    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("test PNG could not be written");
    }
    png_set_write_fn(png, &out, appendBytes, nullptr);
    png_set_IHDR(png, info, spec.width, spec.height, spec.bitDepth, spec.colorType,
                 spec.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    png_color_16 key{};
    key.red = spec.keyRed;
    key.green = spec.keyGreen;
    key.blue = spec.keyBlue;
    key.gray = spec.keyGrey;
    if (!spec.transparency.empty()) {
        png_set_tRNS(png, info, spec.transparency.data(),
                     static_cast<int>(spec.transparency.size()), nullptr);
    } else if (spec.hasColorKey) {
        png_set_tRNS(png, info, nullptr, 0, &key);
    }
    png_write_info(png, info);
    if (spec.interlaced) png_set_interlace_handling(png);
    png_write_image(png, rowPointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

QByteArray solidPng(int width, int height, QRgb color) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(color);
    return rgbaPng(image);
}

QByteArray rgbaPng(const QImage& source) {
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    PngSpec spec;
    spec.width = image.width();
    spec.height = image.height();
    for (int y = 0; y < spec.height; ++y) {
        for (int x = 0; x < spec.width; ++x) {
            const QRgb c = image.pixel(x, y);
            spec.pixels.push_back(
                {static_cast<std::uint16_t>(qRed(c)), static_cast<std::uint16_t>(qGreen(c)),
                 static_cast<std::uint16_t>(qBlue(c)), static_cast<std::uint16_t>(qAlpha(c))});
        }
    }
    return writePng(spec);
}

QByteArray writeJpeg(const QImage& source, bool greyscale, int quality) {
    const QImage image = source.convertToFormat(QImage::Format_RGB888);
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(image.width());
    info.image_height = static_cast<JDIMENSION>(image.height());
    info.input_components = greyscale ? 1 : 3;
    info.in_color_space = greyscale ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> grey(static_cast<std::size_t>(image.width()));
    while (info.next_scanline < info.image_height) {
        const uchar* line = image.constScanLine(static_cast<int>(info.next_scanline));
        JSAMPROW row = const_cast<JSAMPROW>(line);
        if (greyscale) {
            for (int x = 0; x < image.width(); ++x) grey[x] = line[x * 3 + 1];
            row = grey.data();
        }
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray out(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(size));
    std::free(buffer);
    return out;
}

}  // namespace qb::test
