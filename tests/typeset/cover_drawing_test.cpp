// The drawn cover: a picture of the promised size for any title, every character of the usual
// scripts drawn with a real glyph, and those no font has named.

#include "typeset/cover_drawing.h"

#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <set>

#include <jpeglib.h>

namespace qb::test {
namespace {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;
    std::uint32_t at(int x, int y) const {
        const std::size_t i = 3 * (std::size_t(y) * width + x);
        return std::uint32_t(rgb[i]) << 16 | std::uint32_t(rgb[i + 1]) << 8 | rgb[i + 2];
    }
};

struct Errors {
    jpeg_error_mgr base{};
    std::jmp_buf jump{};
};

[[noreturn]] void onError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<Errors*>(info->err)->jump, 1);
}

bool decodeInto(jpeg_decompress_struct& info, const std::string& jpeg, Picture& picture) {
    if (setjmp(reinterpret_cast<Errors*>(info.err)->jump) != 0) return false;
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(jpeg.data()), jpeg.size());
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    picture.width = int(info.output_width);
    picture.height = int(info.output_height);
    picture.rgb.resize(std::size_t(picture.width) * picture.height * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = picture.rgb.data() + std::size_t(info.output_scanline) * picture.width * 3;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    return true;
}

Picture decode(const std::string& jpeg) {
    jpeg_decompress_struct info{};
    Errors errors;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = onError;
    Picture picture;
    EXPECT_TRUE(decodeInto(info, jpeg, picture)) << "not a JPEG picture";
    jpeg_destroy_decompress(&info);
    return picture;
}

// A cover is the promised size and shows something on its ground: many colours (the text is
// smoothed) and text pixels in the title's part.
void expectCover(const DrawnCover& cover, const std::string& what) {
    const Picture picture = decode(cover.jpeg);
    ASSERT_EQ(picture.width, kCoverWidth) << what;
    ASSERT_EQ(picture.height, kCoverHeight) << what;
    std::set<std::uint32_t> colours;
    for (int y = 0; y < picture.height; y += 7)
        for (int x = 0; x < picture.width; x += 7) colours.insert(picture.at(x, y));
    EXPECT_GT(colours.size(), 50u) << what;
}

TEST(CoverDrawingTest, EveryCharacterOfTheCommonScriptsHasAGlyph) {
    const std::pair<std::string, std::string> books[] = {
        {"三國演義 第一回", "zh-CN"},
        {"こころ 夏目漱石", "ja"},
        {"삼국지연의", "ko"},
        {"Œuvres complètes — Ærøskøbing, Łódź, İstanbul, Nguyễn", "fr"},
        {"Преступление и наказание", "ru"},
        {"Οδύσσεια — Ὅμηρος", "el"},
        {"Der Zauberberg — Ελληνικά, Русский, 中文, 日本語, 한국어", "de"},
        {"😀🎉🚀🌍", "en"},
    };
    for (const auto& [title, language] : books) {
        const DrawnCover cover = drawCover(title, "Lǚ Xùn 鲁迅 Лев Толстой", language);
        EXPECT_EQ(describeCharacters(cover.missingCharacters), "") << title;
        expectCover(cover, title);
    }
}

TEST(CoverDrawingTest, AnyTitleStillMakesACover) {
    std::string longTitle;
    while (longTitle.size() < 2000) longTitle += "A very long title that goes on ";
    std::string longCjk;
    for (int i = 0; i < 2000; ++i) longCjk += "长";
    const std::string titles[] = {
        longTitle,
        longCjk,
        std::string(3000, 'W'),  // one word wider than the cover
        "😀😂🎉🚀🌍",
        "",
        "   ",
        std::string("tab\there\x01\x7F\r\nbad \xFF\xC0 bytes"),
        "\u202Eبالعربية\u202C and עברית",
    };
    for (const std::string& title : titles) expectCover(drawCover(title, "A. Writer", "en"), title);
}

TEST(CoverDrawingTest, CharactersNoFontHasAreNamedAndTheCoverIsMade) {
    // Ol Chiki (Santali) and a private-use character: no installed font draws them.
    const DrawnCover cover = drawCover("ᱥᱟᱱ Santali \uE000", "ᱥᱟ", "sat");
    EXPECT_EQ(describeCharacters(cover.missingCharacters),
              "U+1C65 'ᱥ', U+1C5F 'ᱟ', U+1C71 'ᱱ', U+E000 '\uE000'");
    expectCover(cover, "Ol Chiki");
}

TEST(CoverDrawingTest, TheGroundFollowsTheTitle) {
    const auto ground = [](const std::string& title) {
        return decode(drawCover(title, "Author", "en").jpeg).at(20, 20);
    };
    EXPECT_EQ(ground("Emma"), ground("Emma"));
    EXPECT_NE(ground("Emma"), ground("Persuasion"));
    EXPECT_NE(ground("Emma"), ground("Emma II"));
}

// The cover is drawn in bands of rows; lines of text cross the borders between them (the author's
// CJK glyphs once lost a faint row there). Any band height gives the picture of one whole drawing.
TEST(CoverDrawingTest, BandsMakeThePictureOfOneWholeDrawing) {
    std::string longTitle;
    while (longTitle.size() < 300) longTitle += "The Chronicles of a Long Title 三國演義 ";
    for (const std::string& title : {std::string("三國演義 第一回"), longTitle}) {
        const Picture whole =
            decode(drawCover(title, "Lǚ Xùn 鲁迅 Лев Толстой", "zh-CN", kCoverHeight).jpeg);
        for (const int rows : {kCoverBandRows, 37}) {
            const Picture banded =
                decode(drawCover(title, "Lǚ Xùn 鲁迅 Лев Толстой", "zh-CN", rows).jpeg);
            ASSERT_EQ(banded.rgb.size(), whole.rgb.size());
            int firstDifferent = -1;
            for (int y = 0; y < kCoverHeight && firstDifferent < 0; ++y)
                for (int x = 0; x < kCoverWidth; ++x)
                    if (banded.at(x, y) != whole.at(x, y)) {
                        firstDifferent = y;
                        break;
                    }
            EXPECT_EQ(firstDifferent, -1) << "bands of " << rows << " rows: " << title;
        }
    }
}

}  // namespace
}  // namespace qb::test
