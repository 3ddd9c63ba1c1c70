// quirebind-cli with nothing but the text files: the book goes to the current folder and
// everything else is read from the text. Checked on small texts written here and, where the
// shared corpus lies beside the clone, on real downloaded books.

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "tests/cli/cli_fixture.h"

namespace fs = std::filesystem;

namespace qb::test {
namespace {

class CliBareTest : public CliTest {
  protected:
    CliBareTest() { m_plain = false; }

    // Runs the bare command in folder; returns the book's path.
    std::string bare(const std::string& folder, const std::vector<std::string>& files) {
        fs::create_directories(folder);
        std::vector<std::string> args{
            "/bin/sh", "-c", "cd \"$1\" && shift && exec \"$@\"", "sh", folder, QB_CLI_PATH, "-q"};
        args.insert(args.end(), files.begin(), files.end());
        const ProgramResult r = runProgram(args, cliOptions());
        EXPECT_EQ(r.exitStatus, 0) << r.err;
        std::string archive = r.out.substr(0, r.out.find('\n'));
        if (!archive.empty() && archive[0] != '/') archive = folder + "/" + archive;
        EXPECT_TRUE(fs::is_regular_file(archive)) << r.out << r.err;
        return archive;
    }

    // The pages of the first text file, in reading order.
    static std::string allPages(const std::string& archive) {
        const std::vector<std::string> members = archiveMembers(archive);
        std::string text;
        // EPUB 3 pages end in .xhtml.
        for (const char* extension : {".html", ".xhtml"}) {
            for (int n = 1;; ++n) {
                const std::string name =
                    "OEBPS/page1" + (n == 1 ? std::string() : "-" + std::to_string(n)) + extension;
                if (std::find(members.begin(), members.end(), name) == members.end()) break;
                text += archiveMember(archive, name);
            }
        }
        return text;
    }
};

TEST_F(CliBareTest, AGutenbergBookFromTheBareCommand) {
    const std::string text = file(
        "pg99.txt",
        "The Project Gutenberg eBook of A Tale\r\n\r\nTitle: A Tale\r\n\r\nAuthor: Some One\r\n"
        "\r\nLanguage: French\r\n\r\n*** START OF THE PROJECT GUTENBERG EBOOK A TALE ***\r\n\r\n"
        "CONTENTS\r\n\r\n  CHAPTER I.   Le départ\r\n  CHAPTER II.  Le retour\r\n\r\n\r\n\r\n"
        "CHAPTER I.\r\n\r\nIl était une fois un _homme_ qui partit, et\r\nil ne revint pas. Sa "
        "maison resta\r\nvide, et le jardin aussi, pendant\r\nde longues années.\r\n"
        "\r\n* * *\r\n\r\nPuis il revint.\r\n\r\nCHAPTER II.\r\n\r\nFin.\r\n\r\n*** END OF THE "
        "PROJECT GUTENBERG EBOOK A TALE ***\r\n\r\nThe licence.\r\n");
    const std::string archive = bare(path("here"), {text});
    EXPECT_EQ(archive, path("here") + "/./A Tale.epub");
    expectValidBook(archive);
    const std::string opf = archiveMember(archive, "OEBPS/fb.opf");
    EXPECT_TRUE(contains(opf, ">A Tale<")) << opf;
    EXPECT_TRUE(contains(opf, ">Some One<")) << opf;
    EXPECT_TRUE(contains(opf, "<dc:language>fr<")) << opf;
    std::vector<std::string> labels;
    for (const std::string& entry : ncxEntries(archive))
        labels.push_back(entry.substr(0, entry.find('>')));
    EXPECT_EQ(labels,
              (std::vector<std::string>{"cover", "A Tale", "page1", "CHAPTER I.", "CHAPTER II."}));
    const std::string pages = allPages(archive);
    EXPECT_TRUE(contains(pages, "<em>homme</em> qui partit, et il ne revint pas. Sa maison"));
    EXPECT_TRUE(contains(pages, "<p class=\"scene\">* * * </p>"));
    // The licence comes after the story.
    EXPECT_LT(pages.find("Fin."), pages.find("The licence."));
    EXPECT_LT(pages.find("Fin."), pages.find("Title: A Tale"));
}

TEST_F(CliBareTest, TitleAndAuthorFromTheFileNameElseUnknown) {
    const std::string a = file("《希灵帝国》作者：远瞳.txt", "正文。\n");
    const std::string b = file("notes.txt", "Just notes.\n");
    std::string opf = archiveMember(bare(path("a"), {a}), "OEBPS/fb.opf");
    EXPECT_TRUE(contains(opf, ">希灵帝国<") && contains(opf, ">远瞳<")) << opf;
    // The first file decides; an author nobody names is "Unknown".
    opf = archiveMember(bare(path("b"), {b, a}), "OEBPS/fb.opf");
    EXPECT_TRUE(contains(opf, ">notes<") && contains(opf, ">Unknown<")) << opf;
}

TEST_F(CliBareTest, PlainGivesTheWindowsBookByteForByte) {
    const std::string text = file("t.txt",
                                  "Title: X\n*** START OF THE PROJECT GUTENBERG EBOOK X "
                                  "***\nCHAPTER I.\n_a_\n\n* * *\n");
    m_plain = true;
    const std::string plain = makeBook({"-t", "T", "-a", "A", "-o", path("p"), text});
    m_plain = false;
    const std::string lines =
        makeBook({"-t", "T", "-a", "A", "-o", path("l"), "--paragraphs", "lines", "--chapters",
                  "off", "--language", "en-US", "--conventions", "none", text});
    // The same reading; only the look (page titles from chapters) is the typeset book's.
    const auto body = [](const std::string& page) { return page.substr(page.find("<body>")); };
    EXPECT_EQ(body(archiveMember(plain, "OEBPS/page1.html")),
              body(archiveMember(lines, "OEBPS/page1.html")));
    EXPECT_TRUE(contains(archiveMember(plain, "OEBPS/page1.html"), "<p>_a_ </p>"));
}

// The shared corpus of real books, where it lies beside the clone.
TEST_F(CliBareTest, RealBooksFromTheSharedCorpus) {
    // QB_SHARED_CORPUS names it where it lies elsewhere.
    const char* named = std::getenv("QB_SHARED_CORPUS");
    const fs::path corpus = named != nullptr && *named != '\0'
                                ? fs::path(named)
                                : fs::path(QB_SOURCE_DIR) / ".." / "shared" / "corpus";
    if (!fs::is_directory(corpus)) GTEST_SKIP() << "no shared corpus at " << corpus;
    struct Book {
        const char* file;
        const char* title;
        const char* author;
        const char* language;
        std::size_t chapters;
        const char* inText;   // proof that paragraphs were read right
        int epubVersion = 2;  // 3 for ruby and vertical pages
    };
    const Book books[] = {
        {"pride.txt", "pride", "Unknown", "en", 62,
         "It is a truth universally acknowledged, that a single man in possession of a good "
         "fortune must be in want of a wife."},
        {"pg16-0.txt", "Peter Pan: Peter Pan and Wendy", "James M. Barrie", "en", 17,
         "All children, except one, grow up. They soon know"},
        {"三国演义.txt", "三国演义", "罗贯中", "zh-CN", 120,
         "<p>话说天下大势，分久必合，合久必分。"},
        {"kokoro_orig_sjis.txt", "こころ", "夏目漱石", "ja", 113,
         "<rt>わたくし</rt><rp>）</rp></ruby>はその人を", 3},
    };
    for (const Book& book : books) {
        SCOPED_TRACE(book.file);
        const std::string archive = bare(path("corpus"), {(corpus / book.file).string()});
        expectValidBook(archive, book.epubVersion);
        const std::string opf = archiveMember(archive, "OEBPS/fb.opf");
        EXPECT_TRUE(contains(opf, std::string(">") + book.title + "<")) << opf;
        EXPECT_TRUE(contains(opf, std::string(">") + book.author + "<")) << opf;
        EXPECT_TRUE(contains(opf, std::string("<dc:language>") + book.language + "<")) << opf;
        std::vector<std::string> labels;
        for (const std::string& entry : ncxEntries(archive)) {
            const std::string label = entry.substr(0, entry.find('>'));
            // The cover and the title page stand before the text's own entries.
            if (label.find("page") == std::string::npos && label != "cover" && label != book.title)
                labels.push_back(label);
        }
        EXPECT_EQ(labels.size(), book.chapters);
        const std::string pages = allPages(archive);
        EXPECT_TRUE(contains(pages, book.inText));
        if (std::string(book.file) == "pg16-0.txt") {
            EXPECT_LT(pages.find("THE END"), pages.find("Project Gutenberg License"));
        }
        if (std::string(book.file) == "pride.txt") {
            EXPECT_TRUE(contains(pages, "<em>"));
        }
    }
}

}  // namespace
}  // namespace qb::test
