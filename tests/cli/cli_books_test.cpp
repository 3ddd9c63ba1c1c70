// Whole books made by quirebind-cli, each checked by epubcheck and by reading its pages back.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/cli/cli_fixture.h"

namespace fs = std::filesystem;

namespace qb::test {
namespace {

const std::string kUtf16LeMark = "\xFF\xFE";
const std::string kUtf16BeMark = "\xFE\xFF";

// Long enough for charset detection to be sure of its guess.
const std::string kFrench =
    "Le caf\xC3\xA9 est servi.\n"
    "L'\xC3\xA9l\xC3\xA8ve na\xC3\xAF"
    "f arrive \xC3\xA0 l'\xC3\xA9"
    "cole o\xC3\xB9 le ma\xC3\xAEtre "
    "l'attend d\xC3\xA9j\xC3\xA0 depuis une heure.\n"
    "Il a re\xC3\xA7u une lettre tr\xC3\xA8s \xC3\xA9trange de sa soeur.\n"
    "\xC3\x80 la fen\xC3\xAAtre, la m\xC3\xA8re r\xC3\xA9p\xC3\xA8te que l'\xC3\xA9t\xC3\xA9 "
    "sera chaud et que les f\xC3\xAAtes seront tr\xC3\xA8s gaies.\n"
    "Fran\xC3\xA7ois pr\xC3\xA9"
    "f\xC3\xA8re le th\xC3\xA9\xC3\xA2tre \xC3\xA0 la for\xC3\xAAt.\n";

const std::string kChinese =
    "\xE6\x98\xA5\xE7\x9C\xA0\xE4\xB8\x8D\xE8\xA7\x89\xE6\x99\x93\xEF\xBC\x8C"
    "\xE5\xA4\x84\xE5\xA4\x84\xE9\x97\xBB\xE5\x95\xBC\xE9\xB8\x9F\xE3\x80\x82\n"
    "\xE5\xA4\x9C\xE6\x9D\xA5\xE9\xA3\x8E\xE9\x9B\xA8\xE5\xA3\xB0\xEF\xBC\x8C"
    "\xE8\x8A\xB1\xE8\x90\xBD\xE7\x9F\xA5\xE5\xA4\x9A\xE5\xB0\x91\xE3\x80\x82\n"
    "\xE6\x88\x91\xE4\xBB\xAC\xE4\xBB\x8A\xE5\xA4\xA9\xE5\x8E\xBB\xE5\x9B\xBE\xE4\xB9\xA6"
    "\xE9\xA6\x86\xE7\x9C\x8B\xE4\xB9\xA6\xEF\xBC\x8C\xE7\x84\xB6\xE5\x90\x8E\xE5\x9B\x9E"
    "\xE5\xAE\xB6\xE5\x90\x83\xE9\xA5\xAD\xE3\x80\x82\n"
    "\xE8\xBF\x99\xE6\x9C\xAC\xE5\xB0\x8F\xE8\xAF\xB4\xE8\xAE\xB2\xE7\x9A\x84\xE6\x98\xAF"
    "\xE4\xB8\x80\xE4\xB8\xAA\xE5\xB9\xB4\xE8\xBD\xBB\xE4\xBA\xBA\xE5\x9C\xA8\xE5\x8C\x97"
    "\xE4\xBA\xAC\xE5\xB7\xA5\xE4\xBD\x9C\xE7\x9A\x84\xE6\x95\x85\xE4\xBA\x8B\xE3\x80\x82\n";

class CliBookTest : public CliTest {
  protected:
    // Builds a book from the given files with the usual entries plus extra options.
    std::string build(const std::vector<std::string>& files, const std::string& title,
                      std::vector<std::string> extra = {}) {
        std::vector<std::string> args{"-t", title, "-a", "A. Writer", "-o", path("out")};
        args.insert(args.end(), extra.begin(), extra.end());
        args.insert(args.end(), files.begin(), files.end());
        return makeBook(args);
    }
};

TEST_F(CliBookTest, PlainTextBookInANewNestedFolder) {
    const std::string one = file("one.txt", "Chapter one\r\nIt was a dark night.\n");
    const std::string two = file("two.txt", "Chapter two\rThe end.");
    std::vector<std::string> args{"-t", "Plain",         "-a", "A. Writer",
                                  "-o", path("out/a/b"), one,  two};
    const ProgramResult r = cli(args);
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    const std::string archive = path("out/a/b/Plain.epub");
    EXPECT_EQ(r.out, archive + "\n");
    EXPECT_EQ(r.err, "") << "no progress when stderr is not a terminal";

    // Pages follow the order of the command line.
    EXPECT_NE(archiveMember(archive, "OEBPS/page1.html").find("It was a dark night."),
              std::string::npos);
    EXPECT_NE(archiveMember(archive, "OEBPS/page2.html").find("The end."), std::string::npos);
    const std::string opf = archiveMember(archive, "OEBPS/fb.opf");
    EXPECT_NE(opf.find(">Plain<"), std::string::npos);
    EXPECT_NE(opf.find(">A. Writer<"), std::string::npos);
    expectValidBook(archive);
}

// The number of threads that pack the book changes nothing in it.
TEST_F(CliBookTest, AnyNumberOfPackingThreadsGivesTheSamePages) {
    std::vector<std::string> files;
    for (int k = 0; k < 6; ++k) {
        std::string text;
        for (int line = 0; line < 3000 * (k + 1); ++line) {
            text +=
                "Line " + std::to_string(line * (k + 3)) + " of file " + std::to_string(k) + "\n";
        }
        files.push_back(file("f" + std::to_string(k) + ".txt", text));
    }
    const std::string one = build(files, "One", {"--plain", "--jobs", "1"});
    const std::string four = build(files, "Four", {"--plain", "--jobs", "4"});
    for (int k = 1; k <= 6; ++k) {
        const std::string page = "OEBPS/page" + std::to_string(k) + ".html";
        EXPECT_EQ(archiveMember(one, page), archiveMember(four, page)) << page;
    }
    expectValidBook(four);
}

TEST_F(CliBookTest, JpegCover) {
    const std::string cover = file("pictures/front.jpg", jpegPicture());
    const std::string archive = build({file("a.txt", "Hello\n")}, "Jpeg", {"-c", cover});
    EXPECT_EQ(archiveMember(archive, "OEBPS/front.jpg"), jpegPicture());
    EXPECT_NE(archiveMember(archive, "OEBPS/fb.opf").find("image/jpeg"), std::string::npos);
    EXPECT_NE(archiveMember(archive, "OEBPS/cover.html").find("front.jpg"), std::string::npos);
    expectValidBook(archive);
}

TEST_F(CliBookTest, PngCoverIsDeclaredAsPng) {
    const std::string cover = file("pictures/front.png", pngPicture());
    const std::string archive = build({file("a.txt", "Hello\n")}, "Png", {"--cover", cover});
    EXPECT_EQ(archiveMember(archive, "OEBPS/front.png"), pngPicture());
    const std::string opf = archiveMember(archive, "OEBPS/fb.opf");
    EXPECT_NE(opf.find("image/png"), std::string::npos);
    EXPECT_EQ(opf.find("image/jpeg"), std::string::npos);
    expectValidBook(archive);
}

// Twelve pages of every kind of text the program meets, detected without --encoding, under a
// title that is awkward both for XML and for a file name.
TEST_F(CliBookTest, TwelveMixedTextsUnderAnAwkwardTitle) {
    std::vector<std::string> files;
    files.push_back(file("01.txt", "Plain ASCII\n"));
    files.push_back(file("02.txt", encodeText(kFrench, "WINDOWS-1252")));
    files.push_back(file("03.txt", encodeText(kChinese, "GBK")));
    files.push_back(file("04.txt", kUtf16LeMark + encodeText("Gr\xC3\xBC\xC3\x9F"
                                                             "e aus "
                                                             "\xE6\x9D\xB1\xE4\xBA\xAC\r\nzwei\r\n",
                                                             "UTF-16LE")));
    files.push_back(
        file("05.txt", kUtf16BeMark + encodeText("big end \xE2\x82\xAC\n", "UTF-16BE")));
    files.push_back(file("06.txt",
                         "\xEF\xBB\xBF"
                         "UTF-8 with a mark \xE2\x9C\x93\n"));
    files.push_back(file("07.txt", ""));
    files.push_back(file("08.txt", "bell\x07 and\x01 escape\x1B\x0C end\n"));
    files.push_back(file("09.txt", "a < b && c > d \"q\" 'a'\n"));
    files.push_back(file("10.txt", kFrench));
    files.push_back(file("11.txt", "\n\n\n"));
    files.push_back(file("12.txt", "last page\n"));

    const std::string title = "Tom & Jerry <1/2>";
    const std::string archive = build(files, title);
    EXPECT_EQ(fs::path(archive).filename().string(), "Tom & Jerry _1_2_.epub");

    auto page = [&](int k) {
        return archiveMember(archive, "OEBPS/page" + std::to_string(k) + ".html");
    };
    EXPECT_TRUE(contains(page(2),
                         "\xC3\xA9l\xC3\xA8ve na\xC3\xAF"
                         "f"))
        << page(2);
    EXPECT_TRUE(contains(page(3), "\xE6\x98\xA5\xE7\x9C\xA0\xE4\xB8\x8D\xE8\xA7\x89")) << page(3);
    EXPECT_TRUE(contains(page(4),
                         "Gr\xC3\xBC\xC3\x9F"
                         "e aus \xE6\x9D\xB1\xE4\xBA\xAC"))
        << page(4);
    EXPECT_TRUE(contains(page(5), "big end \xE2\x82\xAC")) << page(5);
    EXPECT_TRUE(contains(page(6), "UTF-8 with a mark \xE2\x9C\x93")) << page(6);
    for (int k : {4, 5, 6}) EXPECT_FALSE(contains(page(k), "\xEF\xBB\xBF")) << "mark written";
    EXPECT_TRUE(contains(page(8), "bell and escape end")) << page(8);
    // Markup characters are escaped, so a reader shows them as typed.
    EXPECT_TRUE(contains(page(9), "a &lt; b &amp;&amp; c &gt; d \"q\" 'a'")) << page(9);
    EXPECT_TRUE(contains(page(10), "Fran\xC3\xA7ois")) << page(10);
    EXPECT_TRUE(contains(page(12), "last page"));

    const std::string opf = archiveMember(archive, "OEBPS/fb.opf");
    EXPECT_TRUE(contains(opf, "Tom &amp; Jerry &lt;1/2")) << opf;
    EXPECT_TRUE(contains(archiveMember(archive, "OEBPS/fb.ncx"), "page12.html"));
    expectValidBook(archive);
}

TEST_F(CliBookTest, NamedWindows1252) {
    // Bytes 0x80 to 0x9F are letters in windows-1252 but controls in ISO-8859-1; a short text
    // like this one is not enough to detect, which is what --encoding is for.
    const std::string text = "\x80 5, \x93quoted\x94 \x96 caf\xE9\n";
    const std::string archive =
        build({file("w.txt", text)}, "Cp1252", {"--encoding", "windows-1252"});
    EXPECT_NE(archiveMember(archive, "OEBPS/page1.html")
                  .find("\xE2\x82\xAC 5, \xE2\x80\x9Cquoted\xE2\x80\x9D \xE2\x80\x93 caf\xC3\xA9"),
              std::string::npos);
    expectValidBook(archive);
}

TEST_F(CliBookTest, NamedGbk) {
    const std::string archive =
        build({file("g.txt", encodeText("\xE4\xBD\xA0\xE5\xA5\xBD\n", "GBK")),
               file("g2.txt", encodeText(kChinese, "GBK"))},
              "Gbk", {"--encoding", "GBK"});
    EXPECT_NE(archiveMember(archive, "OEBPS/page1.html").find("\xE4\xBD\xA0\xE5\xA5\xBD"),
              std::string::npos);
    EXPECT_NE(archiveMember(archive, "OEBPS/page2.html").find("\xE8\x8A\xB1\xE8\x90\xBD"),
              std::string::npos);
    expectValidBook(archive);
}

TEST_F(CliTest, FilesFromAListComeAfterTheNamedOnesInOrder) {
    const std::string one = file("one.txt", "One\n");
    const std::string two = file("two\nlines.txt", "Two\n");
    const std::string three = file("three.txt", "Three\n");
    const std::vector<std::string> common{"-q", "-y", "-t", "Book", "-a", "A", "-o", path("out")};
    const auto pagesOf = [&](const std::vector<std::string>& args, const ProgramOptions& options) {
        std::vector<std::string> all = common;
        all.insert(all.end(), args.begin(), args.end());
        const ProgramResult r = cli(all, options);
        EXPECT_EQ(r.exitStatus, 0) << r.err;
        std::string texts;
        for (const char* page : {"OEBPS/page1.html", "OEBPS/page2.html", "OEBPS/page3.html"}) {
            const std::string html = archiveMember(path("out/Book.epub"), page);
            for (const char* word : {"One", "Two", "Three"}) {
                if (html.find(std::string("<p>") + word) != std::string::npos) texts += word;
            }
        }
        return texts;
    };
    // Lines (a CR before the LF and empty lines are no names), and NUL-separated for names
    // that hold a line break, from a file and from standard input.
    file("list.txt", three + "\r\n\n" + one + "\n");
    EXPECT_EQ(pagesOf({file("two.txt", "Two\n"), "--files-from", path("list.txt")}, cliOptions()),
              "TwoThreeOne");
    file("list0", three + std::string(1, '\0') + two + std::string(1, '\0'));
    ProgramOptions fromStdin = cliOptions();
    fromStdin.standardInput = path("list0");
    EXPECT_EQ(pagesOf({one, "--files-from", "-", "-0"}, fromStdin), "OneThreeTwo");

    file("empty.txt", "\n\n");
    const ProgramResult r =
        cli({"-t", "T", "-a", "A", "-o", path("out"), "--files-from", path("empty.txt")});
    EXPECT_EQ(r.exitStatus, 2);
    EXPECT_EQ(r.err, "quirebind-cli: --files-from: \"" + path("empty.txt") +
                         "\" names no file\nRun with --help for more information.\n");
}

}  // namespace
}  // namespace qb::test
