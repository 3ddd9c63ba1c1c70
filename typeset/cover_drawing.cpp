#include "typeset/cover_drawing.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <memory>

// jpeglib.h expects size_t and FILE to be declared before it.
#include <jpeglib.h>
#ifndef JCS_EXTENSIONS
#error "The cover needs libjpeg-turbo (Debian's libjpeg-dev), for its extended colour spaces"
#endif

#include "platform/errors.h"

namespace qb {
namespace {

struct SurfaceFree {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextFree {
    void operator()(cairo_t* c) const { cairo_destroy(c); }
};
struct ObjectFree {
    void operator()(void* o) const { g_object_unref(o); }
};
struct FontFree {
    void operator()(PangoFontDescription* f) const { pango_font_description_free(f); }
};
struct IterFree {
    void operator()(PangoLayoutIter* i) const { pango_layout_iter_free(i); }
};
struct GFree {
    void operator()(char* p) const { g_free(p); }
};

using Layout = std::unique_ptr<PangoLayout, ObjectFree>;

// Where the text goes, in pixels: the frame leaves a margin, the title takes the upper part and
// the author a band near the foot, with a rule between them.
constexpr int kMargin = 110;
constexpr int kTextWidth = kCoverWidth - 2 * (kMargin + 70);
constexpr int kTitleTop = 330;
constexpr int kTitleHeight = 1350;
constexpr int kRuleY = 1840;
constexpr int kAuthorTop = 1960;
constexpr int kAuthorHeight = 380;

struct Rgb {
    double r, g, b;
};

Rgb fromHsl(double hue, double saturation, double lightness) {
    const double c = (1 - std::fabs(2 * lightness - 1)) * saturation;
    const double h = hue / 60;
    const double x = c * (1 - std::fabs(std::fmod(h, 2) - 1));
    const double m = lightness - c / 2;
    Rgb rgb{0, 0, 0};
    if (h < 1)
        rgb = {c, x, 0};
    else if (h < 2)
        rgb = {x, c, 0};
    else if (h < 3)
        rgb = {0, c, x};
    else if (h < 4)
        rgb = {0, x, c};
    else if (h < 5)
        rgb = {x, 0, c};
    else
        rgb = {c, 0, x};
    return {rgb.r + m, rgb.g + m, rgb.b + m};
}

// FNV-1a over the title's bytes: the same title always gets the same colour, and titles that
// differ by a letter get different ones.
std::uint32_t titleHash(const std::string& title) {
    std::uint32_t h = 2166136261u;
    for (const char c : title) {
        h ^= static_cast<unsigned char>(c);
        h *= 16777619u;
    }
    return h;
}

// More characters than a cover can show at its smallest size: the rest is cut before the
// layout, which takes ever longer on longer text (seconds for a word of thousands of letters).
constexpr int kMostCharacters = 600;

// Valid UTF-8 with controls, tabs and line breaks as spaces, the ends trimmed and at most
// kMostCharacters: the cover wraps the text itself, and Pango would draw a control as a box.
std::string drawableText(const std::string& text) {
    std::unique_ptr<char, GFree> valid(g_utf8_make_valid(text.data(), gssize(text.size())));
    std::string out;
    int count = 0;
    for (const char* p = valid.get(); *p != '\0'; p = g_utf8_next_char(p)) {
        if (++count > kMostCharacters) {
            out += "\u2026";
            break;
        }
        const gunichar c = g_utf8_get_char(p);
        const bool control = c < 0x20 || (c >= 0x7F && c < 0xA0) || c == 0x2028 || c == 0x2029;
        if (control) {
            out += ' ';
        } else {
            out.append(p, std::size_t(g_utf8_next_char(p) - p));
        }
    }
    const std::size_t first = out.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

// Sets the text at the largest size from startPx down that fits the width and height; below
// minPx the text is cut with an ellipsis instead. Sizes are tried by halving the range, as
// laying out a long title takes a while each time.
void fitText(PangoLayout* layout, const std::string& text, const char* family, PangoWeight weight,
             int startPx, int minPx, int height) {
    pango_layout_set_text(layout, text.data(), int(text.size()));
    pango_layout_set_width(layout, kTextWidth * PANGO_SCALE);
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    pango_layout_set_alignment(layout, PANGO_ALIGN_CENTER);
    std::unique_ptr<PangoFontDescription, FontFree> font(pango_font_description_new());
    pango_font_description_set_family(font.get(), family);
    pango_font_description_set_weight(font.get(), weight);
    const auto fits = [&](int px) {
        pango_font_description_set_absolute_size(font.get(), px * PANGO_SCALE);
        pango_layout_set_font_description(layout, font.get());
        int w = 0;
        int h = 0;
        pango_layout_get_pixel_size(layout, &w, &h);
        return h <= height;
    };
    if (fits(startPx)) return;
    int low = minPx;     // the largest size known to fit, or the smallest allowed
    int high = startPx;  // a size known not to fit
    const bool smallestFits = fits(minPx);
    while (smallestFits && high - low > 2) {
        const int mid = (low + high) / 2;
        (fits(mid) ? low : high) = mid;
    }
    fits(low);
    if (!smallestFits) {
        pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
        pango_layout_set_height(layout, height * PANGO_SCALE);
    }
}

void drawCentred(cairo_t* cr, PangoLayout* layout, int top, int height) {
    int w = 0;
    int h = 0;
    pango_layout_get_pixel_size(layout, &w, &h);
    cairo_move_to(cr, (kCoverWidth - kTextWidth) / 2.0, top + std::max(0, height - h) / 2.0);
    pango_cairo_show_layout(cr, layout);
}

void collectMissing(PangoLayout* layout, std::vector<char32_t>& missing) {
    std::unique_ptr<PangoLayoutIter, IterFree> it(pango_layout_get_iter(layout));
    do {
        const PangoLayoutRun* run = pango_layout_iter_get_run_readonly(it.get());
        if (run == nullptr) continue;
        for (int i = 0; i < run->glyphs->num_glyphs; ++i) {
            const PangoGlyph glyph = run->glyphs->glyphs[i].glyph;
            if ((glyph & PANGO_GLYPH_UNKNOWN_FLAG) == 0 || glyph == PANGO_GLYPH_INVALID_INPUT)
                continue;
            const auto c = char32_t(glyph & ~PANGO_GLYPH_UNKNOWN_FLAG);
            if (std::find(missing.begin(), missing.end(), c) == missing.end()) missing.push_back(c);
        }
    } while (pango_layout_iter_next_run(it.get()));
}

// libjpeg ends the program on an error unless error_exit jumps away.
struct JpegErrors {
    jpeg_error_mgr base{};
    std::jmp_buf jump{};
};

[[noreturn]] void onJpegError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1);
}

// Kept apart from setjmp's caller: nothing here has a destructor that a jump could skip.
bool compress(jpeg_compress_struct& info, JpegErrors& errors, unsigned char* pixels, int stride,
              unsigned char*& out, unsigned long& outSize) {
    if (setjmp(errors.jump) != 0) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &out, &outSize);
    info.image_width = kCoverWidth;
    info.image_height = kCoverHeight;
    // Cairo keeps each pixel as one native 32-bit word 0xXXRRGGBB: libjpeg-turbo reads such
    // rows as they stand, converting the colours in the same arithmetic as from RGB bytes, with
    // its vector code instead of a copy of every row to 3 bytes a pixel first.
    info.input_components = 4;
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    info.in_color_space = JCS_EXT_BGRX;
#else
    info.in_color_space = JCS_EXT_XRGB;
#endif
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    info.optimize_coding = TRUE;
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[1] = {pixels + std::size_t(info.next_scanline) * stride};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

std::string encodeJpeg(cairo_surface_t* surface) {
    cairo_surface_flush(surface);
    jpeg_compress_struct info{};
    JpegErrors errors;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = onJpegError;
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    const bool done = compress(info, errors, cairo_image_surface_get_data(surface),
                               cairo_image_surface_get_stride(surface), out, outSize);
    std::string jpeg =
        done && out != nullptr ? std::string(reinterpret_cast<char*>(out), outSize) : std::string();
    std::free(out);
    if (!done) throw Error("Cannot encode the cover picture as JPEG");
    return jpeg;
}

// The regional set of Noto CJK that suits the language: the same code point has different
// forms in Chinese, Japanese and Korean print.
std::string cjkRegion(const std::string& languageTag) {
    std::string tag;
    for (const char c : languageTag)
        tag += c == '_' ? '-' : char(std::tolower(static_cast<unsigned char>(c)));
    const auto starts = [&tag](const char* head) { return tag.rfind(head, 0) == 0; };
    if (starts("ja")) return "JP";
    if (starts("ko")) return "KR";
    if (starts("zh-tw") || starts("zh-hant") || starts("zh-mo")) return "TC";
    if (starts("zh-hk")) return "HK";
    return "SC";
}

}  // namespace

DrawnCover drawCover(const std::string& title, const std::string& author,
                     const std::string& languageTag) {
    std::unique_ptr<cairo_surface_t, SurfaceFree> surface(
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, kCoverWidth, kCoverHeight));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
        throw Error("Cannot draw the cover: " +
                    std::string(cairo_status_to_string(cairo_surface_status(surface.get()))));
    std::unique_ptr<cairo_t, ContextFree> context(cairo_create(surface.get()));
    cairo_t* cr = context.get();

