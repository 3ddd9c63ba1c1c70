// The files only an EPUB 3 book has or writes differently: nav.xhtml, the version 3 package
// document, and the dates they carry.

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <ctime>
#include <string>

#include "book/book_metadata.h"
#include "book/book_pages.h"
#include "book/navigation_control_file.h"
#include "book/navigation_document.h"
#include "book/package_document.h"
#include "platform/errors.h"
#include "tests/support/env_guard.h"
#include "tests/support/files.h"
#include "tests/support/temp_folder.h"

namespace qb {
namespace {

const std::string kId = "urn:uuid:0f8fad5b-d9cb-469f-a165-70867728950e";
const std::string kVolume = "\xE7\xAC\xAC\xE4\xB8\x80\xE5\x8D\xB7";    // 第一卷
const std::string kChapter1 = "\xE7\xAC\xAC\xE4\xB8\x80\xE7\xAB\xA0";  // 第一章
const std::string kChapter2 = "\xE7\xAC\xAC\xE4\xBA\x8C\xE7\xAB\xA0";  // 第二章

class Epub3FilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_book.epubVersion = 3;
        m_book.title = "Tom & <Jerry>";
        m_book.author = "A. \"Quill\" Writer";
        m_book.contentFolder = m_dir.path();
        m_book.identifier = kId;
        m_book.date = "2026-12-08";
        m_book.modified = "2026-12-08T21:05:09Z";
        m_book.languageTag = "zh-CN";
        // A preface, a volume of two chapters that the split file's continuations hold, and a
        // file labelled by its first line, which held nothing a reader can show.
        m_book.outline.pages = {{"page1", "page1.xhtml"},
                                {"page2", "page2.xhtml"},
                                {"page2-2", "page2-2.xhtml"},
                                {"page2-3", "page2-3.xhtml"},
                                {"page3", "page3.xhtml"}};
        m_book.outline.toc = {
            {"Preface & \"notes\"", "page1.xhtml", "page1", {}},
            {kVolume,
             "page2.xhtml",
             "page2",
             {{kChapter1, "page2-2.xhtml", "page2-2", {}},
              {kChapter2, "page2-3.xhtml", "page2-3", {}}}},
            {"\x07\x01", "page3.xhtml", "page3", {}},
        };
    }

    std::string nav() {
        writeNavigationDocument(m_book);
        return parsed("nav.xhtml", "html");
    }
    std::string opf() {
        writePackageDocument(m_book);
        return parsed("fb.opf", "package");
    }
    std::string ncx() {
        writeNavigationControlFile(m_book);
        return parsed("fb.ncx", "ncx");
    }
    // The file's bytes, once a reader has accepted it.
    std::string parsed(const std::string& name, const char* root) {
        pugi::xml_document doc;
        const pugi::xml_parse_result result = doc.load_file((m_dir / name).c_str());
        EXPECT_TRUE(result) << result.description() << " in " << name;
        EXPECT_STREQ(doc.document_element().name(), root);
        return test::readFile(m_dir / name);
    }

    test::TempFolder m_dir;
    BookMetadata m_book;
};

TEST_F(Epub3FilesTest, NavigationDocumentOfABookWithCoverAndVolume) {
    m_book.coverPath = "front.png";
    EXPECT_EQ(nav(),
              "<?xml version='1.0' encoding='utf-8'?>\r\n"
              "<!DOCTYPE html>\r\n"
              "<html xmlns=\"http://www.w3.org/1999/xhtml\" "
              "xmlns:epub=\"http://www.idpf.org/2007/ops\" xml:lang=\"zh-CN\" lang=\"zh-CN\"> \r\n"
              "<head>\r\n"
              "<title> Tom &amp; &lt;Jerry&gt; </title> \r\n"
              "<link href=\"stylesheet.css\" type=\"text/css\" rel=\"stylesheet\"/>\r\n"
              "</head>\r\n"
              "<body>\r\n"
              "<nav epub:type=\"toc\" id=\"toc\">\r\n"
              "\t<ol>\r\n"
              "\t\t<li><a href=\"cover.xhtml\">cover</a></li>\r\n"
              "\t\t<li><a href=\"page1.xhtml\">Preface &amp; \"notes\"</a></li>\r\n"
              "\t\t<li><a href=\"page2.xhtml\">" +
                  kVolume +
                  "</a>\r\n"
                  "\t\t\t<ol>\r\n"
                  "\t\t\t\t<li><a href=\"page2-2.xhtml\">" +
                  kChapter1 +
                  "</a></li>\r\n"
                  "\t\t\t\t<li><a href=\"page2-3.xhtml\">" +
                  kChapter2 +
                  "</a></li>\r\n"
                  "\t\t\t</ol>\r\n"
                  "\t\t</li>\r\n"
                  "\t\t<li><a href=\"page3.xhtml\">page3</a></li>\r\n"
                  "\t</ol>\r\n"
                  "</nav>\r\n"
                  "<nav epub:type=\"landmarks\" id=\"landmarks\" hidden=\"\">\r\n"
                  "\t<ol>\r\n"
                  "\t\t<li><a epub:type=\"cover\" href=\"cover.xhtml\">cover</a></li>\r\n"
                  "\t\t<li><a epub:type=\"bodymatter\" href=\"page1.xhtml\">start</a></li>\r\n"
                  "\t</ol>\r\n"
                  "</nav>\r\n"
                  "</body>\r\n"
                  "</html>\r\n");
}

