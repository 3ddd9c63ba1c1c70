#include "book/page_writer.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <filesystem>
#include <functional>

#include "book/cover_writer.h"
#include "book/stylesheet.h"
#include "book/xml/xml_document.h"
#include "platform/errors.h"
#include "platform/text_file.h"
#include "tests/book/page_fixture.h"
#include "tests/support/env_guard.h"
#include "tests/support/files.h"
#include "tests/support/temp_folder.h"

namespace qb {
namespace {

using test::expectXhtml;
using test::Lines;
using test::pageText;

// Reads a text file and writes its pages, as a run does for each file.
TextPages writePagesOf(const std::string& path, int k, const std::string& folder,
                       const PageOptions& options, const std::string& charset = "") {
    const SourceText source(path, charset);
    return writeTextPages([&](const TextSink& sink) { source.decode(sink); }, k, path, folder,
                          options);
}

class PageWriterTest : public ::testing::Test {
  protected:
    void SetUp() override { m_env.locale("C.UTF-8"); }

    std::string page(const std::string& source, const std::string& charset = "", int k = 1) {
        std::string in = m_dir / "source.txt";
        test::writeFile(in, source);
        PageOptions options;
        options.languageTag = m_language;
        TextPages pages = writePagesOf(in, k, m_dir.path(), options, charset);
        EXPECT_EQ(pages.pages.size(), 1u);
        std::string out = m_dir / ("page" + std::to_string(k) + ".html");
        expectXhtml(out);
        return test::readFile(out);
    }
    void write(const std::string& in, const std::string& charset = "") {
        PageOptions options;
        options.languageTag = m_language;
        writePagesOf(in, 1, m_dir.path(), options, charset);
    }

    std::string m_language = "en-US";