    // A dark, moderately saturated ground carries light text in any hue; the frame and the rule
    // are a lighter tint of the same hue.
    const double hue = titleHash(title) % 360;
    const Rgb ground = fromHsl(hue, 0.42, 0.27);
    const Rgb tint = fromHsl(hue, 0.55, 0.78);
    cairo_set_source_rgb(cr, ground.r, ground.g, ground.b);
    cairo_paint(cr);
    cairo_set_source_rgb(cr, tint.r, tint.g, tint.b);
    cairo_set_line_width(cr, 8);
    cairo_rectangle(cr, kMargin, kMargin, kCoverWidth - 2 * kMargin, kCoverHeight - 2 * kMargin);
    cairo_stroke(cr);
    cairo_set_line_width(cr, 3);
    cairo_rectangle(cr, kMargin + 24, kMargin + 24, kCoverWidth - 2 * kMargin - 48,
                    kCoverHeight - 2 * kMargin - 48);
    cairo_stroke(cr);
    cairo_rectangle(cr, kCoverWidth / 2.0 - 160, kRuleY - 3, 320, 6);
    cairo_fill(cr);

    std::unique_ptr<PangoContext, ObjectFree> pango(pango_cairo_create_context(cr));
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    pango_cairo_context_set_font_options(pango.get(), options);
    cairo_font_options_destroy(options);
    // The language decides which regional forms of Han characters fontconfig offers.
    if (!languageTag.empty())
        pango_context_set_language(pango.get(), pango_language_from_string(languageTag.c_str()));

