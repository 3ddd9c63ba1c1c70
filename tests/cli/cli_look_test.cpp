// The look the command line gives a book by default, the title page, the user's stylesheet and
// the details a user may give: in both EPUB versions, each book through epubcheck.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/cli/cli_fixture.h"

namespace fs = std::filesystem;

namespace qb::test {
namespace {

const std::string kText =
    "Before the story.\n\nChapter 1\n\nIt was a dark night.\n\nChapter 2\n\nThe end.\n";

const std::vector<std::string> kDetails = {
    "-a",           "B. Writer",      "--description",  "A <short> tale.",
    "--subject",    "Fiction",        "--subject",      "Night",
    "--publisher",  "Acme & Sons",    "--date",         "1897-05-26",
    "--rights",     "Public domain.", "--isbn",         "0-8044-2957-X",
    "--series",     "Dark Tales",     "--series-index", "2.5",
    "--title-sort", "Dark, The",      "--author-sort",  "Writer, A."};

class CliLookTest : public CliTest {
  protected:
    // The typeset book is the command line's own; --plain is given where a case wants it.
    CliLookTest() { m_plain = false; }

    std::string build(std::vector<std::string> extra, const std::string& title = "The Dark") {
        std::vector<std::string> args{"-y",        "-t",         title,       "-a",
                                      "A. Writer", "-o",         path("out"), "--paragraphs",
                                      "blocks",    "--chapters", "auto"};
        args.insert(args.end(), extra.begin(), extra.end());
        args.push_back(file("story.txt", kText));
        return makeBook(args);
    }

