// The book's look and what it tells about itself: the stylesheet of each script and style, the
// checks of the details a user gives, and where those details go in the package.

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <string>
#include <vector>

#include "book/book_metadata.h"
#include "book/metadata_values.h"
#include "book/package_document.h"
#include "book/stylesheet.h"
#include "book/title_page.h"
#include "platform/errors.h"
#include "tests/support/files.h"
#include "tests/support/temp_folder.h"

namespace qb {
namespace {

std::string lines(const std::vector<std::string>& rules) {
    std::string text;
    for (const std::string& rule : rules) text += rule + "\r\n";
    return text;
}

const std::vector<std::string> kPlain = {
    "body { margin: 0 2%; }",
    "p { margin: 0 0 0.6em 0; text-indent: 0; }",
    "img { max-width: 100%; height: auto; }",
};

const std::vector<std::string> kShared = {
    "h1, h2, h3 { text-align: center; text-indent: 0; line-height: 1.3; font-weight: bold; }",
    "h1 { font-size: 2em; margin: 5em 0 0 0; page-break-after: always; }",
    "h2 { font-size: 1.3em; margin: 2.5em 0 1.5em 0; page-break-after: avoid; }",
    ".scene { text-align: center; text-indent: 0; margin: 1em 0; }",
    "img { max-width: 100%; height: auto; }",
    "body.cover, div.cover { margin: 0; padding: 0; text-align: center; }",
    "div.cover img { height: 100%; max-width: 100%; }",
};

const std::vector<std::string> kTitlePage = {
    "div.titlepage { margin: 6em 0 0 0; text-align: center; }",
    "div.titlepage p { margin: 0 0 0.5em 0; text-indent: 0; text-align: center; }",
    "div.titlepage p.title { margin: 0 0 1em 0; font-size: 2em; font-weight: bold; "
    "line-height: 1.3; }",
    "div.titlepage p.author { font-size: 1.3em; }",
    "div.titlepage p.series { margin-top: 1em; font-style: italic; }",
    "div.titlepage p.publisher { margin-top: 3em; }",
};

std::string styled(const std::vector<std::string>& paragraphs, bool titlePage = false) {
    std::string css = "body { margin: 0 2%; }\r\n" + lines(paragraphs) + lines(kShared);
    return titlePage ? css + lines(kTitlePage) : css;
}

TEST(BookStylesheet, EachScriptAndStyleWhole) {
    const std::string indent = styled({
        "p { margin: 0; text-indent: 1.5em; }",
        "h1 + p, h2 + p, h3 + p, .scene + p, div > p:first-child { text-indent: 0; }",
    });
    const std::string spaced = styled({"p { margin: 0 0 0.6em 0; text-indent: 0; }"});
    const std::vector<std::string> cjk = {
        "p { margin: 0; text-indent: 2em; line-height: 1.8; text-align: justify; }"};
    const struct {
        std::string tag;
        BookStyle style;
        bool titlePage;
        std::string css;
    } cases[] = {
        // The first program's stylesheet, byte for byte, whatever the language.
        {"en-US", BookStyle::Plain, false, lines(kPlain)},
        {"zh-CN", BookStyle::Plain, false, lines(kPlain)},
        {"en-US", BookStyle::Plain, true, lines(kPlain) + lines(kTitlePage)},
        {"en-GB", BookStyle::Indent, false, indent},
        {"ru", BookStyle::Indent, false, indent},
        {"de", BookStyle::Spaced, false, spaced},
        {"en", BookStyle::Indent, true, indent + lines(kTitlePage)},
        // Chinese, Japanese and Korean indent two characters whichever style was asked for.
        {"zh-CN", BookStyle::Indent, false, styled(cjk)},
        {"zh-Hant-TW", BookStyle::Spaced, false, styled(cjk)},
        {"JA", BookStyle::Indent, true, styled(cjk, true)},
        {"ko-KR", BookStyle::Indent, false, styled(cjk)},
        {"yue", BookStyle::Indent, false, styled(cjk)},
    };
    for (const auto& c : cases) {
        StyleChoices choices;
        choices.languageTag = c.tag;
        choices.style = c.style;
        choices.titlePage = c.titlePage;
        EXPECT_EQ(bookStylesheet(choices), c.css) << c.tag << " " << static_cast<int>(c.style);
    }
}

// Older Kindles and Adobe's engine drop a whole rule they cannot parse.
TEST(BookStylesheet, OnlyWhatEpub2ReadersKnow) {
    for (const BookStyle style : {BookStyle::Plain, BookStyle::Indent, BookStyle::Spaced}) {
        for (const char* tag : {"en", "zh"}) {
            const std::string css = bookStylesheet({tag, style, WritingMode::Horizontal, true});
            for (const char* unknown : {"flex", "grid", "var(", "--", "vh", "vw", "calc("})
                EXPECT_EQ(css.find(unknown), std::string::npos) << unknown << " in\n" << css;
        }
    }
}

TEST(BookStylesheet, UserStylesheetIsCheckedBeforeUse) {
    test::TempFolder dir;
    const std::string good = dir / "good.css";
    test::writeFile(good, "p { color: #333 } /* </style> \xC3\xA9 */\n");
    EXPECT_EQ(readUserStylesheet(good), test::readFile(good));
    test::writeFile(dir / "empty.css", "");
    EXPECT_EQ(readUserStylesheet(dir / "empty.css"), "") << "an empty file is no harm";

    const struct {
        std::string name;
        std::string bytes;
        std::string says;
    } bad[] = {
        {"big.css", std::string(kMaxUserStylesheetBytes + 1, ' '), "larger than 1 MiB"},
        {"nul.css", std::string("p {}\0", 5), "not a text in UTF-8"},
        {"latin1.css", "/* caf\xE9 */", "not a text in UTF-8"},
    };
    for (const auto& b : bad) {
        test::writeFile(dir / b.name, b.bytes);
        try {
            readUserStylesheet(dir / b.name);
            ADD_FAILURE() << b.name << " was taken";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(b.says), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(b.name), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(readUserStylesheet(dir / "missing.css"), Error);
}

TEST(BookDetailsValues, IsbnsDatesAndSeriesNumbers) {
    const std::pair<const char*, const char*> isbns[] = {
        {"978-0-14-143951-8", "9780141439518"},
        {"ISBN 978 0 14 143951 8", "9780141439518"},
        {"ISBN-13: 979-10-90636-07-1", "9791090636071"},
        {"0-8044-2957-x", "080442957X"},
        {"0141439513", "0141439513"},
        {"978-0-14-143951-7", nullptr},  // check digit
        {"0-8044-2957-1", nullptr},
        {"977-0-14-143951-8", nullptr},  // no book prefix (a periodical's)
        {"12345", nullptr},
        {"X804429570", nullptr},
        {"", nullptr},
    };
    for (const auto& [typed, normal] : isbns) {
        const std::optional<std::string> isbn = normalizedIsbn(typed);
        if (normal == nullptr) {
            EXPECT_FALSE(isbn) << typed;
        } else {
            EXPECT_EQ(isbn.value_or("none"), normal) << typed;
        }
    }
    for (const char* date : {"1897", "1897-05", "1897-05-26", "2024-02-29", "2000-02-29"})
        EXPECT_TRUE(isPublicationDate(date)) << date;
    for (const char* date : {"97", "1897-5", "1897-13", "1897-00", "1897-05-32", "2023-02-29",
                             "1900-02-29", "1897/05/26", "1897-05-26T10:00", "May 1897", ""})
        EXPECT_FALSE(isPublicationDate(date)) << date;
    for (const char* n : {"3", "2.5", "0", "12"}) EXPECT_TRUE(isSeriesIndex(n)) << n;
    for (const char* n : {"", "x", "-1", "1.", ".5", "1.2.3", "3rd", "1e9"})
        EXPECT_FALSE(isSeriesIndex(n)) << n;
}

class BookDetailsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_book.title = "Tom & Jerry";
        m_book.author = "A. Writer";
        m_book.contentFolder = m_dir.path();
        m_book.identifier = "urn:uuid:0f8fad5b-d9cb-469f-a165-70867728950e";
        m_book.date = "2026-12-08";
        m_book.modified = "2026-12-08T10:00:00Z";
        m_book.languageTag = "en-US";
        m_book.outline.pages = {{"page1", "page1.html"}};
        m_book.outline.toc = {{"Chapter 1", "page1.html", "page1", {}}};
        m_book.titlePage = true;
        BookDetails& more = m_book.details;
        more.otherAuthors = {"B. Writer"};
        more.titleSort = "Tom and Jerry";
        more.authorSort = "Writer, A.";
        more.description = "A chase.";
        more.subjects = {"Cats", "Mice"};
        more.publisher = "Acme";
        more.date = "1940-02";
        more.rights = "Public domain.";
        more.isbn = "9780141439518";
        more.series = "Cartoons";
        more.seriesIndex = "2";
    }

    // The package's metadata, one line an element: its name, its attributes and its text.
    std::vector<std::string> metadata() {
        pugi::xml_document doc;
        EXPECT_TRUE(doc.load_file((m_dir / "fb.opf").c_str()));
        std::vector<std::string> out;
        for (pugi::xml_node e : doc.child("package").child("metadata").children()) {
            std::string line = e.name();
            for (pugi::xml_attribute a : e.attributes())
                line += std::string(" ") + a.name() + "=" + a.value();
            out.push_back(line + ": " + e.text().get());
        }
        return out;
    }

    std::vector<std::string> spine() {
        pugi::xml_document doc;
        EXPECT_TRUE(doc.load_file((m_dir / "fb.opf").c_str()));
        std::vector<std::string> out;
        for (pugi::xml_node e : doc.child("package").child("spine").children())
            out.push_back(e.attribute("idref").value());
        return out;
    }

    test::TempFolder m_dir;
    BookMetadata m_book;
};

// The elements the first program always writes keep their places and order; what is new goes
// beside the element of its kind.
TEST_F(BookDetailsTest, Epub2PackageKeepsItsElementsInPlace) {
    writePackageDocument(m_book);
    EXPECT_EQ(metadata(), (std::vector<std::string>{
                              "dc:title: Tom & Jerry",
                              "dc:creator opf:role=aut opf:file-as=Writer, A.: A. Writer",
                              "dc:creator opf:role=aut: B. Writer",
                              "dc:subject: Cats",
                              "dc:subject: Mice",
                              "dc:description: A chase.",
                              "dc:publisher: Acme",
                              "dc:contributor: ",
                              "dc:date opf:event=publication: 1940-02",
                              "dc:date opf:event=modification: 2026-12-08",
                              "dc:type: [type]",
                              "dc:format: ",
                              "dc:identifier id=BookId opf:scheme=UUID: " + m_book.identifier,
                              "dc:identifier opf:scheme=ISBN: 9780141439518",
                              "dc:source: https://quirebind.example/",
                              "dc:language: en-US",
                              "dc:relation: ",
                              "dc:coverage: ",
                              "dc:rights: Public domain.",
                              "meta name=calibre:series content=Cartoons: ",
                              "meta name=calibre:series_index content=2: ",
                              "meta name=calibre:title_sort content=Tom and Jerry: ",
                          }));
    EXPECT_EQ(spine(), (std::vector<std::string>{"titlepage", "page1"}));
}

TEST_F(BookDetailsTest, Epub3PackageRefinesWhatItHas) {
    m_book.epubVersion = 3;
    writePackageDocument(m_book);
    EXPECT_EQ(metadata(), (std::vector<std::string>{
                              "dc:identifier id=BookId: " + m_book.identifier,
                              "dc:identifier id=isbn: urn:isbn:9780141439518",
                              "dc:title id=title: Tom & Jerry",
                              "meta refines=#title property=file-as: Tom and Jerry",
                              "dc:creator id=creator: A. Writer",
                              "meta refines=#creator property=role scheme=marc:relators: aut",
                              "meta refines=#creator property=file-as: Writer, A.",
                              "dc:creator id=creator2: B. Writer",
                              "meta refines=#creator2 property=role scheme=marc:relators: aut",
                              "dc:language: en-US",
                              "dc:date: 1940-02",
                              "dc:source: https://quirebind.example/",
                              "dc:rights: Public domain.",
                              "dc:description: A chase.",
                              "dc:publisher: Acme",
                              "dc:subject: Cats",
                              "dc:subject: Mice",
                              "meta property=dcterms:modified: 2026-12-08T10:00:00Z",
                              "meta property=belongs-to-collection id=series: Cartoons",
                              "meta refines=#series property=collection-type: series",
                              "meta refines=#series property=group-position: 2",
                              "meta name=calibre:series content=Cartoons: ",
                              "meta name=calibre:series_index content=2: ",
                          }));
}

TEST_F(BookDetailsTest, TitlePageShowsWhatIsKnown) {
    m_book.details.otherAuthors = {"B. Writer", " \t", "C. <Writer>"};
    writeTitlePage(m_book);
    const std::string page = test::readFile(m_dir / "titlepage.html");
    const std::string body = page.substr(page.find("<body>"));
    EXPECT_EQ(body,
              "<body>\r\n"
              "<div class=\"titlepage\">\r\n"
              "<p class=\"title\">Tom &amp; Jerry</p>\r\n"
              "<p class=\"author\">A. Writer</p>\r\n"
              "<p class=\"author\">B. Writer</p>\r\n"
              "<p class=\"author\">C. &lt;Writer&gt;</p>\r\n"
              "<p class=\"series\">Cartoons \xC2\xB7 2</p>\r\n"
              "<p class=\"publisher\">Acme</p>\r\n"
              "<p class=\"date\">1940-02</p>\r\n"
              "</div>\r\n"
              "</body>\r\n"
              "</html>\r\n");
    EXPECT_NE(page.find("<title> Tom &amp; Jerry </title>"), std::string::npos);

    // Only the title and author when nothing else was given.
    m_book.details = {};
    writeTitlePage(m_book);
    const std::string bare = test::readFile(m_dir / "titlepage.html");
    EXPECT_EQ(bare.substr(bare.find("<div")),
              "<div class=\"titlepage\">\r\n"
              "<p class=\"title\">Tom &amp; Jerry</p>\r\n"
              "<p class=\"author\">A. Writer</p>\r\n"
              "</div>\r\n"
              "</body>\r\n"
              "</html>\r\n");
}

}  // namespace
}  // namespace qb
