#include "controls/png_image.h"

#include <QByteArray>
#include <QFile>
#include <QPainter>

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

namespace qb {

namespace {

// Pictures larger than this are refused before any memory is taken for them; the program's
// own pictures are a few hundred pixels at most.
constexpr png_uint_32 kMaxSide = 16384;
constexpr std::size_t kMaxBytes = std::size_t{256} * 1024 * 1024;

struct MemorySource {
    const unsigned char* data = nullptr;
    std::size_t size = 0;
    std::size_t pos = 0;
};

// libpng reports errors through longjmp; the message is kept here first.
struct ErrorSink {
    char message[256] = {};
};

void readFromMemory(png_structp png, png_bytep out, png_size_t length) {
    auto* src = static_cast<MemorySource*>(png_get_io_ptr(png));
    if (length > src->size - src->pos) {
        png_error(png, "the data ends in the middle of the picture");
    }
    std::memcpy(out, src->data + src->pos, length);
    src->pos += length;
}

[[noreturn]] void onError(png_structp png, png_const_charp message) {
    auto* sink = static_cast<ErrorSink*>(png_get_error_ptr(png));
    std::snprintf(sink->message, sizeof sink->message, "%s", message ? message : "unknown error");
    png_longjmp(png, 1);
}

// Warnings (unknown chunks, odd gamma values) do not stop a picture from showing.
void onWarning(png_structp, png_const_charp) {}

// Owns the libpng read and info structures.
class ReadStruct {
  public:
    explicit ReadStruct(ErrorSink* sink) {
        m_png = png_create_read_struct(PNG_LIBPNG_VER_STRING, sink, onError, onWarning);
        if (m_png) m_info = png_create_info_struct(m_png);
    }
    ~ReadStruct() {
        if (m_png) png_destroy_read_struct(&m_png, m_info ? &m_info : nullptr, nullptr);
    }
    ReadStruct(const ReadStruct&) = delete;
    ReadStruct& operator=(const ReadStruct&) = delete;

    png_structp png() const { return m_png; }
    png_infop info() const { return m_info; }

  private:
    png_structp m_png = nullptr;
    png_infop m_info = nullptr;
};

// What the decoder fills in. It lives outside the function that calls setjmp, so a longjmp
// never skips a destructor.
struct Decoded {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int colorType = 0;
    int bitDepth = 0;
    std::vector<std::uint8_t> samples;
    std::vector<png_bytep> rows;
    std::vector<PngPaletteEntry> palette;
    std::vector<std::uint8_t> transparency;
};

// Returns false after a libpng error; the cause is then in the error sink.
bool decode(png_structp png, png_infop info, MemorySource* src, Decoded& out) {
    if (setjmp(png_jmpbuf(png))) return false;

    png_set_read_fn(png, src, readFromMemory);
    png_set_user_limits(png, kMaxSide, kMaxSide);
    png_read_info(png, info);

    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    int colorType = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, nullptr, nullptr, nullptr);
    const int originalDepth = bitDepth;

    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        png_colorp entries = nullptr;
        int count = 0;
        if (png_get_PLTE(png, info, &entries, &count) == PNG_INFO_PLTE) {
            for (int i = 0; i < count; ++i) {
                out.palette.push_back({entries[i].red, entries[i].green, entries[i].blue});
            }
        }
        png_bytep alpha = nullptr;
        int alphaCount = 0;
        if (png_get_tRNS(png, info, &alpha, &alphaCount, nullptr) == PNG_INFO_tRNS && alpha) {
            out.transparency.assign(alpha, alpha + alphaCount);
        }
        png_set_packing(png);
    } else {
        if (bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
        if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    }
    if (bitDepth == 16) png_set_scale_16(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    out.width = width;
    out.height = height;
    out.colorType = png_get_color_type(png, info);
    out.bitDepth =
        colorType == PNG_COLOR_TYPE_PALETTE ? originalDepth : png_get_bit_depth(png, info);

    const std::size_t channels = png_get_channels(png, info);
    const std::size_t rowBytes = png_get_rowbytes(png, info);
    if (rowBytes != std::size_t{width} * channels) png_error(png, "unexpected row layout");
    if (rowBytes * height > kMaxBytes) png_error(png, "the picture is too large");

    out.samples.resize(rowBytes * height);
    out.rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y) out.rows[y] = out.samples.data() + y * rowBytes;
    png_read_image(png, out.rows.data());
    png_read_end(png, nullptr);
    return true;
}

}  // namespace

