// The drawn cover and the embedded body font through quirebind-cli: books that pass epubcheck
// as EPUB 2 and 3, a font that holds exactly the book's characters it has, and fonts refused
// before any work.

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <set>
#include <string>

#include "tests/cli/cli_fixture.h"
#include "typeset/body_font.h"

namespace fs = std::filesystem;

namespace qb::test {
namespace {

const char* const kCjkCollection = "/usr/share/fonts/opentype/noto/NotoSerifCJK-Regular.ttc";

std::string utf8(const std::u32string& text) {
    std::string out;
    for (const char32_t c : text) {
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += {char(0xC0 | c >> 6), char(0x80 | (c & 0x3F))};
        } else if (c < 0x10000) {
            out += {char(0xE0 | c >> 12), char(0x80 | (c >> 6 & 0x3F)), char(0x80 | (c & 0x3F))};
        } else {
            out += {char(0xF0 | c >> 18), char(0x80 | (c >> 12 & 0x3F)),
                    char(0x80 | (c >> 6 & 0x3F)), char(0x80 | (c & 0x3F))};
        }
    }
    return out;
}

class CliTypographyTest : public CliTest {
  protected:
    CliTypographyTest() { m_plain = false; }

    void expectDrawnCover(int version) {
        const std::string text =
            file("a.txt", utf8(U"第一回 宴桃园豪杰三结义\n滚滚长江东逝水。\n"));
        const std::string book =
            makeBook({"-t", utf8(U"三国演义"), "-a", utf8(U"罗贯中"), "-o", path("out"),
                      "--epub-version", std::to_string(version), text});
        expectValidBook(book, version);
        EXPECT_EQ(archiveMember(book, "OEBPS/cover.jpg").substr(0, 3), "\xFF\xD8\xFF");
        const std::string opf = archiveMember(book, "OEBPS/fb.opf");
        EXPECT_TRUE(contains(opf, "<itemref idref=\"cover\"/>")) << opf;
        EXPECT_EQ(ncxEntries(book).front(),
                  version == 3 ? "cover>cover.xhtml" : "cover>cover.html");
    }

    // Chinese, Latin with accents, Greek, Cyrillic, and characters the font lacks (Ol Chiki).
    void expectEmbeddedFont(int version) {
        const std::u32string prose =
            U"第一章 风起\n春眠不觉晓，处处闻啼鸟。\nÇa été — Ωμέγα, Жизнь.\nᱥᱟᱱ\n";
        const std::string text = file("a.txt", utf8(prose));
        const BodyFont collection(std::string(kCjkCollection) + "#2");
        std::set<char32_t> wanted;
        const std::set<char32_t> has = collection.characters();
        // The title page's title and author are the book's characters too.
        for (const char32_t c : prose + U"BookA")
            if (c != U'\n' && has.count(c) != 0) wanted.insert(c);

        const std::string book =
            makeBook({"--no-cover", "-t", "Book", "-a", "A", "-o", path("out"), "--epub-version",
                      std::to_string(version), "--font", std::string(kCjkCollection) + "#2", text});
        expectValidBook(book, version);
        EXPECT_EQ(BodyFont::characters(archiveMember(book, "OEBPS/bodyfont.otf")), wanted);
        const std::string type = version == 3 ? "font/otf" : "application/vnd.ms-opentype";
        EXPECT_TRUE(contains(archiveMember(book, "OEBPS/fb.opf"),
                             "href=\"bodyfont.otf\" media-type=\"" + type + "\""));
        EXPECT_TRUE(contains(archiveMember(book, "OEBPS/stylesheet.css"),
                             "@font-face { font-family: \"Noto Serif CJK SC\"; src: "
                             "url(bodyfont.otf); }\r\nbody { font-family: \"Noto Serif CJK SC\", "
                             "serif; }\r\n"));
    }
};

TEST_F(CliTypographyTest, BareCommandDrawsTheCoverEpub2) {
    expectDrawnCover(2);
}

TEST_F(CliTypographyTest, BareCommandDrawsTheCoverEpub3) {
    expectDrawnCover(3);
}

TEST_F(CliTypographyTest, CoverChoices) {
    const std::string text = file("a.txt", "Hello\n");
    // Without a drawn cover: asked for none, or the book as earlier versions made it.
    const std::vector<std::string> none[] = {{"--no-cover"}, {"--plain"}};
    for (const std::vector<std::string>& options : none) {
        std::vector<std::string> args = {"-t", "Book", "-a", "A", "-o", path("none"), "-y", text};
        args.insert(args.begin(), options.begin(), options.end());
        const std::vector<std::string> members = archiveMembers(makeBook(args));
        EXPECT_EQ(std::count(members.begin(), members.end(), "OEBPS/cover.jpg"), 0)
            << options.front();
    }
    const std::vector<std::string> members = archiveMembers(makeBook(
        {"--plain", "--cover", "auto", "-t", "Book", "-a", "A", "-o", path("auto"), text}));
    EXPECT_EQ(std::count(members.begin(), members.end(), "OEBPS/cover.jpg"), 1);
    EXPECT_EQ(
        cli({"--no-cover", "-c", "auto", "-t", "B", "-a", "A", "-o", path("x"), text}).exitStatus,
        2);
}

// Santali's script: no installed font draws it, so the cover shows boxes and says so.
TEST_F(CliTypographyTest, CoverWithCharactersNoFontHasIsMadeWithANote) {
    const std::string text = file("a.txt", "Hello\n");
    const ProgramResult r = cli({"-t", utf8(U"ᱥᱟᱱ"), "-a", "A", "-o", path("out"), "-q", text});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.err, "quirebind-cli: Cover: No installed font has a glyph for " +
                         utf8(U"U+1C65 'ᱥ', U+1C5F 'ᱟ', U+1C71 'ᱱ'") +
                         "; the cover shows a box in their place.\n");
}

// Subset with HarfBuzz: every character of the book that the font has, and nothing else.
TEST_F(CliTypographyTest, FontHoldsExactlyTheBooksCharactersItHasEpub2) {
    expectEmbeddedFont(2);
}

TEST_F(CliTypographyTest, FontHoldsExactlyTheBooksCharactersItHasEpub3) {
    expectEmbeddedFont(3);
}

TEST_F(CliTypographyTest, FontThatIsNoFontEndsTheRunBeforeAnyPage) {
    // The text file is missing: had a page been written first, its error would have come.
    const std::string font = file("photo.ttf", std::string("\xFF\xD8\xFF\xE0", 4) + "JFIF");
    const ProgramResult r =
        cli({"-t", "Book", "-a", "A", "-o", path("out"), "--font", font, path("missing.txt")});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err, "quirebind-cli: Not a TrueType or OpenType font: \"" + font + "\".\n");
    EXPECT_FALSE(fs::exists(path("out/Book.epub")));
}

}  // namespace
}  // namespace qb::test
