// How a text file is laid out on page files: the size cap, paragraphs made of blocks, chapter
// headings, and the contents entries the file gives.

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "book/page_writer.h"
#include "platform/utf8.h"
#include "tests/book/page_fixture.h"
#include "tests/support/files.h"
#include "tests/support/temp_folder.h"

namespace qb {
namespace {

using test::headingLine;
using test::Lines;
using test::pageOf;
using test::pageText;
using test::paragraphLine;

constexpr std::size_t kCap = 262144;

struct Element {
    std::string name;
    std::string text;  // as a reader gets it, the space before the end tag included
    bool operator==(const Element&) const = default;
};

class PageLayoutTest : public ::testing::Test {
  protected:
    PageLayoutTest() { m_options.languageTag = "en-US"; }

    // Writes text as file k, handed over in one piece or one character at a time.
    TextPages write(const std::string& text, int k = 1, bool charByChar = false,
                    const std::string& source = "/books/book.txt") {
        TextFeed feed = [&](const TextSink& sink) {
            if (!charByChar) {
                if (!text.empty()) sink(text);
                return;
            }
            for (std::size_t i = 0; i < text.size();) {
                std::size_t len = std::max<std::size_t>(1, utf8SequenceLength(text, i));
                sink(std::string_view(text).substr(i, len));
                i += len;
            }
        };
        return writeTextPages(feed, k, source, m_dir.path(), m_options);
    }

    std::string read(const PageFile& page) const { return test::readFile(m_dir / page.href); }

    std::vector<std::string> names(const TextPages& pages) const {
        std::vector<std::string> out;
        for (const PageFile& page : pages.pages) out.push_back(page.href);
        return out;
    }

    // The elements of every page in reading order; each page parsed and within the cap.
    std::vector<Element> elements(const TextPages& pages, std::size_t cap = kCap) const {
        std::vector<Element> out;
        for (const PageFile& page : pages.pages) {
            const std::string bytes = read(page);
            EXPECT_LE(bytes.size(), cap) << page.href;
            pugi::xml_document doc;
            EXPECT_TRUE(doc.load_buffer(bytes.data(), bytes.size(),
                                        pugi::parse_default | pugi::parse_ws_pcdata))
                << page.href;
            EXPECT_EQ(std::string(doc.child("html").child("head").child_value("title")),
                      " page" + page.id.substr(4, page.id.find('-') - 4) + " ");
            for (pugi::xml_node e : doc.child("html").child("body").child("div").children()) {
                if (e.type() == pugi::node_element) out.push_back({e.name(), e.child_value()});
            }
        }
        return out;
    }

    // The paragraphs joined back: each without the one space the page format adds.
    std::string joined(const TextPages& pages, std::size_t cap = kCap) const {
        std::string out;
        for (const Element& e : elements(pages, cap)) {
            EXPECT_EQ(e.text.back(), ' ');
            out += e.text.substr(0, e.text.size() - 1);
        }
        return out;
    }

