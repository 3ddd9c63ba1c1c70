#include "controls/jpeg_image.h"

#include <QByteArray>
#include <QFile>

#include <csetjmp>
#include <cstdio>
#include <string>
#include <vector>

// jpeglib.h expects size_t and FILE to be declared before it.
#include <jerror.h>
#include <jpeglib.h>

namespace qb {

namespace {

constexpr JDIMENSION kMaxSide = 16384;
constexpr std::size_t kMaxPixels = std::size_t{64} * 1024 * 1024;

// libjpeg ends the program on an error unless error_exit jumps away; this carries the jump
// target and the formatted message.
struct ErrorManager {
    jpeg_error_mgr base{};
    std::jmp_buf jump{};
    char message[JMSG_LENGTH_MAX] = {};
    bool truncated = false;
};

[[noreturn]] void onError(j_common_ptr info) {
    auto* errors = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->jump, 1);
}

// Warnings would otherwise go to stderr. The decoder goes on past small flaws, but data that
// ends early would show as a grey band, so that one is remembered and refused.
void onMessage(j_common_ptr info, int level) {
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) {
        reinterpret_cast<ErrorManager*>(info->err)->truncated = true;
    }
}

// Owns the decompressor.
class Decompressor {
  public:
    Decompressor() {
        m_info.err = jpeg_std_error(&m_errors.base);
        m_errors.base.error_exit = onError;
        m_errors.base.emit_message = onMessage;
    }
    ~Decompressor() {
        if (m_created) jpeg_destroy_decompress(&m_info);
    }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;

    jpeg_decompress_struct* info() { return &m_info; }
    ErrorManager& errors() { return m_errors; }
    void markCreated() { m_created = true; }

  private:
    ErrorManager m_errors;
    jpeg_decompress_struct m_info{};
    bool m_created = false;
};

// Where the scanlines go; lives outside the function that calls setjmp.
struct Output {
    JDIMENSION width = 0;
    JDIMENSION height = 0;
    int components = 0;
    bool invertedCmyk = false;
    std::vector<unsigned char> samples;
    const char* refusal = nullptr;
};

bool decode(Decompressor& d, const unsigned char* data, std::size_t size, Output& out) {
    jpeg_decompress_struct* info = d.info();
    if (setjmp(d.errors().jump)) return false;

    jpeg_create_decompress(info);
    d.markCreated();
    jpeg_mem_src(info, data, static_cast<unsigned long>(size));
    jpeg_read_header(info, TRUE);

    if (info->jpeg_color_space == JCS_CMYK || info->jpeg_color_space == JCS_YCCK) {
        info->out_color_space = JCS_CMYK;
    } else {
        info->out_color_space = JCS_RGB;
    }
    jpeg_start_decompress(info);

    if (info->output_width > kMaxSide || info->output_height > kMaxSide ||
        std::size_t{info->output_width} * info->output_height > kMaxPixels) {
        out.refusal = "the picture is too large";
        return false;
    }
    out.width = info->output_width;
    out.height = info->output_height;
    out.components = info->output_components;
    out.invertedCmyk = info->out_color_space == JCS_CMYK && info->saw_Adobe_marker;
    const std::size_t stride = std::size_t{out.width} * out.components;
    out.samples.resize(stride * out.height);
    while (info->output_scanline < info->output_height) {
        JSAMPROW row = out.samples.data() + stride * info->output_scanline;
        jpeg_read_scanlines(info, &row, 1);
    }
    jpeg_finish_decompress(info);
    if (d.errors().truncated) {
        out.refusal = "the data ends in the middle of the picture";
        return false;
    }
    return true;
}

QImage toImage(const Output& out) {
    QImage image(static_cast<int>(out.width), static_cast<int>(out.height), QImage::Format_RGB32);
    const std::size_t stride = std::size_t{out.width} * out.components;
    for (JDIMENSION y = 0; y < out.height; ++y) {
        const unsigned char* in = out.samples.data() + stride * y;
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(static_cast<int>(y)));
        for (JDIMENSION x = 0; x < out.width; ++x, in += out.components) {
            if (out.components == 4) {
                // Adobe writes CMYK inverted; plain CMYK stores ink amounts.
                const int c = out.invertedCmyk ? in[0] : 255 - in[0];
                const int m = out.invertedCmyk ? in[1] : 255 - in[1];
                const int yy = out.invertedCmyk ? in[2] : 255 - in[2];
                const int k = out.invertedCmyk ? in[3] : 255 - in[3];
                line[x] = qRgb(c * k / 255, m * k / 255, yy * k / 255);
            } else {
                line[x] = qRgb(in[0], in[1], in[2]);
            }
        }
    }
    return image;
}

}  // namespace

QImage decodeJpeg(const void* data, std::size_t size, const QString& sourceName) {
    const auto fail = [&](const std::string& why) {
        return JpegError("Cannot read JPEG picture " + sourceName.toStdString() + ": " + why);
    };
    const auto* bytes = static_cast<const unsigned char*>(data);
    if (!bytes || size < 3 || bytes[0] != 0xFF || bytes[1] != 0xD8 || bytes[2] != 0xFF) {
        throw fail("not a JPEG file");
    }
    Decompressor decompressor;
    Output out;
    if (!decode(decompressor, bytes, size, out)) {
        throw fail(out.refusal ? out.refusal : decompressor.errors().message);
    }
    return toImage(out);
}

QImage decodeJpeg(const QByteArray& data, const QString& sourceName) {
    return decodeJpeg(data.constData(), static_cast<std::size_t>(data.size()), sourceName);
}

QImage loadJpeg(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw JpegError("Cannot read JPEG picture " + path.toStdString() + ": " +
                        file.errorString().toStdString());
    }
    return decodeJpeg(file.readAll(), path);
}

Bitmap decodeJpegBitmap(const QByteArray& data, const QString& sourceName) {
    return Bitmap(decodeJpeg(data, sourceName));
}

}  // namespace qb