    test::EnvGuard m_env;
    test::TempFolder m_dir;
};

TEST_F(PageWriterTest, EmptyFileGivesElevenLines) {
    std::string text = page("");
    EXPECT_EQ(text, pageText({}));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 11);
}

TEST_F(PageWriterTest, MarkupCharactersAreEscapedNotReplaced) {
    EXPECT_EQ(page("a<b & c>d"), pageText({"a&lt;b &amp; c&gt;d"}));
    EXPECT_EQ(page("AT&T <https://example.org/?a=1&b=2>"),
              pageText({"AT&amp;T &lt;https://example.org/?a=1&amp;b=2&gt;"}));
    EXPECT_EQ(page("&amp; stays typed"), pageText({"&amp;amp; stays typed"}));
    EXPECT_EQ(page("\"quoted\" 'it''s'\tend  "), pageText({"\"quoted\" 'it''s'\tend  "}));
}

// Each line of the text is one paragraph, an empty line an empty one; how bytes become lines is
// checked where the decoding is (BytesBecomeLines). Here, that the page takes what the decoding
// gives, escaped: a mark, wide text, a named charset, detection.
TEST_F(PageWriterTest, EachDecodedLineIsAParagraph) {
    EXPECT_EQ(page("one\r\n\r\ntwo\r\n"), pageText({"one", "", "two"}));
    EXPECT_EQ(page(std::string("\xFF\xFE"
                               "a\0<\0\xE9\0\n\0b\0",
                               12)),
              pageText({"a&lt;\xC3\xA9", "b"}));
    EXPECT_EQ(page("\xD6\xD0\xCE\xC4<\xB2\xE2\xCA\xD4>", "GBK"),
              pageText({"\xE4\xB8\xAD\xE6\x96\x87&lt;\xE6\xB5\x8B\xE8\xAF\x95&gt;"}));
    EXPECT_EQ(page(std::string("before\nmid\0after\n", 17)), pageText({"before", "mid"}));
}

TEST_F(PageWriterTest, CharactersXmlCannotHoldAreDropped) {
    EXPECT_EQ(page("a\x01"
                   "b\x1B[0m\x7F\xEF\xBF\xBE"
                   "c\xEF\xBF\xBF"),
              pageText({"ab[0m\x7F"
                        "c"}));
    // An unpaired UTF-16 surrogate and a U+0000 in UTF-16 text.
    EXPECT_EQ(page(std::string("\xFF\xFE"
                               "x\0\x00\xD8y\0\0\0z\0",
                               12)),
              pageText({"xyz"}));
}

TEST_F(PageWriterTest, TitleAndLanguage) {
    m_language = "de-DE";
    EXPECT_EQ(page("x", "", 12), pageText({"x"}, "page12", "de-DE"));
    // The tag comes from the caller, never from the locale behind its back.
    m_env.locale("fr_FR.UTF-8");
    m_language = "zh-Hans";
    EXPECT_EQ(page("x"), pageText({"x"}, "page1", "zh-Hans"));
}

TEST_F(PageWriterTest, ExistingPageIsReplaced) {
    test::writeFile(m_dir / "page1.html", std::string(5000, 'z'));
    EXPECT_EQ(page("short"), pageText({"short"}));
}

// A source that cannot be read (BytesBecomeLines says with which message) leaves no page.
TEST_F(PageWriterTest, ASourceThatCannotBeReadCreatesNoPage) {
    const std::string program = m_dir / "program";
    test::writeFile(program, std::string("\x7F"
                                         "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0",
                                         16));
    const std::string plain = m_dir / "source.txt";
    test::writeFile(plain, "x");
    const std::pair<std::string, std::string> cases[] = {
        {m_dir / "missing.txt", ""}, {plain, "NO-SUCH-CHARSET"}, {program, ""}};
    for (const auto& [in, charset] : cases) {
        EXPECT_THROW(write(in, charset), Error) << in;
        EXPECT_FALSE(std::filesystem::exists(m_dir / "page1.html")) << in;
    }
}

// Every writer of a book file names the file it could not make and why: a folder that is not
// there, and a full disk (/dev/full in the file's place).
TEST_F(PageWriterTest, EveryBookFileWriterNamesWhatItCouldNotWrite) {
    const std::string in = m_dir / "source.txt";
    test::writeFile(in, "x");
    struct Writer {
        const char* file;
        std::function<void(const std::string& folder)> write;
    };
    const Writer writers[] = {
        {"page1.html", [&](const std::string& folder) { writePagesOf(in, 1, folder, {}); }},
        {"cover.html",
         [](const std::string& folder) {
             writeCoverPage(folder + "/cover.html", "front.jpg", "en-US");
         }},
        {"stylesheet.css",
         [](const std::string& folder) { writeStylesheet(folder + "/stylesheet.css"); }},
        {"out.txt", [](const std::string& folder) { writeTextLines(folder + "/out.txt", {"x"}); }},
        {"fb.ncx",
         [](const std::string& folder) {
             TXMLDocument doc;
             doc.setActive(true);
             doc.documentNode().addChild("r");
             doc.saveToFile(folder + "/fb.ncx");
         }},
    };
    const std::string full = m_dir / "full";
    std::filesystem::create_directory(full);
    for (const Writer& writer : writers) {
        const std::string missing = m_dir / "nowhere" + "/" + writer.file;
        try {
            writer.write(m_dir / "nowhere");
            ADD_FAILURE() << "no error for " << missing;
        } catch (const EFCreateError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "Cannot create file \"" + missing + "\". No such file or directory");
        }
        const std::string onFull = full + "/" + writer.file;
        std::filesystem::create_symlink("/dev/full", onFull);
        try {
            writer.write(full);
            ADD_FAILURE() << "no error for " << onFull;
        } catch (const EWriteError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "Stream write error \"" + onFull + "\". No space left on device");
        }
    }
}

