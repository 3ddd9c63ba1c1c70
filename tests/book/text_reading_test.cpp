// Reading a text the way its conventions mean it: the title and author it names, the shape of
// its paragraphs, its emphasis, scene breaks, Gutenberg header and footer, contents lists and
// chapter headings. Each case is a small text and the pages it gives.

#include <gtest/gtest.h>

#include <filesystem>

#include "book/chapter_headings.h"
#include "book/page_writer.h"
#include "book/text_metadata.h"
#include "tests/book/page_fixture.h"
#include "tests/support/files.h"
#include "tests/support/temp_folder.h"

namespace qb {
namespace {

TEST(TextMetadata, TitleAndAuthorAsTextsNameThem) {
    struct Case {
        std::string head, title, author, language;
    };
    const std::string longLine(10000, 'x');
    const Case cases[] = {
        {"\xEF\xBB\xBFThe Project Gutenberg eBook of Dracula\r\n\r\nTitle: Dracula\r\n\r\n"
         "Author: Bram Stoker\r\n\r\nLanguage: English\r\n\r\n*** START OF THE PROJECT "
         "GUTENBERG EBOOK DRACULA ***\r\n",
         "Dracula", "Bram Stoker", "en"},
        // Continuation lines: a wrapped title, a second title, a second author.
        {"Title: The Adventures of\n       Tom Sawyer\nAuthor: A\n        B\n*** START OF THE "
         "PROJECT GUTENBERG EBOOK X ***\n",
         "The Adventures of Tom Sawyer", "A, B", ""},
        {"Title: Peter Pan\n       Peter Pan and Wendy\n\n*** START OF THIS PROJECT GUTENBERG "
         "EBOOK X ***\n",
         "Peter Pan: Peter Pan and Wendy", "", ""},
        // "Title:" with no START line is some text's own words, not a header.
        {"Title: Notes\nAuthor: Me\n\nThe rest.\n", "", "", ""},
        {"Title: " + longLine + "\n*** START OF THE PROJECT GUTENBERG EBOOK X ***\n", "", "", ""},
        {"こころ\r\n夏目漱石\r\n\r\n------------------------------------------------------\r\n"
         "【テキスト中に現れる記号について】\r\n",
         "こころ", "夏目漱石", ""},
        {"吾輩は猫である\n上\n夏目漱石\n\n-------------------------------------------------------\n"
         "【テキスト中に現れる記号について】\n",
         "吾輩は猫である 上", "夏目漱石", ""},
        {"\n《三国演义》罗贯中\n\n第一回\n", "三国演义", "罗贯中", ""},
        {"《红楼梦》（校对版全本）作者：曹雪芹\n", "红楼梦", "曹雪芹", ""},
        {"希灵帝国 作者：远瞳\n", "希灵帝国", "远瞳", ""},
        {"《书》这一行是正文里的一句话，很长很长很长很长很长很长很长很长。\n", "书", "", ""},
        {"It was a dark and stormy night.\n", "", "", ""},
        {"", "", "", ""},
    };
    for (const Case& c : cases) {
        const TextMetadata m = readTextMetadata(c.head);
        EXPECT_EQ(m.title, c.title) << c.head.substr(0, 80);
        EXPECT_EQ(m.author, c.author) << c.head.substr(0, 80);
        EXPECT_EQ(m.language, c.language) << c.head.substr(0, 80);
    }
}

TEST(TextMetadata, FileNamesGiveTitleAndAuthor) {
    const std::pair<std::string, std::pair<std::string, std::string>> cases[] = {
        {"《希灵帝国》作者：远瞳.txt", {"希灵帝国", "远瞳"}},
        {"Dracula.txt", {"Dracula", ""}},
        {"notes.v2.txt", {"notes.v2", ""}},
        {".hidden", {".hidden", ""}},
        {"bad\xFF\xFEname.txt", {"bad\xEF\xBF\xBD\xEF\xBF\xBDname", ""}},
    };
    for (const auto& [name, expected] : cases) {
        const TextMetadata m = metadataFromFileName(name);
        EXPECT_EQ(m.title, expected.first) << name;
        EXPECT_EQ(m.author, expected.second) << name;
    }
}

// The pages of one text file read with every convention and the built-in headings, as
// element lines without the pages' heads; a page break shows as "|".
class TextReadingTest : public ::testing::Test {
  protected:
    std::vector<std::string> read(const std::string& text, std::size_t maxPageBytes = 0) {
        const ChapterHeadings chapters;
        PageOptions options;
        options.languageTag = "en";
        options.chapters = &chapters;
        options.judgeParagraphs = true;
        options.conventions = true;
        options.maxPageBytes = maxPageBytes;
        const TextPages pages = writeTextPages([&](const TextSink& sink) { sink(text); }, 1,
                                               "a.txt", m_dir.path(), options);
        m_toc.clear();
        for (const TocEntry& e : pages.toc) {
            m_toc.push_back(e.label);
            for (const TocEntry& child : e.children) m_toc.push_back("  " + child.label);
        }
        m_shape = pages.shape;
        std::vector<std::string> elements;
        for (const PageFile& page : pages.pages) {
            test::expectXhtml(m_dir / page.href);
            if (!elements.empty()) elements.push_back("|");
            const std::string body = test::readFile(m_dir / page.href);
            const std::size_t from = body.find("<div>\r\n") + 7;
            const std::size_t to = body.rfind("</div>");
            std::size_t pos = from;
            while (pos < to) {
                const std::size_t end = body.find("\r\n", pos);
                elements.push_back(body.substr(pos, end - pos));
                pos = end + 2;
            }
        }
        return elements;
    }

