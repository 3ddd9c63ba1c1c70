#include "book/book_metadata.h"
#include "book/navigation_control_file.h"
#include "book/package_document.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <regex>
#include <set>

#include "book/book_constants.h"
#include "platform/errors.h"
#include "tests/support/env_guard.h"
#include "tests/support/files.h"
#include "tests/support/temp_folder.h"

namespace qb {
namespace {

const std::string kId = "urn:uuid:0f8fad5b-d9cb-469f-a165-70867728950e";

std::string opfText(const std::string& title, const std::string& author, const std::string& items,
                    const std::string& itemrefs, const std::string& lang = "en-US",
                    bool cover = false) {
    return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n") +
           "<package xmlns=\"http://www.idpf.org/2007/opf\" unique-identifier=\"BookId\" "
           "version=\"2.0\">\r\n"
           "\t<metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
           "xmlns:opf=\"http://www.idpf.org/2007/opf\">\r\n"
           "\t\t<dc:title>" +
           title +
           "</dc:title>\r\n"
           "\t\t<dc:creator opf:role=\"aut\">" +
           author +
           "</dc:creator>\r\n"
           "\t\t<dc:subject></dc:subject>\r\n"
           "\t\t<dc:description></dc:description>\r\n"
           "\t\t<dc:contributor></dc:contributor>\r\n"
           "\t\t<dc:date>2026-12-08</dc:date>\r\n"
           "\t\t<dc:type>[type]</dc:type>\r\n"
           "\t\t<dc:format></dc:format>\r\n"
           "\t\t<dc:identifier id=\"BookId\" opf:scheme=\"UUID\">" +
           kId +
           "</dc:identifier>\r\n"
           "\t\t<dc:source>" +
           kBookSourceAddress +
           "</dc:source>\r\n"
           "\t\t<dc:language>" +
           lang +
           "</dc:language>\r\n"
           "\t\t<dc:relation></dc:relation>\r\n"
           "\t\t<dc:coverage></dc:coverage>\r\n"
           "\t\t<dc:rights>" +
           kBookRightsStatement + "</dc:rights>\r\n" +
           std::string(cover ? "\t\t<meta name=\"cover\" content=\"cover-image\"></meta>\r\n"
                             : "") +
           "\t</metadata>\r\n"
           "\t<manifest>\r\n"
           "\t\t<item id=\"style\" href=\"stylesheet.css\" media-type=\"text/css\"/>\r\n"
           "\t\t<item id=\"ncx\" href=\"fb.ncx\" media-type=\"application/x-dtbncx+xml\"/>\r\n" +
           items +
           "\t</manifest>\r\n"
           "\t<spine toc=\"ncx\">\r\n" +
           itemrefs +
           "\t</spine>\r\n"
           "</package>\r\n";
}

std::string pageItem(int k) {
    std::string p = "page" + std::to_string(k);
    return "\t\t<item id=\"" + p + "\" href=\"" + p +
           ".html\" media-type=\"application/xhtml+xml\"/>\r\n";
}
std::string itemref(const std::string& id) {
    return "\t\t<itemref idref=\"" + id + "\"/>\r\n";
}

std::string ncxText(const std::string& title, const std::string& author,
                    const std::string& navPoints, const std::string& lang = "en-US") {
    return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n") +
           "<ncx xmlns=\"http://www.daisy.org/z3986/2005/ncx/\" version=\"2005-1\" xml:lang=\"" +
           lang +
           "\">\r\n"
           "\t<head>\r\n"
           "\t\t<meta name=\"dtb:uid\" content=\"" +
           kId +
           "\"/>\r\n"
           "\t\t<meta name=\"dtb:depth\" content=\"1\"/>\r\n"
           "\t\t<meta name=\"dtb:totalPageCount\" content=\"0\"/>\r\n"
           "\t\t<meta name=\"dtb:maxPageNumber\" content=\"0\"/>\r\n"
           "\t</head>\r\n"
           "\t<docTitle>\r\n"
           "\t\t<text>" +
           title +
           "</text>\r\n"
           "\t</docTitle>\r\n"
           "\t<docAuthor>\r\n"
           "\t\t<text>" +
           author +
           "</text>\r\n"
           "\t</docAuthor>\r\n"
           "\t<navMap>\r\n" +
           navPoints +
           "\t</navMap>\r\n"
           "</ncx>\r\n";
}

std::string navPoint(const std::string& id, int order) {
    return "\t\t<navPoint id=\"" + id + "\" playOrder=\"" + std::to_string(order) +
           "\">\r\n"
           "\t\t\t<navLabel>\r\n"
           "\t\t\t\t<text>" +
           id +
           "</text>\r\n"
           "\t\t\t</navLabel>\r\n"
           "\t\t\t<content src=\"" +
           id +
           ".html\"/>\r\n"
           "\t\t</navPoint>\r\n";
}

class BookMetadataTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_env.locale("C.UTF-8");
        m_book.title = "My Book";
        m_book.author = "A. Writer";
        m_book.contentFolder = m_dir.path();
        m_book.identifier = kId;
        m_book.date = "2026-12-08";
        m_book.languageTag = "en-US";
    }