// Deeper nesting than the outline makes today, and a book without a cover: the lists nest as
// the entries do and the landmarks keep only the first page.
TEST_F(Epub3FilesTest, NavigationDocumentNestsAnyDepthAndNamesNoMissingCover) {
    m_book.outline.toc[1].children[0].children = {{"a < b", "page2-3.xhtml", "page2-3", {}}};
    const std::string text = nav();
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(text.c_str()));
    const pugi::xml_node toc = doc.select_node("//nav[@epub:type='toc']/ol").node();
    EXPECT_EQ(std::string(toc.first_child().child("a").attribute("href").value()), "page1.xhtml");
    const pugi::xml_node deepest =
        toc.child("li").next_sibling("li").child("ol").child("li").child("ol").child("li");
    EXPECT_EQ(std::string(deepest.child_value("a")), "a < b");
    EXPECT_EQ(text.find("cover"), std::string::npos) << text;
    const pugi::xpath_node_set landmarks = doc.select_nodes("//nav[@hidden]/ol/li");
    ASSERT_EQ(landmarks.size(), 1u);
    EXPECT_EQ(std::string(landmarks.first().node().child("a").attribute("epub:type").value()),
              "bodymatter");
}

TEST_F(Epub3FilesTest, PackageDocumentOfABookWithCover) {
    m_book.coverPath = "front.png";
    m_book.coverMediaType = "image/png";
    std::string pages;
    std::string refs;
    for (const PageFile& page : m_book.outline.pages) {
        pages += "\t\t<item id=\"" + page.id + "\" href=\"" + page.href +
                 "\" media-type=\"application/xhtml+xml\"/>\r\n";
        refs += "\t\t<itemref idref=\"" + page.id + "\"/>\r\n";
    }
    EXPECT_EQ(opf(),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
              "<package xmlns=\"http://www.idpf.org/2007/opf\" unique-identifier=\"BookId\" "
              "version=\"3.0\">\r\n"
              "\t<metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\r\n"
              "\t\t<dc:identifier id=\"BookId\">" +
                  kId +
                  "</dc:identifier>\r\n"
                  "\t\t<dc:title>Tom &amp; &lt;Jerry&gt;</dc:title>\r\n"
                  "\t\t<dc:creator id=\"creator\">A. \"Quill\" Writer</dc:creator>\r\n"
                  "\t\t<meta refines=\"#creator\" property=\"role\" "
                  "scheme=\"marc:relators\">aut</meta>\r\n"
                  "\t\t<dc:language>zh-CN</dc:language>\r\n"
                  "\t\t<dc:date>2026-12-08</dc:date>\r\n"
                  "\t\t<dc:source>https://quirebind.example/</dc:source>\r\n"
                  "\t\t<dc:rights>All rights reserved by the author.</dc:rights>\r\n"
                  "\t\t<meta property=\"dcterms:modified\">2026-12-08T21:05:09Z</meta>\r\n"
                  "\t\t<meta name=\"cover\" content=\"cover-image\"/>\r\n"
                  "\t</metadata>\r\n"
                  "\t<manifest>\r\n"
                  "\t\t<item id=\"style\" href=\"stylesheet.css\" media-type=\"text/css\"/>\r\n"
                  "\t\t<item id=\"ncx\" href=\"fb.ncx\" "
                  "media-type=\"application/x-dtbncx+xml\"/>\r\n"
                  "\t\t<item id=\"nav\" href=\"nav.xhtml\" media-type=\"application/xhtml+xml\" "
                  "properties=\"nav\"/>\r\n"
                  "\t\t<item id=\"cover\" href=\"cover.xhtml\" "
                  "media-type=\"application/xhtml+xml\"/>\r\n"
                  "\t\t<item id=\"cover-image\" href=\"front.png\" media-type=\"image/png\" "
                  "properties=\"cover-image\"/>\r\n" +
                  pages +
                  "\t</manifest>\r\n"
                  "\t<spine toc=\"ncx\">\r\n"
                  "\t\t<itemref idref=\"cover\"/>\r\n" +
                  refs +
                  "\t</spine>\r\n"
                  "</package>\r\n");
    // fb.ncx stays for older readers, and opens the same cover page.
    EXPECT_NE(ncx().find("<content src=\"cover.xhtml\"/>"), std::string::npos);
}