    test::TempFolder m_dir;
    PageOptions m_options;
};

TEST_F(PageLayoutTest, PageOfExactlyTheCapAndOneBytePast) {
    const std::size_t fixed = test::pageHeadText().size() + test::kPageTailText.size();
    const std::size_t text = kCap - fixed - 2 * 11;
    const std::string a(text / 2, 'a');
    const std::string b(text - text / 2, 'b');

    TextPages pages = write(a + "\n" + b + "\n");
    ASSERT_EQ(names(pages), (std::vector<std::string>{"page1.html"}));
    EXPECT_EQ(read(pages.pages[0]), pageText({a, b}));
    EXPECT_EQ(read(pages.pages[0]).size(), kCap);

    // One byte more: the second paragraph moves whole to the next page.
    pages = write(a + "\n" + b + "b\n");
    ASSERT_EQ(names(pages), (std::vector<std::string>{"page1.html", "page1-2.html"}));
    EXPECT_EQ(pages.pages[1].id, "page1-2");
    EXPECT_EQ(read(pages.pages[0]), pageText({a}));
    EXPECT_EQ(read(pages.pages[1]), pageText({b + "b"}));
    // The contents entry still opens the file's first page.
    ASSERT_EQ(pages.toc.size(), 1u);
    EXPECT_EQ(pages.toc[0].label, "page1");
    EXPECT_EQ(pages.toc[0].href, "page1.html");
    EXPECT_TRUE(pages.toc[0].children.empty());
}

TEST_F(PageLayoutTest, OneParagraphOfExactlyAPageAndOneBytePast) {
    const std::size_t room = kCap - test::pageHeadText().size() - test::kPageTailText.size() - 11;
    const std::string full(room, 'x');
    TextPages pages = write(full);
    ASSERT_EQ(pages.pages.size(), 1u);
    EXPECT_EQ(read(pages.pages[0]).size(), kCap);

    pages = write(full + "y");
    ASSERT_EQ(pages.pages.size(), 2u);
    EXPECT_EQ(read(pages.pages[0]), pageText({full}));
    EXPECT_EQ(read(pages.pages[1]), pageText({"y"}));
}

TEST_F(PageLayoutTest, AMegabyteParagraphIsCutIntoPiecesThatJoinBack) {
    std::string words;
    for (int i = 0; words.size() < 1024 * 1024; ++i) words += "word" + std::to_string(i) + " ";
    words += "end";
    std::string chinese;
    while (chinese.size() < 1024 * 1024) chinese += "春眠不觉晓，处处闻啼鸟。";
    const std::string markup(1024 * 1024, '&');
    std::string mixed;
    while (mixed.size() < 1024 * 1024) mixed += "a<\xF0\x9F\x98\x80>&\xC3\xA9";

    for (const std::string* text :
         std::vector<const std::string*>{&words, &chinese, &markup, &mixed}) {
        for (const bool charByChar : {false, true}) {
            if (charByChar && text != &mixed) continue;
            const TextPages pages = write("before\n" + *text + "\nafter\n", 1, charByChar);
            EXPECT_GE(pages.pages.size(), 4u);
            EXPECT_EQ(joined(pages), "before" + *text + "after");
        }
    }

    // Cut after a space, so no word is split between two paragraphs.
    const std::vector<Element> pieces = elements(write(words));
    ASSERT_GE(pieces.size(), 4u);
    for (std::size_t i = 0; i + 1 < pieces.size(); ++i) {
        EXPECT_EQ(pieces[i].text.substr(pieces[i].text.size() - 2), "  ") << i;
    }
}

TEST_F(PageLayoutTest, NoCapWritesOnePage) {
    m_options.maxPageBytes = 0;
    const std::string text(2 * kCap, 'z');
    const TextPages pages = write(text + "\nshort\n");
    ASSERT_EQ(pages.pages.size(), 1u);
    EXPECT_EQ(read(pages.pages[0]), pageText({text, "short"}));
}

TEST_F(PageLayoutTest, APageUnderTheCapIsTheSameWithSplittingOnOrOff) {
    const std::string text = "One & two\r\n\r\n<three>\n\tfour  \nChapter 1\n";
    const std::string on = read(write(text).pages[0]);
    m_options.maxPageBytes = 0;
    EXPECT_EQ(read(write(text).pages[0]), on);
    EXPECT_EQ(on, pageText({"One &amp; two", "", "&lt;three&gt;", "\tfour  ", "Chapter 1"}));
}

TEST_F(PageLayoutTest, ATinyCapIsRaisedToOneCharacterAPage) {
    m_options.maxPageBytes = 1;
    const std::size_t cap = smallestPageCap(1, "en-US");
    const TextPages pages = write("abc&def\xE6\x98\xA5\n");
    EXPECT_GE(pages.pages.size(), 3u);
    EXPECT_EQ(joined(pages, cap), "abc&def\xE6\x98\xA5");

    ChapterHeadings chapters;
    m_options.chapters = &chapters;
    const TextPages headed = write("Chapter 12: Tom & Jerry\n");
    std::string heading;
    for (const Element& e : elements(headed, cap)) {
        EXPECT_EQ(e.name, "h2");
        heading += e.text.substr(0, e.text.size() - 1);
    }
    EXPECT_EQ(heading, "Chapter 12: Tom & Jerry");
    ASSERT_EQ(headed.toc.size(), 1u);
    EXPECT_EQ(headed.toc[0].href, "page1.html");
}

TEST_F(PageLayoutTest, ContinuationsOfFileTwelve) {
    m_options.maxPageBytes = 1024;
    std::string text;
    for (int i = 0; i < 40; ++i)
        text += "Paragraph number " + std::to_string(i) + " of the file.\n";
    const TextPages pages = write(text, 12);
    ASSERT_GE(pages.pages.size(), 3u);
    for (std::size_t j = 0; j < pages.pages.size(); ++j) {
        const std::string id = j == 0 ? "page12" : "page12-" + std::to_string(j + 1);
        EXPECT_EQ(pages.pages[j].id, id);
        EXPECT_EQ(pages.pages[j].href, id + ".html");
        EXPECT_EQ(read(pages.pages[j]).substr(0, test::pageHeadText("page12").size()),
                  test::pageHeadText("page12"));
    }
    std::string expected;
    for (int i = 0; i < 40; ++i)
        expected += "Paragraph number " + std::to_string(i) + " of the file.";
    EXPECT_EQ(joined(pages, 1024), expected);
    EXPECT_EQ(elements(pages, 1024).size(), 40u) << "a paragraph was cut though it fit a page";
}

// ---- paragraphs made of blocks ----

TEST_F(PageLayoutTest, BlocksJoinTheirLinesAndSkipRunsOfBlankLines) {
    m_options.paragraphs = ParagraphMode::Blocks;
    const std::string text =
        "\r\n  The first line\t\r\nwraps here, & <so> on.  \r\n\r\n \t \r\n\n\n"
        "Second\rblock\tkeeps\ttabs\n\n\n";
    const std::string expected =
        pageText({"The first line wraps here, &amp; &lt;so&gt; on.", "Second block\tkeeps\ttabs"});
    EXPECT_EQ(read(write(text).pages[0]), expected);
    EXPECT_EQ(read(write(text, 1, true).pages[0]), expected);
    // Blanks that end a piece and start the next are still trimmed.
    EXPECT_EQ(read(write("one   \n   two  ", 1, true).pages[0]), pageText({"one two"}));
    // Nothing but blank lines: no paragraph at all. Ideographic and no-break spaces are blanks.
    EXPECT_EQ(read(write(" \n\t\n\r\n").pages[0]), pageText({}));
    EXPECT_EQ(read(write("one\xE3\x80\x80\n\xE3\x80\x80\xC2\xA0\n\xC2\xA0two", 1, true).pages[0]),
              pageText({"one", "two"}));
    EXPECT_EQ(read(write("").pages[0]), pageText({}));
}

// ---- chapter headings ----

TEST_F(PageLayoutTest, HeadingsOpenPagesAndFollowTheFileEntry) {
    ChapterHeadings chapters;
    m_options.chapters = &chapters;
    const TextPages pages =
        write("Intro & more\n\n  Chapter 1: Tom & Jerry  \nText one.\n\nChapter 2\nText two.\n");
    ASSERT_EQ(names(pages),
              (std::vector<std::string>{"page1.html", "page1-2.html", "page1-3.html"}));
    EXPECT_EQ(read(pages.pages[0]), pageText({"Intro &amp; more", ""}));
    EXPECT_EQ(read(pages.pages[1]), pageOf({headingLine("h2", "Chapter 1: Tom &amp; Jerry"),
                                            paragraphLine("Text one."), paragraphLine("")}));
    EXPECT_EQ(read(pages.pages[2]),
              pageOf({headingLine("h2", "Chapter 2"), paragraphLine("Text two.")}));

    ASSERT_EQ(pages.toc.size(), 3u);
    EXPECT_EQ(pages.toc[0].label, "page1");
    EXPECT_EQ(pages.toc[0].href, "page1.html");
    EXPECT_EQ(pages.toc[1].label, "Chapter 1: Tom & Jerry");
    EXPECT_EQ(pages.toc[1].href, "page1-2.html");
    EXPECT_EQ(pages.toc[1].id, "page1-2");
    EXPECT_EQ(pages.toc[2].label, "Chapter 2");
    EXPECT_EQ(pages.toc[2].href, "page1-3.html");
}

TEST_F(PageLayoutTest, AHeadingThatOpensTheFileStandsForIt) {
    ChapterHeadings chapters;
    m_options.chapters = &chapters;
    for (const std::string text : {"Chapter 1\nText\n", "\n \nChapter 1\nText\n"}) {
        const TextPages pages = write(text);
        ASSERT_EQ(pages.pages.size(), 1u) << text;
        ASSERT_EQ(pages.toc.size(), 1u) << text;
        EXPECT_EQ(pages.toc[0].label, "Chapter 1");
        EXPECT_EQ(pages.toc[0].href, "page1.html");
    }
    // Blank lines before it stay where they were.
    EXPECT_EQ(read(write("\n \nChapter 1\nText\n").pages[0]),
              pageOf({paragraphLine(""), paragraphLine(" "), headingLine("h2", "Chapter 1"),
                      paragraphLine("Text")}));
}

TEST_F(PageLayoutTest, VolumesNestTheirChapters) {
    ChapterHeadings chapters;
    m_options.chapters = &chapters;
    const TextPages pages = write(
        "Prologue\nBefore.\nPart One\nChapter 1\nA\nChapter 2\nB\nPart Two\n\nChapter 3\nC\n");
    ASSERT_EQ(pages.pages.size(), 6u);
    EXPECT_EQ(read(pages.pages[1]), pageOf({headingLine("h1", "Part One")}));
    EXPECT_EQ(read(pages.pages[4]), pageOf({headingLine("h1", "Part Two"), paragraphLine("")}));

    ASSERT_EQ(pages.toc.size(), 3u);
    EXPECT_EQ(pages.toc[0].label, "Prologue");
    EXPECT_EQ(pages.toc[0].href, "page1.html");
    EXPECT_EQ(pages.toc[1].label, "Part One");
    ASSERT_EQ(pages.toc[1].children.size(), 2u);
    EXPECT_EQ(pages.toc[1].children[0].label, "Chapter 1");
    EXPECT_EQ(pages.toc[1].children[0].href, "page1-3.html");
    EXPECT_EQ(pages.toc[1].children[1].href, "page1-4.html");
    EXPECT_EQ(pages.toc[2].label, "Part Two");
    ASSERT_EQ(pages.toc[2].children.size(), 1u);
    EXPECT_EQ(pages.toc[2].children[0].href, "page1-6.html");
}

TEST_F(PageLayoutTest, ALongRunOfBlanksInsideABlockIsKeptAcrossPages) {
    m_options.paragraphs = ParagraphMode::Blocks;
    m_options.maxPageBytes = 4096;
    const std::string blanks(1 << 20, ' ');
    // In one piece, and in pieces that hold blanks only.
    for (const bool charByChar : {false, true}) {
        const TextPages pages = write("Before" + blanks + "after.\n\nNext.\n", 1, charByChar);
        std::string ink;
        std::size_t spaces = 0;
        for (const PageFile& page : pages.pages) {
            const std::string bytes = read(page);
            EXPECT_LE(bytes.size(), 4096u);
            pugi::xml_document doc;
            // Paragraphs of blanks alone are text too.
            ASSERT_TRUE(
                doc.load_string(bytes.c_str(), pugi::parse_default | pugi::parse_ws_pcdata));
            for (const auto& p : doc.select_nodes("//*[local-name()='p']")) {
                for (const char c : std::string(p.node().text().get())) {
                    if (c == ' ')
                        ++spaces;
                    else
                        ink += c;
                }
            }
        }
        EXPECT_EQ(ink, "Beforeafter.Next.");
        EXPECT_GE(spaces, blanks.size());
    }
}

TEST_F(PageLayoutTest, AHeadingEndsABlock) {
    ChapterHeadings chapters;
    m_options.chapters = &chapters;
    m_options.paragraphs = ParagraphMode::Blocks;
    const TextPages pages = write("Some wrapped\nprose here.\n第二章 归来\nMore\nprose.\n");
    ASSERT_EQ(pages.pages.size(), 2u);
    EXPECT_EQ(read(pages.pages[0]), pageText({"Some wrapped prose here."}));
    EXPECT_EQ(read(pages.pages[1]),
              pageOf({headingLine("h2", "第二章 归来"), paragraphLine("More prose.")}));
}

TEST_F(PageLayoutTest, AChapterLongerThanTheCapContinuesWithoutEntries) {
    ChapterHeadings chapters;
    m_options.chapters = &chapters;
    m_options.maxPageBytes = 4096;
    std::string text = "Chapter 1\n";
    for (int i = 0; i < 200; ++i) text += "A line of the first chapter.\n";
    text += "Chapter 2\nShort.\n";
    const TextPages pages = write(text);
    ASSERT_GT(pages.pages.size(), 3u);
    ASSERT_EQ(pages.toc.size(), 2u);
    EXPECT_EQ(pages.toc[0].href, "page1.html");
    EXPECT_EQ(pages.toc[1].href, pages.pages.back().href);
    EXPECT_EQ(read(pages.pages.back()),
              pageOf({headingLine("h2", "Chapter 2"), paragraphLine("Short.")}));
}

TEST_F(PageLayoutTest, APatternThatMatchesNothingChangesNothing) {
    const std::string text = "Chapter 1\nText\nPart Two\n";
    const std::string off = read(write(text).pages[0]);
    ChapterHeadings chapters("NO SUCH HEADING");
    m_options.chapters = &chapters;
    const TextPages pages = write(text);
    ASSERT_EQ(pages.pages.size(), 1u);
    EXPECT_EQ(read(pages.pages[0]), off);
    ASSERT_EQ(pages.toc.size(), 1u);
    EXPECT_EQ(pages.toc[0].label, "page1");
}

TEST_F(PageLayoutTest, A200MegabyteLineMeetsABacktrackingPattern) {
    // The line is far too long to be a heading, so the pattern never runs on it, and only a
    // page's worth of it is held at a time.
    ChapterHeadings chapters("(a|aa)+b");
    m_options.chapters = &chapters;
    const std::size_t size = 200u << 20;
    const std::string as(64 * 1024, 'a');
    TextFeed feed = [&](const TextSink& sink) {
        for (std::size_t sent = 0; sent < size; sent += as.size()) sink(as);
        sink("\naab\n");
    };
    const TextPages pages = writeTextPages(feed, 1, "long.txt", m_dir.path(), m_options);
    const std::size_t piece = kCap - test::pageHeadText().size() - test::kPageTailText.size() - 11;
    EXPECT_EQ(pages.pages.size(), (size + piece - 1) / piece + 1);
    ASSERT_EQ(pages.toc.size(), 2u);
    EXPECT_EQ(pages.toc[1].label, "aab");
    std::uintmax_t total = 0;
    for (const PageFile& page : pages.pages) {
        const auto bytes = std::filesystem::file_size(m_dir / page.href);
        EXPECT_LE(bytes, kCap);
        total += bytes;
    }
    EXPECT_GT(total, size);
}

// ---- contents labels ----

TEST_F(PageLayoutTest, FileLabels) {
    m_options.tocLabels = TocLabels::File;
    const std::pair<const char*, const char*> cases[] = {
        {"/books/My Book.v2.txt", "My Book.v2"},
        {"plain", "plain"},
        {"dir.d/.hidden", ".hidden"},
        {"/dev/fd/63", "63"},
    };
    for (const auto& [source, label] : cases) {
        EXPECT_EQ(write("x\n", 3, false, source).toc.at(0).label, label) << source;
    }
}

TEST_F(PageLayoutTest, FirstLineLabels) {
    m_options.tocLabels = TocLabels::FirstLine;
    EXPECT_EQ(write("\n  \t\n\xE3\x80\x80  The Storm  \nnext\n").toc.at(0).label, "The Storm");
    const std::string longLine(100, 'w');
    EXPECT_EQ(write(longLine + "\n").toc.at(0).label, std::string(80, 'w'));
    std::string cjk;
    for (int i = 0; i < 90; ++i) cjk += "风";
    EXPECT_EQ(utf8CharCount(write(cjk).toc.at(0).label), 80u);
    // Nothing to take a label from: the page name.
    EXPECT_EQ(write(" \n\n", 4).toc.at(0).label, "page4");
    EXPECT_EQ(write("", 4).toc.at(0).label, "page4");
}

}  // namespace
}  // namespace qb

