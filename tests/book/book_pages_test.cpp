// The pages of a whole book: the language chosen once for all of them, the files read once,
// what the user is told about each file, and the outline that comes out.

#include "book/book_pages.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <pugixml.hpp>

#include <filesystem>
#include <thread>

#include "platform/errors.h"
#include "platform/language.h"
#include "platform/text_decoding.h"
#include "tests/support/env_guard.h"
#include "tests/support/files.h"
#include "tests/support/recording_ui.h"
#include "tests/support/temp_folder.h"

namespace qb {
namespace {

// A German text long enough for any detector, written for this test.
const std::string kGerman =
    "Der alte Fischer sa\xC3\x9F jeden Morgen am Hafen und sah den Booten zu, die langsam aus "
    "der Bucht fuhren. Seine Enkelin brachte ihm Kaffee und erz\xC3\xA4hlte von der Schule, "
    "von den Lehrern und von ihren Freundinnen. Er h\xC3\xB6rte ihr zu, nickte und dachte an "
    "die Jahre, in denen er selbst hinausgefahren war, bei Wind und Wetter, bevor die Sonne "
    "aufging. Heute war das Meer ruhig, und die M\xC3\xB6wen schrien \xC3\xBC"
    "ber dem Wasser.\n";
const std::string kChinese =
    "\xE8\x80\x81\xE6\xB8\x94\xE5\xA4\xAB\xE6\xAF\x8F\xE5\xA4\xA9\xE6\x97\xA9\xE4\xB8\x8A"
    "\xE9\x83\xBD\xE5\x9D\x90\xE5\x9C\xA8\xE6\xB8\xAF\xE5\x8F\xA3\xEF\xBC\x8C\xE7\x9C\x8B"
    "\xE7\x9D\x80\xE6\xB8\x94\xE8\x88\xB9\xE6\x85\xA2\xE6\x85\xA2\xE5\x9C\xB0\xE9\xA9\xB6"
    "\xE5\x87\xBA\xE6\xB5\xB7\xE6\xB9\xBE\xE3\x80\x82\xE4\xBB\x96\xE7\x9A\x84\xE5\xAD\x99"
    "\xE5\xA5\xB3\xE7\xBB\x99\xE4\xBB\x96\xE5\xB8\xA6\xE6\x9D\xA5\xE4\xBA\x86\xE8\x8C\xB6"
    "\xEF\xBC\x8C\xE8\xAE\xB2\xE8\xB5\xB7\xE5\xAD\xA6\xE6\xA0\xA1\xE9\x87\x8C\xE7\x9A\x84"
    "\xE8\x80\x81\xE5\xB8\x88\xE5\x92\x8C\xE5\x90\x8C\xE5\xAD\xA6\xE3\x80\x82\xE4\xBB\x8A"
    "\xE5\xA4\xA9\xE7\x9A\x84\xE5\xA4\xA7\xE6\xB5\xB7\xE5\xBE\x88\xE5\xB9\xB3\xE9\x9D\x99"
    "\xEF\xBC\x8C\xE6\xB5\xB7\xE9\xB8\xA5\xE5\x9C\xA8\xE6\xB0\xB4\xE9\x9D\xA2\xE4\xB8\x8A"
    "\xE9\xA3\x9E\xE6\x9D\xA5\xE9\xA3\x9E\xE5\x8E\xBB\xE3\x80\x82\n";

class BookPagesTest : public ::testing::Test {
  protected:
    void SetUp() override { m_env.locale("de_CH.UTF-8"); }

    std::string text(const std::string& name, const std::string& bytes) {
        test::writeFile(m_dir / name, bytes);
        m_project.sourceFiles.push_back(m_dir / name);
        return m_dir / name;
    }

    // Adds every file, then finishes; the files written, in the order they were reported.
    std::vector<int> writeAll(BookPages& pages) {
        std::vector<int> written;
        for (int k = 1; k <= static_cast<int>(m_project.sourceFiles.size()); ++k) {
            for (int w : pages.add(k, m_ui)) written.push_back(w);
        }
        for (int w : pages.finish()) written.push_back(w);
        return written;
    }