    // Text files 1..n of one page each, labelled as by default.
    void pages(int n) {
        m_book.outline = {};
        for (int k = 1; k <= n; ++k) {
            const std::string id = "page" + std::to_string(k);
            m_book.outline.pages.push_back({id, id + ".html"});
            m_book.outline.toc.push_back({id, id + ".html", id, {}});
        }
    }

    std::string opf() {
        writePackageDocument(m_book);
        return parsedText(m_dir / "fb.opf", "package");
    }
    std::string ncx() {
        writeNavigationControlFile(m_book);
        return parsedText(m_dir / "fb.ncx", "ncx");
    }
    // The file's text, once a reader has accepted it.
    static std::string parsedText(const std::string& path, const char* root) {
        pugi::xml_document doc;
        pugi::xml_parse_result result = doc.load_file(path.c_str());
        EXPECT_TRUE(result) << result.description();
        EXPECT_STREQ(doc.document_element().name(), root);
        return test::readFile(path);
    }

    test::EnvGuard m_env;
    test::TempFolder m_dir;
    BookMetadata m_book;
};

TEST_F(BookMetadataTest, NoCoverOnePage) {
    pages(1);
    EXPECT_EQ(opf(), opfText("My Book", "A. Writer", pageItem(1), itemref("page1")));
    EXPECT_EQ(ncx(), ncxText("My Book", "A. Writer", navPoint("page1", 1)));
}

TEST_F(BookMetadataTest, CoverAndTwoPages) {
    pages(2);
    m_book.coverPath = "/home/me/Pictures/Front Page.JPEG";
    m_book.coverMediaType = "image/png";
    EXPECT_EQ(opf(),
              opfText("My Book", "A. Writer",
                      "\t\t<item id=\"cover\" href=\"cover.html\" "
                      "media-type=\"application/xhtml+xml\"/>\r\n"
                      "\t\t<item id=\"cover-image\" href=\"Front Page.JPEG\" "
                      "media-type=\"image/png\"/>\r\n" +
                          pageItem(1) + pageItem(2),
                      itemref("cover") + itemref("page1") + itemref("page2"), "en-US", true));
    std::string cover =
        "\t\t<navPoint id=\"cover\" playOrder=\"1\">\r\n"
        "\t\t\t<navLabel>\r\n"
        "\t\t\t\t<text>cover</text>\r\n"
        "\t\t\t</navLabel>\r\n"
        "\t\t\t<content src=\"cover.html\"/>\r\n"
        "\t\t</navPoint>\r\n";
    EXPECT_EQ(ncx(),
              ncxText("My Book", "A. Writer", cover + navPoint("page1", 2) + navPoint("page2", 3)));
}

TEST_F(BookMetadataTest, TwelvePagesInNumericOrder) {
    pages(12);
    std::string items, refs, points;
    for (int k = 1; k <= 12; ++k) {
        items += pageItem(k);
        refs += itemref("page" + std::to_string(k));
        points += navPoint("page" + std::to_string(k), k);
    }
    EXPECT_EQ(opf(), opfText("My Book", "A. Writer", items, refs));
    EXPECT_EQ(ncx(), ncxText("My Book", "A. Writer", points));
}

