// The body font: what is refused before any work, and a subset that holds exactly the book's
// characters that the font has.

#include "typeset/body_font.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "tests/support/files.h"
#include "tests/support/temp_folder.h"
#include "tests/typeset/font_files.h"

namespace qb::test {

std::string withEmbeddingBits(std::string font, unsigned bits) {
    const auto u16 = [&font](std::size_t at) {
        return unsigned(static_cast<unsigned char>(font[at])) << 8 |
               static_cast<unsigned char>(font[at + 1]);
    };
    const auto u32 = [&](std::size_t at) { return u16(at) << 16 | u16(at + 2); };
    for (unsigned i = 0, tables = u16(4); i < tables; ++i) {
        const std::size_t record = 12 + 16 * std::size_t(i);
        if (font.compare(record, 4, "OS/2") != 0) continue;
        const std::size_t fsType = u32(record + 8) + 8;
        font[fsType] = char(bits >> 8);
        font[fsType + 1] = char(bits & 0xFF);
        return font;
    }
    ADD_FAILURE() << "no OS/2 table";
    return font;
}

namespace {

std::set<char32_t> common(const std::set<char32_t>& a, const std::set<char32_t>& b) {
    std::set<char32_t> both;
    std::set_intersection(a.begin(), a.end(), b.begin(), b.end(),
                          std::inserter(both, both.begin()));
    return both;
}

std::string refusal(const std::string& given) {
    try {
        BodyFont font(given);
    } catch (const std::exception& e) {
        return e.what();
    }
    return "taken";
}

TEST(BodyFontTest, WhatCannotBeEmbeddedIsRefusedWithItsReason) {
    TempFolder folder;
    const std::string dir = folder.path();
    const std::string latin = readFile(kLatinFont);
    writeFile(dir + "/photo.ttf", std::string("\xFF\xD8\xFF\xE0", 4) + std::string(4000, 'x'));
    writeFile(dir + "/web.woff", "wOFF" + std::string(400, '\0'));
    writeFile(dir + "/cut.ttf", latin.substr(0, 12));
    writeFile(dir + "/restricted.ttf", withEmbeddingBits(latin, 0x0002));
    writeFile(dir + "/bitmaps.ttf", withEmbeddingBits(latin, 0x0200));
    // Restricted and "editable" both set: the least restrictive one holds.
    writeFile(dir + "/editable.ttf", withEmbeddingBits(latin, 0x000A));
    // 200 MiB without using the disk: the size alone refuses it, before a byte is read.
    writeFile(dir + "/huge.ttf", "");
    std::filesystem::resize_file(dir + "/huge.ttf", std::uintmax_t{200} << 20);

    const std::string cjk = kCjkCollection;
    const std::pair<std::string, std::string> cases[] = {
        {dir + "/missing.ttf",
         "Cannot open file \"" + dir + "/missing.ttf\". No such file or directory"},
        {dir + "/photo.ttf", "Not a TrueType or OpenType font: \"" + dir + "/photo.ttf\"."},
        {dir + "/web.woff", "The font \"" + dir +
                                "/web.woff\" is a web font (WOFF); please give the TrueType or "
                                "OpenType file it was made from."},
        {dir + "/cut.ttf",
         "The font \"" + dir + "/cut.ttf\" is damaged: no font can be read from it."},
        {dir + "/huge.ttf",
         "The font \"" + dir + "/huge.ttf\" is larger than 128 MiB, the most a book takes."},
        {dir + "/restricted.ttf",
         "The font \"" + dir +
             "/restricted.ttf\" may not be embedded: its licence sets \"restricted licence "
             "embedding\" (OS/2 fsType bit 1)."},
        {dir + "/bitmaps.ttf", "The font \"" + dir +
                                   "/bitmaps.ttf\" may not be embedded: its licence allows "
                                   "embedding only its bitmaps (OS/2 fsType bit 9)."},
        {dir + "/editable.ttf", "taken"},
        {cjk + "#5",
         "The font file \"" + cjk + "\" holds 5 fonts (#0 to #4); there is no font #5."},
        {cjk + "#99999999999999999999",
         "The font file \"" + cjk +
             "\" holds 5 fonts (#0 to #4); there is no font #99999999999999999999."},
        {std::string(kLatinFont) + "#1", "The font file \"" + std::string(kLatinFont) +
                                             "\" holds 1 font (#0); there is no font #1."},
        {cjk + "#3", "taken"},
    };
    for (const auto& [given, message] : cases) EXPECT_EQ(refusal(given), message) << given;
}

// A file whose name ends in "#2" is that file, not font 2 of another.
TEST(BodyFontTest, AFileNamedWithAHashIsTakenWhole) {
    TempFolder folder;
    const std::string path = folder.path() + "/serif#2";
    writeFile(path, readFile(kLatinFont));
    const BodyFont font(path);
    EXPECT_EQ(font.path(), path);
    EXPECT_EQ(font.index(), 0u);
    EXPECT_EQ(font.familyName(), "Liberation Serif");
}

TEST(BodyFontTest, SubsetHoldsTheBooksCharactersTheFontHasAndNothingElse) {
    // Latin with accents, Greek, Cyrillic, CJK, punctuation, and characters neither font has.
    std::set<char32_t> book;
    for (const char32_t c : std::u32string(U"Ça été «Ωμέγα» Жизнь, 山海经第一回。— 𝔸\u1C50\uE000"))
        book.insert(c);
    struct Case {
        std::string given;
        std::string extension;
        std::string family;
    };
    const Case cases[] = {
        {kLatinFont, "ttf", "Liberation Serif"},
        {std::string(kCjkCollection) + "#2", "otf", "Noto Serif CJK SC"},
    };
    for (const Case& c : cases) {
        const BodyFont font(c.given);
        EXPECT_EQ(font.familyName(), c.family);
        const BodyFont::Embedded embedded = font.embedded(book);
        EXPECT_EQ(embedded.extension, c.extension) << c.given;
        const std::set<char32_t> wanted = common(book, font.characters());
        EXPECT_GT(wanted.size(), 10u) << c.given;
        EXPECT_EQ(BodyFont::characters(embedded.bytes), wanted) << c.given;
        // A novel's worth of characters from a 26 MiB collection stays small.
        EXPECT_LT(embedded.bytes.size(), font.fileBytes() / 20) << c.given;
    }
}

TEST(BodyFontTest, AFontThatMayNotBeSubsetIsEmbeddedWhole) {
    TempFolder folder;
    const std::string path = folder.path() + "/whole.ttf";
    const std::string bytes = withEmbeddingBits(readFile(kLatinFont), 0x0100);
    writeFile(path, bytes);
    const BodyFont font(path);
    EXPECT_FALSE(font.subsettable());
    EXPECT_EQ(font.embedded({U'a'}).bytes, bytes);
}

}  // namespace
}  // namespace qb::test