// EPUB 3 checkers warn about empty Dublin Core elements: an author made of characters a book
// cannot hold leaves no creator behind, and without a cover nothing names one.
TEST_F(Epub3FilesTest, PackageDocumentWritesNothingEmpty) {
    m_book.author = "\x01\x02";
    const std::string text = opf();
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(text.c_str()));
    const pugi::xml_node metadata = doc.child("package").child("metadata");
    int elements = 0;
    for (pugi::xml_node e : metadata.children()) {
        ++elements;
        EXPECT_STRNE(e.child_value(), "") << e.name();
    }
    EXPECT_EQ(elements, 7);
    EXPECT_FALSE(metadata.child("dc:creator"));
    for (const char* absent : {"opf:", "cover", "refines", "[type]"})
        EXPECT_EQ(text.find(absent), std::string::npos) << absent;
}

// A title of nothing a reader can show still names the book: checkers reject an empty one.
TEST_F(Epub3FilesTest, TitleOfControlsAndBlanks) {
    for (const std::string title : {"", "\x01\x02", " \t ", "\xE3\x80\x80\xC2\xA0"}) {
        m_book.title = title;
        EXPECT_NE(opf().find("<dc:title>untitled</dc:title>"), std::string::npos) << title;
        EXPECT_NE(nav().find("<title> untitled </title>"), std::string::npos) << title;
    }
    m_book.title = " A\x01 ";
    EXPECT_NE(opf().find("<dc:title> A </dc:title>"), std::string::npos);
}

// A contents label that shows nothing becomes the page's id, in the NCX as in the navigation
// document: a no-break or ideographic space is as empty to a reader as a control character.
TEST_F(Epub3FilesTest, BlankLabelsBecomeThePageId) {
    for (const std::string label : {"\x07\x01", " \t", "\xC2\xA0\xE3\x80\x80\xE2\x80\x8B"}) {
        m_book.outline.toc.back().label = label;
        EXPECT_NE(nav().find("<a href=\"page3.xhtml\">page3</a>"), std::string::npos) << label;
        EXPECT_NE(ncx().find("<text>page3</text>"), std::string::npos) << label;
    }
}

// Both dates come from one clock reading: dc:date in local time, dcterms:modified in UTC.
TEST(Epub3DatesTest, OneReadingTwoZones) {
    {
        test::EnvGuard env;
        env.set("TZ", "UTC-14");  // fourteen hours east of Greenwich
        tzset();
        const std::time_t evening = 1700000000;  // 2023-11-14 22:13:20 UTC
        EXPECT_EQ(modifiedTimestamp(evening), "2023-11-14T22:13:20Z");
        EXPECT_EQ(todayDate(evening), "2023-11-15");
        EXPECT_EQ(modifiedTimestamp(0), "1970-01-01T00:00:00Z");
    }
    tzset();
}

TEST(Epub3VersionTest, OnlyTwoAndThreeAreVersions) {
    test::TempFolder dir;
    for (const int version : {0, 1, 4, -3}) {
        BookProject project;
        project.sourceFiles = {"/nowhere.txt"};
        project.language = "en";
        project.epubVersion = version;
        EXPECT_THROW(BookPages(project, dir.path()), Error) << version;
    }
}

}  // namespace
}  // namespace qb