    std::string languageOf(const PageFile& page) const {
        pugi::xml_document doc;
        EXPECT_TRUE(doc.load_file((m_dir / ("out/" + page.href)).c_str()));
        return doc.child("html").attribute("xml:lang").value();
    }

    std::string content() {
        std::filesystem::create_directories(m_dir / "out");
        return m_dir / "out";
    }

    test::EnvGuard m_env;
    test::TempFolder m_dir;
    BookProject m_project;
    test::RecordingUi m_ui;
};

TEST_F(BookPagesTest, TheLocaleOrTheGivenTagWithoutDetection) {
    text("a.txt", kGerman);
    int calls = 0;
    auto detector = [&](std::string_view) {
        ++calls;
        return std::string("fr");
    };
    {
        BookPages pages(m_project, content(), detector);
        EXPECT_EQ(writeAll(pages), std::vector<int>{1});
        EXPECT_EQ(pages.languageTag(), "de-CH");
        EXPECT_EQ(languageOf(pages.outline().pages[0]), "de-CH");
    }
    m_project.language = "pt-BR";
    BookPages pages(m_project, content(), detector);
    writeAll(pages);
    EXPECT_EQ(pages.languageTag(), "pt-BR");
    EXPECT_EQ(languageOf(pages.outline().pages[0]), "pt-BR");
    EXPECT_EQ(calls, 0);
}

TEST_F(BookPagesTest, AutoJudgesTheFirstFilesAndTagsEveryPage) {
    text("a.txt", "Erste Datei.\n");
    text("b.txt", kGerman);
    text("c.txt", std::string(400 * 1024, 'x') + "\n");  // fills the sample
    text("d.txt", "Letzte Datei.\n");
    m_project.language = "auto";
    m_project.maxPageBytes = 64 * 1024;
    std::vector<std::string> samples;
    BookPages pages(m_project, content(), [&](std::string_view sample) {
        samples.emplace_back(sample);
        return std::string("de");
    });
    // Nothing is written until the sample is full; then the files held are written in order.
    EXPECT_EQ(pages.add(1, m_ui), std::vector<int>{});
    EXPECT_EQ(pages.add(2, m_ui), std::vector<int>{});
    EXPECT_EQ(pages.add(3, m_ui), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(pages.add(4, m_ui), std::vector<int>{4});
    EXPECT_EQ(pages.finish(), std::vector<int>{});

    ASSERT_EQ(samples.size(), 1u);
    EXPECT_EQ(samples[0].size(), kLanguageSampleBytes);
    EXPECT_EQ(samples[0].substr(0, 13 + kGerman.size()), "Erste Datei.\n" + kGerman);
    EXPECT_EQ(pages.languageTag(), "de");
    ASSERT_GT(pages.outline().pages.size(), 7u);
    for (const PageFile& page : pages.outline().pages) EXPECT_EQ(languageOf(page), "de");
    // The pages of the files held back hold their whole text.
    EXPECT_NE(test::readFile(m_dir / "out/page2.html").find("Enkelin brachte"), std::string::npos);
    EXPECT_NE(test::readFile(m_dir / "out/page4.html").find("Letzte Datei."), std::string::npos);
    EXPECT_EQ(pages.outline().toc.size(), 4u);
}

TEST_F(BookPagesTest, AutoFallsBackToTheLocaleWhenTheDetectorCannotTell) {
    text("a.txt", "Hm.\n");
    text("b.txt", "");
    m_project.language = "auto";
    for (const std::string answer : {"", "not a tag!"}) {
        if (!answer.empty() && isLanguageTag(answer)) continue;  // the tag check is not in yet
        BookPages pages(m_project, content(), [&](std::string_view) { return answer; });
        EXPECT_EQ(writeAll(pages), (std::vector<int>{1, 2})) << answer;
        EXPECT_EQ(pages.languageTag(), "de-CH");
        for (const PageFile& page : pages.outline().pages) EXPECT_EQ(languageOf(page), "de-CH");
    }
}

TEST_F(BookPagesTest, AutoReadsAPipeOnlyOnce) {
    const std::string fifo = m_dir / "pipe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    m_project.sourceFiles = {fifo};
    m_project.language = "auto";
    std::thread writer([&] { test::writeFile(fifo, "Aus einer Pipe.\n"); });
    std::string sample;
    BookPages pages(m_project, content(), [&](std::string_view s) {
        sample = s;
        return std::string("de");
    });
    EXPECT_EQ(writeAll(pages), std::vector<int>{1});
    writer.join();
    EXPECT_EQ(sample, "Aus einer Pipe.\n");
    EXPECT_NE(test::readFile(m_dir / "out/page1.html").find("<p>Aus einer Pipe. </p>"),
              std::string::npos);
}

TEST_F(BookPagesTest, RealDetection) {
    m_project.language = "auto";
    struct Case {
        std::string text, prefix;
    };
    const Case cases[] = {{kGerman + kGerman, "de"}, {kChinese + kChinese, "zh"}, {"Ja.\n", ""}};
    for (const Case& c : cases) {
        m_project.sourceFiles.clear();
        text("a.txt", c.text);
        BookPages pages(m_project, content());
        writeAll(pages);
        if (c.prefix.empty()) {
            EXPECT_EQ(pages.languageTag(), "de-CH") << "too short to tell";
        } else {
            EXPECT_EQ(pages.languageTag().substr(0, 2), c.prefix);
        }
    }
}

TEST_F(BookPagesTest, EachFileSaysHowItWasRead) {
    // "中文测试，这是一个用于检测字符集的文件。" in GBK: found by the charset detector.
    const std::string gbk =
        "\xD6\xD0\xCE\xC4\xB2\xE2\xCA\xD4\xA3\xAC\xD5\xE2\xCA\xC7\xD2\xBB\xB8\xF6\xD3\xC3"
        "\xD3\xDA\xBC\xEC\xB2\xE2\xD7\xD6\xB7\xFB\xBC\xAF\xB5\xC4\xCE\xC4\xBC\xFE\xA1\xA3";
    text("plain.txt", "plain\n");
    text("gbk.txt", gbk + "\r\n" + gbk + "\r\n");
    BookPages pages(m_project, content());
    writeAll(pages);
    EXPECT_TRUE(m_ui.events.empty());
    EXPECT_EQ(m_ui.reading,
              (std::vector<std::string>{"read 1 page1.html plain.txt UTF-8",
                                        "read 2 page2.html gbk.txt GB18030 detected"}));
}

// A text in a legacy charset is decoded once and read twice (planned, then written): the
// second reading must give the pages its UTF-8 twin gives, over many decoder pieces and pages.
TEST_F(BookPagesTest, ALegacyTextGivesThePagesOfItsUtf8Twin) {
    std::string utf8;
    for (int chapter = 1; chapter <= 40; ++chapter) {
        utf8 += "Kapitel " + std::to_string(chapter) + "\n\n";
        for (int k = 0; k < 30; ++k) utf8 += kGerman + "\n";
    }
    std::string latin1;  // kGerman holds only characters up to U+00FF
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        latin1 += c == 0xC3 ? static_cast<char>(0x40 + static_cast<unsigned char>(utf8[++i]))
                            : static_cast<char>(c);
    }
    ASSERT_GT(latin1.size(), 300'000u);
    m_project.paragraphs = ParagraphMode::Auto;
    m_project.chapterMode = ChapterMode::Auto;
    m_project.conventions = true;
    m_project.language = "de";
    std::vector<std::vector<std::string>> books;
    for (const auto& [name, bytes, charset] :
         {std::tuple{"utf8", utf8, ""}, std::tuple{"latin1", latin1, "WINDOWS-1252"}}) {
        BookProject project = m_project;
        project.sourceFiles = {m_dir / (std::string(name) + ".txt")};
        project.charset = charset;
        test::writeFile(project.sourceFiles[0], bytes);
        const std::string out = m_dir / name;
        std::filesystem::create_directories(out);
        BookPages pages(project, out);
        pages.add(1, m_ui);
        pages.finish();
        books.emplace_back();
        for (const PageFile& page : pages.outline().pages)
            books.back().push_back(test::readFile(out + "/" + page.href));
    }
    EXPECT_GT(books[0].size(), 1u);
    EXPECT_TRUE(books[0] == books[1]);
}

TEST_F(BookPagesTest, ANulByteThatEndsTheTextIsReported) {
    const std::string bytes = std::string("kept\nalso kept\0lost\n", 20);
    const std::string path = text("nul.txt", bytes);
    BookPages pages(m_project, content());
    writeAll(pages);
    EXPECT_TRUE(m_ui.events.empty());
    ASSERT_EQ(m_ui.reading.size(), 2u);
    EXPECT_EQ(m_ui.reading[1], "warning: " + path + ": the text ends at a NUL byte at offset 14");
    EXPECT_EQ(pages.outline().pages.size(), 1u);
}

TEST_F(BookPagesTest, OutlineOfSeveralFilesInOrder) {
    text("one.txt", "Chapter 1\nA\nChapter 2\nB\n");
    text("two.txt", "Preamble\nPart One\nChapter 3\nC\n");
    m_project.chapterMode = ChapterMode::Auto;
    m_project.tocLabels = TocLabels::File;
    BookPages pages(m_project, content());
    writeAll(pages);
    std::vector<std::string> ids;
    for (const PageFile& page : pages.outline().pages) ids.push_back(page.id);
    EXPECT_EQ(ids, (std::vector<std::string>{"page1", "page1-2", "page2", "page2-2", "page2-3"}));
    const std::vector<TocEntry>& toc = pages.outline().toc;
    ASSERT_EQ(toc.size(), 4u);
    EXPECT_EQ(toc[0].label, "Chapter 1");
    EXPECT_EQ(toc[1].label, "Chapter 2");
    EXPECT_EQ(toc[2].label, "two");
    EXPECT_EQ(toc[3].label, "Part One");
    ASSERT_EQ(toc[3].children.size(), 1u);
    EXPECT_EQ(toc[3].children[0].id, "page2-3");
}

TEST_F(BookPagesTest, BadChoicesAreErrors) {
    text("a.txt", "x\n");
    m_project.chapterMode = ChapterMode::Pattern;
    m_project.chapterPattern = "(unclosed";
    EXPECT_THROW(BookPages(m_project, content()), Error);
    m_project.chapterMode = ChapterMode::Off;
    EXPECT_NO_THROW(BookPages(m_project, content()));
    m_project.language = "not a tag!";
    try {
        BookPages pages(m_project, content());
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "\"not a tag!\" is not a language tag");
    }
}

TEST_F(BookPagesTest, APatternThatGivesUpOnLinesIsReportedWithTheFile) {
    m_project.chapterMode = ChapterMode::Pattern;
    m_project.chapterPattern = "(a|a)*";
    const std::string path = text("a.txt", "aaa\n" + std::string(79, 'a') + "!\nprose\n");
    BookPages pages(m_project, m_dir.path());
    writeAll(pages);
    EXPECT_EQ(m_ui.reading.at(1), "warning: " + path +
                                      ": the chapter pattern backtracked too long on 1 line and "
                                      "took it as text; a simpler pattern decides every line");
}

TEST_F(BookPagesTest, ABookOverTheMemberLimitStopsAtThePageThatPassesIt) {
    // One heading a page; a limit of 100 members, less the book's five own files.
    m_project.chapterMode = ChapterMode::Pattern;
    m_project.chapterPattern = "C\\d+";
    std::string headings;
    for (int i = 1; i <= 1000; ++i) headings += "C" + std::to_string(i) + "\n";
    text("many.txt", headings);
    BookPages pages(m_project, m_dir / "out", {}, 100);
    std::filesystem::create_directory(m_dir / "out");
    try {
        writeAll(pages);
        FAIL() << "a book of 1,000 pages was written";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("The book would have more than 100 files", 0), 0u)
            << e.what();
    }
    // Not one page file more than the limit allows was made.
    const auto files = std::distance(std::filesystem::directory_iterator(m_dir / "out"),
                                     std::filesystem::directory_iterator());
    EXPECT_EQ(files, 100 - 5);
}

}  // namespace
}  // namespace qb