TEST_F(BookMetadataTest, TitleWithMarkupCharactersIsEscapedText) {
    pages(1);
    m_book.title = " Tom & Jerry <1> ";
    m_book.author = "O'Brien \"Jr\"";
    m_book.languageTag = "de-AT";
    EXPECT_EQ(opf(), opfText(" Tom &amp; Jerry &lt;1&gt; ", "O'Brien \"Jr\"", pageItem(1),
                             itemref("page1"), "de-AT"));
    EXPECT_EQ(ncx(), ncxText(" Tom &amp; Jerry &lt;1&gt; ", "O'Brien \"Jr\"", navPoint("page1", 1),
                             "de-AT"));

    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file((m_dir / "fb.opf").c_str()));
    EXPECT_STREQ(doc.select_node("//dc:title").node().text().get(), " Tom & Jerry <1> ");
    ASSERT_TRUE(doc.load_file((m_dir / "fb.ncx").c_str()));
    EXPECT_STREQ(doc.select_node("/ncx/docTitle/text").node().text().get(), " Tom & Jerry <1> ");
}

TEST_F(BookMetadataTest, ControlCharactersAreDroppedFromTexts) {
    pages(1);
    m_book.title = "Bad\x01\x02 Title\xEF\xBF\xBE";
    m_book.author = "Au\x1Bthor";
    EXPECT_EQ(opf(), opfText("Bad Title", "Author", pageItem(1), itemref("page1")));
    EXPECT_EQ(ncx(), ncxText("Bad Title", "Author", navPoint("page1", 1)));

    // Nothing left to show: the fallbacks the navigation document uses.
    m_book.title = "\x01\x02\xEF\xBF\xBE";
    m_book.outline.toc.front().label = "\x1B\x07 ";
    EXPECT_EQ(opf(), opfText("untitled", "Author", pageItem(1), itemref("page1")));
    EXPECT_EQ(ncx(), ncxText("untitled", "Author", navPoint("page1", 1)));
}

TEST_F(BookMetadataTest, NoCoverMetaWithoutACover) {
    pages(2);
    const std::string withoutCover = opf();
    EXPECT_EQ(withoutCover.find("name=\"cover\""), std::string::npos);
    m_book.coverPath = "front.jpg";
    EXPECT_NE(opf().find("\t\t<meta name=\"cover\" content=\"cover-image\"></meta>\r\n"),
              std::string::npos);
}

// A book whose first file opens with a volume heading and whose second file has a page of
// text before its chapters, with a cover: the whole NCX, and the spine in page order.
TEST_F(BookMetadataTest, VolumesWithChaptersAndContinuationPages) {
    m_book.coverPath = "c.png";
    m_book.languageTag = "zh-Hans";
    m_book.outline.pages = {{"page1", "page1.html"},     {"page1-2", "page1-2.html"},
                            {"page1-3", "page1-3.html"}, {"page1-4", "page1-4.html"},
                            {"page2", "page2.html"},     {"page2-2", "page2-2.html"}};
    m_book.outline.toc = {
        {"Part One",
         "page1.html",
         "page1",
         {{"Chapter 1", "page1-2.html", "page1-2", {}},
          {"Chapter 2 & <3>", "page1-4.html", "page1-4", {}}}},
        {"page2", "page2.html", "page2", {}},
        {"\xE7\xAC\xAC\xE4\xB8\x80\xE7\xAB\xA0", "page2-2.html", "page2-2", {}},
    };
    std::string items =
        "\t\t<item id=\"cover\" href=\"cover.html\" "
        "media-type=\"application/xhtml+xml\"/>\r\n"
        "\t\t<item id=\"cover-image\" href=\"c.png\" media-type=\"image/jpeg\"/>\r\n";
    std::string refs = itemref("cover");
    for (const PageFile& page : m_book.outline.pages) {
        items += "\t\t<item id=\"" + page.id + "\" href=\"" + page.href +
                 "\" media-type=\"application/xhtml+xml\"/>\r\n";
        refs += itemref(page.id);
    }
    EXPECT_EQ(opf(), opfText("My Book", "A. Writer", items, refs, "zh-Hans", true));

    auto point = [](const std::string& tabs, const std::string& id, int order,
                    const std::string& label, const std::string& inner = "") {
        return tabs + "<navPoint id=\"" + id + "\" playOrder=\"" + std::to_string(order) +
               "\">\r\n" + tabs + "\t<navLabel>\r\n" + tabs + "\t\t<text>" + label + "</text>\r\n" +
               tabs + "\t</navLabel>\r\n" + tabs + "\t<content src=\"" +
               (id == "cover" ? "cover" : id) + ".html\"/>\r\n" + inner + tabs + "</navPoint>\r\n";
    };
    std::string expected =
        ncxText("My Book", "A. Writer",
                point("\t\t", "cover", 1, "cover") +
                    point("\t\t", "page1", 2, "Part One",
                          point("\t\t\t", "page1-2", 3, "Chapter 1") +
                              point("\t\t\t", "page1-4", 4, "Chapter 2 &amp; &lt;3&gt;")) +
                    point("\t\t", "page2", 5, "page2") +
                    point("\t\t", "page2-2", 6, "\xE7\xAC\xAC\xE4\xB8\x80\xE7\xAB\xA0"),
                "zh-Hans");
    const std::string depthOne = "<meta name=\"dtb:depth\" content=\"1\"/>";
    expected.replace(expected.find(depthOne), depthOne.size(),
                     "<meta name=\"dtb:depth\" content=\"2\"/>");
    EXPECT_EQ(ncx(), expected);
}