PngImage PngImage::fromMemory(const void* data, std::size_t size, const QString& sourceName) {
    const auto fail = [&](const std::string& why) {
        return PngError("Cannot read PNG picture " + sourceName.toStdString() + ": " + why);
    };
    constexpr std::size_t kSignature = 8;
    if (!data || size < kSignature ||
        png_sig_cmp(static_cast<png_const_bytep>(data), 0, kSignature) != 0) {
        throw fail("not a PNG file");
    }

    ErrorSink sink;
    ReadStruct reader(&sink);
    if (!reader.png() || !reader.info()) throw fail("out of memory");

    MemorySource src{static_cast<const unsigned char*>(data), size, 0};
    Decoded out;
    if (!decode(reader.png(), reader.info(), &src, out)) throw fail(sink.message);

    PngImage image;
    image.m_width = static_cast<int>(out.width);
    image.m_height = static_cast<int>(out.height);
    image.m_colorType = static_cast<PngColorType>(out.colorType);
    image.m_bitDepth = out.bitDepth;
    image.m_samples = std::move(out.samples);
    image.m_palette = std::move(out.palette);
    image.m_transparency = std::move(out.transparency);
    return image;
}

PngImage PngImage::fromMemory(const QByteArray& data, const QString& sourceName) {
    return fromMemory(data.constData(), static_cast<std::size_t>(data.size()), sourceName);
}

PngImage PngImage::fromFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw PngError("Cannot read PNG picture " + path.toStdString() + ": " +
                       file.errorString().toStdString());
    }
    return fromMemory(file.readAll(), path);
}

int PngImage::channels() const {
    switch (m_colorType) {
        case PngColorType::Gray:
        case PngColorType::Palette:
            return 1;
        case PngColorType::GrayAlpha:
            return 2;
        case PngColorType::Rgb:
            return 3;
        case PngColorType::RgbAlpha:
            return 4;
    }
    return 4;
}

std::size_t PngImage::offset(int x, int y) const {
    return (static_cast<std::size_t>(y) * static_cast<std::size_t>(m_width) +
            static_cast<std::size_t>(x)) *
           static_cast<std::size_t>(channels());
}

bool PngImage::hasAlpha() const {
    switch (m_colorType) {
        case PngColorType::GrayAlpha:
        case PngColorType::RgbAlpha:
            return true;
        case PngColorType::Palette:
            return !m_transparency.empty();
        default:
            return false;
    }
}

std::uint8_t PngImage::alphaAt(int x, int y) const {
    if (x < 0 || y < 0 || x >= m_width || y >= m_height) return 0;
    const std::uint8_t* p = m_samples.data() + offset(x, y);
    switch (m_colorType) {
        case PngColorType::GrayAlpha:
            return p[1];
        case PngColorType::RgbAlpha:
            return p[3];
        case PngColorType::Palette:
            return p[0] < m_transparency.size() ? m_transparency[p[0]] : 255;
        default:
            return 255;
    }
}

void PngImage::setAlphaAt(int x, int y, std::uint8_t alpha) {
    if (x < 0 || y < 0 || x >= m_width || y >= m_height) return;
    std::uint8_t* p = m_samples.data() + offset(x, y);
    if (m_colorType == PngColorType::GrayAlpha) {
        p[1] = alpha;
    } else if (m_colorType == PngColorType::RgbAlpha) {
        p[3] = alpha;
    } else {
        return;
    }
    invalidate();
}

QRgb PngImage::pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= m_width || y >= m_height) return 0;
    const std::uint8_t* p = m_samples.data() + offset(x, y);
    switch (m_colorType) {
        case PngColorType::Gray:
            return qRgb(p[0], p[0], p[0]);
        case PngColorType::GrayAlpha:
            return qRgba(p[0], p[0], p[0], p[1]);
        case PngColorType::Rgb:
            return qRgb(p[0], p[1], p[2]);
        case PngColorType::RgbAlpha:
            return qRgba(p[0], p[1], p[2], p[3]);
        case PngColorType::Palette: {
            // An index past the palette's end shows black rather than reading past it.
            const PngPaletteEntry c = p[0] < m_palette.size() ? m_palette[p[0]] : PngPaletteEntry{};
            return qRgba(c.red, c.green, c.blue, alphaAt(x, y));
        }
    }
    return 0;
}

void PngImage::addAlpha() {
    if (hasAlpha()) return;
    if (m_colorType == PngColorType::Palette) {
        m_transparency.assign(256, 255);
        invalidate();
        return;
    }
    const int from = channels();
    const int to = from + 1;
    const std::size_t pixels = static_cast<std::size_t>(m_width) * m_height;
    std::vector<std::uint8_t> widened(pixels * to);
    for (std::size_t i = 0; i < pixels; ++i) {
        std::copy_n(m_samples.data() + i * from, from, widened.data() + i * to);
        widened[i * to + from] = 255;
    }
    m_samples = std::move(widened);
    m_colorType =
        m_colorType == PngColorType::Gray ? PngColorType::GrayAlpha : PngColorType::RgbAlpha;
    invalidate();
}

QImage PngImage::toImage() const {
    if (isEmpty()) return {};
    if (m_cache.isNull()) {
        QImage image(m_width, m_height, QImage::Format_ARGB32);
        for (int y = 0; y < m_height; ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < m_width; ++x) line[x] = pixel(x, y);
        }
        m_cache = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }
    return m_cache;
}

void PngImage::draw(QPainter& painter, int x, int y) const {
    if (isEmpty()) return;
    painter.drawImage(QPoint(x, y), toImage());
}

}  // namespace qb
