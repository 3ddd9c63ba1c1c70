#include "book/cover_picture.h"

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

// libjpeg's header needs size_t and FILE declared before it.
#include <jerror.h>
#include <jpeglib.h>
#include <png.h>

#include "platform/errors.h"

namespace qb {

namespace {

// libjpeg and libpng report errors by calling back; both end up here through longjmp, so the
// decoding functions below keep no object with a destructor between setjmp and the return.
struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void jpegFail(j_common_ptr info) {
    auto* errors = reinterpret_cast<JpegErrors*>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->jump, 1);
}

// Only a premature end is fatal among the warnings: libjpeg fills the missing rows with grey
// and readers would show a half picture.
void jpegWarn(j_common_ptr info, int level) {
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) jpegFail(info);
}

std::string jpegFault(std::string_view bytes, std::vector<unsigned char>& row) {
    jpeg_decompress_struct info{};
    JpegErrors errors{};
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = jpegFail;
    errors.manager.emit_message = jpegWarn;
    if (setjmp(errors.jump) != 0) {
        jpeg_destroy_decompress(&info);
        return std::string("The JPEG data is broken: ") + errors.message;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    // Every byte is still read and checked at an eighth of the size, which costs far less.
    info.scale_num = 1;
    info.scale_denom = 8;
    info.dct_method = JDCT_IFAST;
    jpeg_start_decompress(&info);
    row.resize(static_cast<std::size_t>(info.output_width) * info.output_components);
    while (info.output_scanline < info.output_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_read_scanlines(&info, rows, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return {};
}

struct PngInput {
    std::string_view bytes;
    std::size_t pos = 0;
    char message[200] = "";
};

void pngRead(png_structp png, png_bytep to, png_size_t size) {
    auto* input = static_cast<PngInput*>(png_get_io_ptr(png));
    if (input->bytes.size() - input->pos < size) png_error(png, "the data ends early");
    std::memcpy(to, input->bytes.data() + input->pos, size);
    input->pos += size;
}

void pngFail(png_structp png, png_const_charp message) {
    auto* input = static_cast<PngInput*>(png_get_error_ptr(png));
    std::snprintf(input->message, sizeof input->message, "%s", message);
    png_longjmp(png, 1);
}

void pngWarn(png_structp, png_const_charp) {}

std::string pngFault(std::string_view bytes, std::vector<unsigned char>& row) {
    PngInput input{bytes};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &input, pngFail, pngWarn);
    if (png == nullptr) return "The PNG decoder could not start";
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr);
        return std::string("The PNG data is broken: ") + input.message;
    }
    png_set_read_fn(png, &input, pngRead);
    png_read_info(png, info);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    row.resize(png_get_rowbytes(png, info));
    const png_uint_32 height = png_get_image_height(png, info);
    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 y = 0; y < height; ++y) png_read_row(png, row.data(), nullptr);
    }
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return {};
}

// GIF needs no decoder to be found whole: its blocks say how long they are, so walking them
// to the trailer finds a picture cut short. The picture data itself is not unpacked.
std::string gifFault(std::string_view bytes) {
    const auto byteAt = [bytes](std::size_t pos) { return static_cast<unsigned char>(bytes[pos]); };
    const auto word = [&byteAt](std::size_t pos) { return byteAt(pos) | (byteAt(pos + 1) << 8); };
    const std::string ended = "The GIF data ends early";
    if (bytes.size() < 13) return ended;
    if (word(6) == 0 || word(8) == 0) return "The GIF picture has no size";
    std::size_t pos = 13;
    if ((byteAt(10) & 0x80) != 0) pos += 3u << ((byteAt(10) & 7) + 1);
    // Skips a chain of sub-blocks, each led by its length, up to the empty one that ends it.
    const auto skipSubBlocks = [&]() {
        while (pos < bytes.size()) {
            const std::size_t length = byteAt(pos);
            pos += 1 + length;
            if (length == 0) return true;
        }
        return false;
    };
    int images = 0;
    for (;;) {
        if (pos >= bytes.size()) return ended;
        const unsigned char block = byteAt(pos);
        if (block == 0x3B) break;
        if (block == 0x21) {
            pos += 2;
            if (!skipSubBlocks()) return ended;
        } else if (block == 0x2C) {
            if (bytes.size() - pos < 11) return ended;
            if (word(pos + 5) == 0 || word(pos + 7) == 0) return "A GIF frame has no size";
            const unsigned char flags = byteAt(pos + 9);
            pos += 10;
            if ((flags & 0x80) != 0) pos += 3u << ((flags & 7) + 1);
            pos += 1;  // the LZW code size
            if (!skipSubBlocks()) return ended;
            ++images;
        } else {
            return "The GIF data is broken: an unknown block";
        }
    }
    if (images == 0) return "The GIF file holds no picture";
    return {};
}

}  // namespace

std::string pictureFault(std::string_view bytes) {
    std::vector<unsigned char> row;
    if (bytes.substr(0, 3) == "\xFF\xD8\xFF") return jpegFault(bytes, row);
    if (bytes.substr(0, 8) == "\x89PNG\r\n\x1A\n") return pngFault(bytes, row);
    if (bytes.substr(0, 6) == "GIF87a" || bytes.substr(0, 6) == "GIF89a") return gifFault(bytes);
    return "Not a JPEG, PNG or GIF picture";
}

void checkPicture(std::string_view bytes, const std::string& path) {
    const std::string fault = pictureFault(bytes);
    if (!fault.empty()) throw Error("The cover \"" + path + "\" cannot be used. " + fault);
}

}  // namespace qb