    test::TempFolder m_dir;
    std::vector<std::string> m_toc;
    std::string m_shape;
};

using Elements = std::vector<std::string>;

TEST_F(TextReadingTest, HardWrappedProseIsJoinedIntoParagraphs) {
    EXPECT_EQ(read("It was the best of times, it was\nthe worst of times, it was the\nage of "
                   "wisdom.\n\nIt was the epoch of belief, it\nwas the epoch of incredulity.\n"),
              (Elements{"<p>It was the best of times, it was the worst of times, it was the age "
                        "of wisdom. </p> ",
                        "<p>It was the epoch of belief, it was the epoch of incredulity. </p> "}));
    EXPECT_NE(m_shape.find("blocks"), std::string::npos);
    // Wrapped CJK lines run on without a space; indentation is the stylesheet's to give.
    EXPECT_EQ(read("　　话说天下大势，\n分久必合，\n合久必分。\n\n　　周末七国分争，\nand 秦\n"),
              (Elements{"<p>话说天下大势，分久必合，合久必分。 </p> ",
                        "<p>周末七国分争， and 秦 </p> "}));
}

TEST_F(TextReadingTest, OneParagraphALineLosesIndentAndBlankLines) {
    EXPECT_EQ(read("　　第一段。\n\n\n    第二段。\n\t\n\xE3\x80\x80\n　　第三段。\n"),
              (Elements{"<p>第一段。 </p> ", "<p>第二段。 </p> ", "<p>第三段。 </p> "}));
    EXPECT_NE(m_shape.find("lines"), std::string::npos);
}

TEST_F(TextReadingTest, EmphasisAndSceneBreaks) {
    EXPECT_EQ(read("She said _no_, and\n_meant\nit_. snake_case_name stays; so\ndoes a_ lone _ one "
                   "and _this.\n\n* * *\n\nNext.\n\n※※※\n\n**\n"),
              (Elements{"<p>She said <em>no</em>, and <em>meant it</em>. snake_case_name stays; "
                        "so does a_ lone _ one and _this. </p> ",
                        "<p class=\"scene\">* * * </p> ", "<p>Next. </p> ",
                        "<p class=\"scene\">※※※ </p> ", "<p>** </p> "}));
}

TEST_F(TextReadingTest, EmphasisCutWithALongParagraphStaysWellFormed) {
    std::string text = "_";
    for (int i = 0; i < 400; ++i) text += "word ";
    text += "end_\n";
    const Elements elements = read(text, 1200);
    std::string joined;
    for (const std::string& e : elements) {
        if (e == "|") continue;
        EXPECT_EQ(e.find("<em>") == std::string::npos, e.find("</em>") == std::string::npos) << e;
        joined += e;
    }
    EXPECT_NE(joined.find("end</em>"), std::string::npos);
}

TEST_F(TextReadingTest, GutenbergHeaderAndFooterGoBehindTheStory) {
    EXPECT_EQ(
        read("The Project Gutenberg eBook of X\n\nTitle: X\n\n*** START OF THE PROJECT "
             "GUTENBERG EBOOK X ***\n\nThe story.\n\n*** END OF THE PROJECT GUTENBERG "
             "EBOOK X ***\n\nThe licence.\n"),
        (Elements{"<p>The story. </p> ", "|", "<p>The Project Gutenberg eBook of X </p> ",
                  "<p>Title: X </p> ", "<p>*** START OF THE PROJECT GUTENBERG EBOOK X *** </p> ",
                  "<p>*** END OF THE PROJECT GUTENBERG EBOOK X *** </p> ",
                  "<p>The licence. </p> "}));
    // A START with no END, and a START deep in a text that quotes one: nothing is lost.
    EXPECT_EQ(read("Head\n*** START OF THE PROJECT GUTENBERG EBOOK X ***\nStory\n"),
              (Elements{"<p>Story </p> ", "|", "<p>Head </p> ",
                        "<p>*** START OF THE PROJECT GUTENBERG EBOOK X *** </p> "}));
}

TEST_F(TextReadingTest, ContentsListsStayTextAndEveryChapterIsFoundOnce) {
    read(
        "Contents\n\n Chapter I. THE START\n Chapter II. THE END\n\n\n\nChapter I.\nTHE START\n\n"
        "Text.\n\nChapter II.\nTHE END\n\nMore text.\n");
    EXPECT_EQ(m_toc,
              (std::vector<std::string>{"page1", "Chapter I. THE START", "Chapter II. THE END"}));
    // Heading-like lines in a row with no text between them, with no "Contents" line.
    read(
        "CHAPTER I\nCHAPTER II\nCHAPTER III\n\nCHAPTER I\n\nOne.\n\nCHAPTER II\n\nTwo.\n"
        "\nSTAVE III\n\nThree.\n\nLetter 4\n\nFour.\n");
    EXPECT_EQ(m_toc, (std::vector<std::string>{"page1", "CHAPTER I", "CHAPTER II", "STAVE III",
                                               "Letter 4"}));
}

TEST_F(TextReadingTest, NumberedHeadingsCountWhereTheyNumberUpward) {
    read(
        "I. A SCANDAL IN BOHEMIA\n\nText.\n\nII. THE RED-HEADED LEAGUE\n\nText.\n\n"
        "IV. Not a heading\n\nV\n\nText.\n");
    EXPECT_EQ(m_toc,
              (std::vector<std::string>{"I. A SCANDAL IN BOHEMIA", "II. THE RED-HEADED LEAGUE"}));
    read(
        "［＃２字下げ］上　先生と私［＃「上　先生と私」は大見出し］\n\n［＃５字下げ］一［＃「一」は"
        "中見出し］\n"
        "本文。\n二\n本文。\n中　両親と私\n一\n本文。\n十一\n本文。\n");
    EXPECT_EQ(m_toc,
              (std::vector<std::string>{"上　先生と私", "  一", "  二", "中　両親と私", "  一"}));
}

TEST_F(TextReadingTest, ManyMarkerLinesStayLinearAndLoseNothing) {
    std::string scenes;
    std::string headings;
    for (int i = 0; i < 100000; ++i) {
        scenes += "* * *\n";
        headings += "Chapter " + std::to_string(i % 9000 + 1) + "\n";
    }
    EXPECT_EQ(read(scenes).size(), 100000u);
    const Elements elements = read(headings + "\nText.\n", 0);
    EXPECT_EQ(m_toc.size(), 1u);  // a contents list of 100,000 lines
    EXPECT_EQ(elements.size(), 100001u);
}

}  // namespace
}  // namespace qb