// Resolves a prefix of an element the way a namespace-aware reader does: by the nearest
// xmlns declaration among the element and its ancestors.
std::string namespaceOf(pugi::xml_node node) {
    std::string name = node.name();
    std::size_t colon = name.find(':');
    std::string attr = colon == std::string::npos ? "xmlns" : "xmlns:" + name.substr(0, colon);
    for (pugi::xml_node n = node; n; n = n.parent()) {
        if (pugi::xml_attribute a = n.attribute(attr.c_str())) return a.value();
    }
    return {};
}

TEST_F(BookMetadataTest, NamespacesResolveForAReader) {
    pages(3);
    m_book.coverPath = "c.jpg";
    writePackageDocument(m_book);
    writeNavigationControlFile(m_book);

    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file((m_dir / "fb.opf").c_str()));
    std::set<std::string> declaredOn;
    for (pugi::xpath_node x : doc.select_nodes("//*")) {
        pugi::xml_node e = x.node();
        std::string name = e.name();
        std::string expected = name.rfind("dc:", 0) == 0 ? kDublinCoreNamespace : kOpfNamespace;
        EXPECT_EQ(namespaceOf(e), expected) << name;
        for (pugi::xml_attribute a = e.first_attribute(); a; a = a.next_attribute()) {
            if (std::string(a.name()).rfind("xmlns", 0) == 0) declaredOn.insert(name);
        }
    }
    EXPECT_EQ(declaredOn, (std::set<std::string>{"package", "metadata"}));
    pugi::xml_node identifier = doc.select_node("//dc:identifier").node();
    EXPECT_STREQ(identifier.attribute("opf:scheme").value(), "UUID");

    ASSERT_TRUE(doc.load_file((m_dir / "fb.ncx").c_str()));
    for (pugi::xpath_node x : doc.select_nodes("//*")) {
        EXPECT_EQ(namespaceOf(x.node()), kNcxNamespace) << x.node().name();
    }
    EXPECT_STREQ(doc.select_node("//meta[@name='dtb:uid']").node().attribute("content").value(),
                 kId.c_str());
}

TEST_F(BookMetadataTest, FolderThatCannotBeWritten) {
    pages(1);
    m_book.contentFolder = m_dir / "missing";
    EXPECT_THROW(writePackageDocument(m_book), EFCreateError);
    EXPECT_THROW(writeNavigationControlFile(m_book), EFCreateError);
}

TEST(BookIdentifier, RandomVersionFourUuids) {
    std::regex form("urn:uuid:[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}");
    std::set<std::string> seen;
    for (int i = 0; i < 100; ++i) {
        std::string id = newBookIdentifier();
        EXPECT_TRUE(std::regex_match(id, form)) << id;
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 100u);
}

}  // namespace
}  // namespace qb