    // The <title> and the stylesheet links of a page.
    static std::string head(const std::string& page) {
        const std::size_t from = page.find("<title>");
        return page.substr(from, page.find("</head>") - from);
    }
};

TEST_F(CliLookTest, PrintedLookWithEveryDetailInBothVersions) {
    const std::string css = file("mine.css", "p { color: #222; } /* </style> */\n");
    const std::string cover = file("front.jpg", jpegPicture());
    for (const int version : {2, 3}) {
        const std::string ext = version == 3 ? ".xhtml" : ".html";
        std::vector<std::string> extra = kDetails;
        for (const std::string& more : {std::string("--epub-version"), std::to_string(version),
                                        std::string("--css"), css, std::string("-c"), cover})
            extra.push_back(more);
        const std::string archive = build(extra);
        expectValidBook(archive, version);

        EXPECT_EQ(ncxEntries(archive),
                  (std::vector<std::string>{"cover>cover" + ext, "The Dark>titlepage" + ext,
                                            "page1>page1" + ext, "Chapter 1>page1-2" + ext,
                                            "Chapter 2>page1-3" + ext}));
        const std::string links =
            "<link href=\"stylesheet.css\" type=\"text/css\" rel=\"stylesheet\"/>\r\n"
            "<link href=\"user.css\" type=\"text/css\" rel=\"stylesheet\"/>\r\n";
        const std::pair<std::string, std::string> titles[] = {{"page1", "The Dark"},
                                                              {"page1-2", "Chapter 1"},
                                                              {"page1-3", "Chapter 2"},
                                                              {"titlepage", "The Dark"}};
        for (const auto& [page, title] : titles) {
            EXPECT_EQ(head(archiveMember(archive, "OEBPS/" + page + ext)),
                      "<title> " + title + " </title> \r\n" + links)
                << page;
        }
        EXPECT_EQ(archiveMember(archive, "OEBPS/user.css"), readFile(css));
        EXPECT_TRUE(contains(archiveMember(archive, "OEBPS/stylesheet.css"), "text-indent: 1.5em"));
        const std::string titlePage = archiveMember(archive, "OEBPS/titlepage" + ext);
        for (const char* shown : {">The Dark<", ">A. Writer<", ">B. Writer<",
                                  ">Dark Tales \xC2\xB7 2.5<", ">Acme &amp; Sons<", ">1897-05-26<"})
            EXPECT_TRUE(contains(titlePage, shown)) << shown;
        const std::string opf = archiveMember(archive, "OEBPS/fb.opf");
        for (const char* told : {"080442957X", "A &lt;short&gt; tale.", ">Night<",
                                 "content=\"Dark Tales\"", "Public domain."})
            EXPECT_TRUE(contains(opf, told)) << told;
    }
}

// --plain gives back the first program's book; a style named beside it still applies.
TEST_F(CliLookTest, PlainAndNoTitlePage) {
    const std::string plainCss =
        "body { margin: 0 2%; }\r\n"
        "p { margin: 0 0 0.6em 0; text-indent: 0; }\r\n"
        "img { max-width: 100%; height: auto; }\r\n";
    std::string archive = build({"--plain"});
    expectValidBook(archive);
    EXPECT_EQ(archiveMember(archive, "OEBPS/stylesheet.css"), plainCss);
    EXPECT_EQ(archiveMembers(archive).size(), 8u) << "no title page, no user stylesheet";
    EXPECT_TRUE(contains(archiveMember(archive, "OEBPS/page1-2.html"), "<title> page1 </title>"));

    archive = build(
        {"--no-title-page", "--no-cover", "--paragraph-style", "spaced", "--epub-version", "3"});
    expectValidBook(archive, 3);
    EXPECT_EQ(ncxEntries(archive),
              (std::vector<std::string>{"page1>page1.xhtml", "Chapter 1>page1-2.xhtml",
                                        "Chapter 2>page1-3.xhtml"}));
    const std::string css = archiveMember(archive, "OEBPS/stylesheet.css");
    EXPECT_TRUE(contains(css, "p { margin: 0 0 0.6em 0; text-indent: 0; }")) << css;
    EXPECT_TRUE(contains(css, "h2 {")) << css;

    // Repeatable options take one value each: the text file after them stays a text file.
    archive =
        build({"--plain", "--paragraph-style", "indent", "-a", "B. Writer", "--subject", "Night"});
    EXPECT_TRUE(contains(archiveMember(archive, "OEBPS/stylesheet.css"), "text-indent: 1.5em"));
    const std::string opf = archiveMember(archive, "OEBPS/fb.opf");
    EXPECT_FALSE(contains(opf, "titlepage"));
    EXPECT_TRUE(contains(opf, "<dc:subject>Night</dc:subject>")) << opf;
    EXPECT_TRUE(contains(opf, ">B. Writer</dc:creator>")) << opf;
    EXPECT_FALSE(contains(opf, "story.txt")) << opf;
}

TEST_F(CliLookTest, AValueThatIsNotValidIsAUsageErrorNamingIt) {
    const std::string text = file("a.txt", "Hello\n");
    const std::vector<std::string> bad[] = {
        {"--date", "1897-13-01"},        {"--date", "26.05.1897"},
        {"--isbn", "978-0-14-143951-7"}, {"--isbn", "12345"},
        {"--series-index", "two"},       {"--series-index", "2"},
        {"--paragraph-style", "fancy"},
    };
    for (const std::vector<std::string>& option : bad) {
        std::vector<std::string> args{"-t", "T", "-a", "A", "-o", path("out")};
        if (option[0] == "--series-index" && option[1] == "two") {
            args.push_back("--series");
            args.push_back("S");
        }
        args.insert(args.end(), option.begin(), option.end());
        args.push_back(text);
        const ProgramResult r = cli(args);
        EXPECT_EQ(r.exitStatus, 2) << option[0] << " " << option[1];
        EXPECT_TRUE(contains(r.err, option[0])) << r.err;
    }
    EXPECT_FALSE(fs::exists(path("out")));
}

// A stylesheet that cannot go into the book ends the run before anything is written, and the
// book already at the path stays.
TEST_F(CliLookTest, AStylesheetThatCannotBeUsedIsRefusedFirst) {
    const std::string text = file("a.txt", "Hello\n");
    ASSERT_EQ(cli({"-t", "T", "-a", "A", "-o", path("out"), text}).exitStatus, 0);
    const std::string before = readFile(path("out/T.epub"));
    const std::pair<std::string, std::string> bad[] = {
        {path("missing.css"), "No such file"},
        {file("big.css", std::string((1 << 20) + 1, ' ')), "larger than 1 MiB"},
        {file("picture.css", jpegPicture()), "not a text in UTF-8"},
    };
    for (const auto& [css, says] : bad) {
        const ProgramResult r =
            cli({"-y", "-t", "T", "-a", "A", "-o", path("out"), "--css", css, text});
        EXPECT_EQ(r.exitStatus, 1) << css;
        EXPECT_TRUE(contains(r.err, says)) << r.err;
        EXPECT_TRUE(contains(r.err, css)) << r.err;
        EXPECT_EQ(readFile(path("out/T.epub")), before);
    }
}

}  // namespace
}  // namespace qb::test