    // DejaVu first for Latin, Greek and Cyrillic, which Noto CJK draws narrow; fontconfig's
    // fallback finds any script neither covers.
    const std::string region = cjkRegion(languageTag);
    const std::string serif = "DejaVu Serif, Noto Serif CJK " + region + ", serif";
    const std::string sans = "DejaVu Sans, Noto Sans CJK " + region + ", sans-serif";
    DrawnCover cover;
    Layout titleLayout(pango_layout_new(pango.get()));
    fitText(titleLayout.get(), drawableText(title), serif.c_str(), PANGO_WEIGHT_BOLD, 150, 44,
            kTitleHeight);
    Layout authorLayout(pango_layout_new(pango.get()));
    fitText(authorLayout.get(), drawableText(author), sans.c_str(), PANGO_WEIGHT_NORMAL, 84, 40,
            kAuthorHeight);

    cairo_set_source_rgb(cr, 0.98, 0.97, 0.94);
    drawCentred(cr, titleLayout.get(), kTitleTop, kTitleHeight);
    cairo_set_source_rgb(cr, tint.r, tint.g, tint.b);
    drawCentred(cr, authorLayout.get(), kAuthorTop, kAuthorHeight);
    collectMissing(titleLayout.get(), cover.missingCharacters);
    collectMissing(authorLayout.get(), cover.missingCharacters);

    if (cairo_status(cr) != CAIRO_STATUS_SUCCESS)
        throw Error("Cannot draw the cover: " +
                    std::string(cairo_status_to_string(cairo_status(cr))));
    cover.jpeg = encodeJpeg(surface.get());
    return cover;
}

std::string describeCharacters(const std::vector<char32_t>& characters) {
    std::string text;
    for (const char32_t c : characters) {
        char code[16];
        std::snprintf(code, sizeof code, "U+%04X", unsigned(c));
        char utf8[8] = {};
        g_unichar_to_utf8(gunichar(c), utf8);
        text += (text.empty() ? "" : ", ") + std::string(code) + " '" + utf8 + "'";
    }
    return text;
}

}  // namespace qb