TEST_F(PageWriterTest, LongLinesAndManyLines) {
    std::string longLine(3 * 1024 * 1024 + 7, 'x');
    longLine[100000] = '<';
    std::string text = longLine + "\n";
    for (int i = 0; i < 50000; ++i) text += "r\xC3\xA9sum\xC3\xA9 " + std::to_string(i) + "\r\n";
    std::string in = m_dir / "source.txt";
    test::writeFile(in, text);
    PageOptions options;
    options.languageTag = m_language;
    options.maxPageBytes = 0;  // one page whatever its size
    writePagesOf(in, 1, m_dir.path(), options);
    std::string out = test::readFile(m_dir / "page1.html");
    std::string expectedLong = longLine;
    expectedLong.replace(100000, 1, "&lt;");
    Lines expected{expectedLong};
    for (int i = 0; i < 50000; ++i) expected.push_back("r\xC3\xA9sum\xC3\xA9 " + std::to_string(i));
    EXPECT_EQ(out, pageText(expected));
}

// ---- cover page ----

std::string coverText(const std::string& src, const std::string& lang = "en-US") {
    return "<?xml version='1.0' encoding='utf-8'?>\r\n"
           "<html xmlns=\"http://www.w3.org/1999/xhtml\" xml:lang=\"" +
           lang +
           "\"> \r\n"
           "<head>\r\n"
           "<title> cover </title> \r\n"
           "<link href=\"stylesheet.css\" type=\"text/css\" rel=\"stylesheet\"/> \r\n"
           "</head>\r\n"
           "<body>\r\n"
           "<div>\r\n"
           "<img src=\"" +
           src +
           "\" alt=\"cover\" />\r\n"
           "</div>\r\n"
           "</body>\r\n"
           "</html>\r\n";
}

TEST_F(PageWriterTest, CoverPage) {
    std::string path = m_dir / "cover.html";
    writeCoverPage(path, "front.jpg", "zh-Hans");
    EXPECT_EQ(test::readFile(path), coverText("front.jpg", "zh-Hans"));
    test::writeFile(path, std::string(3000, 'z'));
    writeCoverPage(path, "front.jpg", "en-US");
    EXPECT_EQ(test::readFile(path), coverText("front.jpg"));
    expectXhtml(path);

    std::string name =
        "my cover & \"b\xC3\xBC"
        "cher\" <1>.jpg";
    writeCoverPage(path, name, "en-US");
    EXPECT_EQ(test::readFile(path), coverText("my cover &amp; &quot;b\xC3\xBC"
                                              "cher&quot; &lt;1&gt;.jpg"));
    expectXhtml(path);
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(path.c_str()));
    EXPECT_EQ(std::string(doc.select_node("//img").node().attribute("src").value()), name);
}

TEST_F(PageWriterTest, Epub3CoverPage) {
    const std::string path = m_dir / "cover.xhtml";
    writeCoverPage(path, "front & back.jpg", "zh-Hans", 3);
    const std::string v2 = coverText("front &amp; back.jpg", "zh-Hans");
    const std::string v2Root =
        "<html xmlns=\"http://www.w3.org/1999/xhtml\" xml:lang=\"zh-Hans\"> ";
    std::string v3 = v2;
    v3.replace(v3.find(v2Root), v2Root.size(),
               "<!DOCTYPE html>\r\n"
               "<html xmlns=\"http://www.w3.org/1999/xhtml\" "
               "xmlns:epub=\"http://www.idpf.org/2007/ops\" xml:lang=\"zh-Hans\" "
               "lang=\"zh-Hans\"> ");
    EXPECT_EQ(test::readFile(path), v3);
    expectXhtml(path);
}

TEST_F(PageWriterTest, Stylesheet) {
    std::string path = m_dir / "stylesheet.css";
    writeStylesheet(path);
    std::string css = test::readFile(path);
    EXPECT_NE(css.find("max-width: 100%"), std::string::npos);
    EXPECT_NE(css.find("p {"), std::string::npos);
    EXPECT_EQ(css.substr(css.size() - 2), "\r\n");
}

}  // namespace
}  // namespace qb