namespace qb {
namespace {

// EPUB 3 pages: XHTML5 heads and .xhtml names, everything else as in EPUB 2; the cap counts
// the longer head, down to the smallest cap.
TEST_F(PageLayoutTest, Epub3PagesAreXhtml5UnderTheSameCap) {
    m_options.epubVersion = 3;
    m_options.languageTag = "de";
    const TextPages one = write("Eins & <zwei>\n");
    ASSERT_EQ(names(one), (std::vector<std::string>{"page1.xhtml"}));
    EXPECT_EQ(one.toc[0].href, "page1.xhtml");
    EXPECT_EQ(read(one.pages[0]),
              "<?xml version='1.0' encoding='utf-8'?>\r\n"
              "<!DOCTYPE html>\r\n"
              "<html xmlns=\"http://www.w3.org/1999/xhtml\" "
              "xmlns:epub=\"http://www.idpf.org/2007/ops\" xml:lang=\"de\" lang=\"de\"> \r\n"
              "<head>\r\n"
              "<title> page1 </title> \r\n"
              "<link href=\"stylesheet.css\" type=\"text/css\" rel=\"stylesheet\"/>\r\n"
              "</head>\r\n"
              "<body>\r\n"
              "<div>\r\n"
              "<p>Eins &amp; &lt;zwei&gt; </p> \r\n"
              "</div>\r\n"
              "</body>\r\n"
              "</html>\r\n");

    ChapterHeadings chapters;
    m_options.chapters = &chapters;
    std::string text = "Book One\n";
    for (int i = 0; i < 40; ++i) text += "Line " + std::to_string(i) + " of the story & more\n";
    text += "Chapter 2\nThe end.\n";
    std::string expected;
    for (int i = 0; i < 40; ++i) expected += "Line " + std::to_string(i) + " of the story & more";
    m_options.maxPageBytes = 1024;
    const TextPages split = write(text, 7);
    EXPECT_GT(split.pages.size(), 3u);
    for (const PageFile& page : split.pages) EXPECT_EQ(page.href, page.id + ".xhtml");
    EXPECT_EQ(joined(split, 1024), "Book One" + expected + "Chapter 2The end.");
    ASSERT_EQ(split.toc.size(), 1u);
    EXPECT_EQ(split.toc[0].href, "page7.xhtml");
    ASSERT_EQ(split.toc[0].children.size(), 1u);
    EXPECT_EQ(split.toc[0].children[0].href, split.pages.back().href);

    const std::size_t smallest = smallestPageCap(1, "de", 3);
    EXPECT_GT(smallest, smallestPageCap(1, "de", 2));
    m_options.chapters = nullptr;
    m_options.maxPageBytes = 1;
    EXPECT_EQ(joined(write("abc&def\xE6\x98\xA5\n"), smallest), "abc&def\xE6\x98\xA5");
}

// Each page is titled with its chapter, the first with the title it was handed; blank lines
// that precede a heading on its page wait for it, so it names their page too.
TEST_F(PageLayoutTest, PagesAreTitledByTheirChapter) {
    ChapterHeadings chapters;
    m_options.chapters = &chapters;
    m_options.chapterTitles = true;
    m_options.pageTitle = "Tom & Jerry";
    const auto title = [this](const PageFile& page) {
        const std::string text = read(page);
        const std::size_t from = text.find("<title> ") + 8;
        return text.substr(from, text.find(" </title>") - from);
    };
    for (const std::size_t cap : {kCap, std::size_t{0}}) {
        for (const bool charByChar : {false, true}) {
            m_options.maxPageBytes = cap;
            const TextPages pages =
                write("Before\n\nChapter 1\nText\n\n\nChapter 2\nMore\n", 1, charByChar);
            ASSERT_EQ(pages.pages.size(), 3u);
            EXPECT_EQ(title(pages.pages[0]), "Tom &amp; Jerry");
            EXPECT_EQ(title(pages.pages[1]), "Chapter 1");
            EXPECT_EQ(title(pages.pages[2]), "Chapter 2");
            EXPECT_EQ(pages.lastTitle, "Chapter 2");

            const TextPages first = write("\n \nChapter 1\nText\n", 2, charByChar);
            ASSERT_EQ(first.pages.size(), 1u);
            EXPECT_EQ(read(first.pages[0]),
                      pageOf({paragraphLine(""), paragraphLine(" "), headingLine("h2", "Chapter 1"),
                              paragraphLine("Text")},
                             "Chapter 1"));
        }
    }

    // A heading of any length gives a title of a bounded size, cut between characters, and a
    // page still keeps to its cap.
    ChapterHeadings anyLine("Chapter .*");
    m_options.chapters = &anyLine;
    m_options.maxPageBytes = 2048;
    const std::string heading = "Chapter " + std::string(70, '&') + "\xE6\x98\xA5";
    std::string text = heading + "\n";
    for (int i = 0; i < 400; ++i) text += "Line " + std::to_string(i) + "\n";
    const TextPages pages = write(text);
    ASSERT_GT(pages.pages.size(), 2u);
    for (const PageFile& page : pages.pages) {
        const std::string t = title(page);
        EXPECT_LE(t.size(), 240u);
        EXPECT_EQ(t.substr(0, 13), "Chapter &amp;");
        EXPECT_EQ(t.substr(t.size() - 5), "&amp;");
        EXPECT_LE(read(page).size(), 2048u);
    }
    EXPECT_EQ(pages.lastTitle, heading);
}

}  // namespace
}  // namespace qb
