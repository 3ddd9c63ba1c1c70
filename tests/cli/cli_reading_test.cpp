// Books made with the reading choices of quirebind-cli (page size, chapters, contents labels,
// paragraphs, language), each checked by epubcheck and by reading its files back.

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <set>
#include <string>

#include "tests/cli/cli_fixture.h"
#include "tests/support/choice_cases.h"

namespace qb::test {
namespace {

constexpr std::size_t kCap = 262144;

class CliReadingTest : public CliTest {
  protected:
    std::string build(const std::vector<std::string>& files, std::vector<std::string> extra) {
        std::vector<std::string> args{"-y",        "-t", "Book",      "-a",
                                      "A. Writer", "-o", path("out"), "--plain"};
        args.insert(args.end(), extra.begin(), extra.end());
        args.insert(args.end(), files.begin(), files.end());
        return makeBook(args);
    }

    // The page files of the book, in archive order, each checked against the cap.
    std::vector<std::string> pages(const std::string& archive, std::size_t cap = kCap) {
        std::vector<std::string> names;
        for (const std::string& name : archiveMembers(archive)) {
            if (name.size() < 5 || name.compare(name.size() - 5, 5, ".html") != 0) continue;
            EXPECT_LE(archiveMember(archive, name).size(), cap) << name;
            names.push_back(name.substr(std::string("OEBPS/").size()));
        }
        return names;
    }

    // The spine's page ids and the NCX's entries checked against each other: every entry opens
    // a page of the manifest, its id is that page's, playOrder runs 1.. in document order.
    // Returns the entries as "label>src" with nesting shown by "  ".
    std::vector<std::string> contents(const std::string& archive, int expectedDepth) {
        const pugi::xml_document opf = parseXml(archiveMember(archive, "OEBPS/fb.opf"));
        std::set<std::string> manifest;
        for (pugi::xml_node item : opf.child("package").child("manifest").children("item"))
            manifest.insert(std::string(item.attribute("id").value()) + " " +
                            item.attribute("href").value());
        const pugi::xml_document ncx = parseXml(archiveMember(archive, "OEBPS/fb.ncx"));
        const pugi::xml_node head = ncx.child("ncx").child("head");
        EXPECT_EQ(
            head.find_child_by_attribute("meta", "name", "dtb:depth").attribute("content").as_int(),
            expectedDepth);
        int order = 0;
        return ncxEntries(archive, [&](pugi::xml_node point) {
            EXPECT_EQ(point.attribute("playOrder").as_int(), ++order);
            const std::string src = point.child("content").attribute("src").value();
            EXPECT_EQ(manifest.count(std::string(point.attribute("id").value()) + " " + src), 1u)
                << src;
        });
    }
};

TEST_F(CliReadingTest, ALongTextIsSplitIntoPagesUnderTheCap) {
    std::string text;
    for (int i = 0; text.size() < 700 * 1024; ++i)
        text += "Line " + std::to_string(i) + " of a long story, with AT&T and <tags>.\n";
    std::string paragraph;
    while (paragraph.size() < 600 * 1024) paragraph += "one long paragraph without a break ";
    const std::string one = file("long.txt", text + paragraph + "\n");
    const std::string two = file("short.txt", "Short.\n");

    const std::string archive = build({one, two}, {});
    std::vector<std::string> names = pages(archive);
    ASSERT_GE(names.size(), 6u);
    const pugi::xml_document opf = parseXml(archiveMember(archive, "OEBPS/fb.opf"));
    std::vector<std::string> spine;
    for (pugi::xml_node ref : opf.child("package").child("spine").children("itemref"))
        spine.push_back(std::string(ref.attribute("idref").value()) + ".html");
    // Continuations follow their page in the spine.
    ASSERT_EQ(spine.size(), names.size());
    EXPECT_EQ(spine.front(), "page1.html");
    EXPECT_EQ(spine.back(), "page2.html");
    for (std::size_t j = 1; j + 1 < spine.size(); ++j)
        EXPECT_EQ(spine[j], "page1-" + std::to_string(j + 1) + ".html");
    std::sort(names.begin(), names.end());
    std::sort(spine.begin(), spine.end());
    EXPECT_EQ(spine, names);
    EXPECT_EQ(contents(archive, 1),
              (std::vector<std::string>{"page1>page1.html", "page2>page2.html"}));
    expectValidBook(archive);

    // A smaller cap, and none.
    const std::string small = build({one}, {"--max-page-kb", "64"});
    EXPECT_GT(pages(small, 65536).size(), 4 * names.size() - 8);
    const std::string whole = build({one}, {"--max-page-kb", "0"});
    ASSERT_EQ(pages(whole, std::size_t(-1)), std::vector<std::string>{"page1.html"});
    EXPECT_GT(archiveMember(whole, "OEBPS/page1.html").size(), 1300u * 1024);
}

TEST_F(CliReadingTest, ChaptersWithVolumesAndFirstLineLabels) {
    const std::string english =
        file("novel.txt",
             "The Harbour\nA story.\n\nPart One\n\nChapter 1: Tom & Jerry\nIt began.\n\n"
             "Chapter 2\nIt went on.\nPart Two\nChapter Three\nIt ended.\n");
    const std::string chinese = file("xiaoshuo.txt",
                                     "第一卷 风起\n"
                                     "第一章 开始\n"
                                     "　　故事开始了。\n"
                                     "第二章\n"
                                     "　　故事结束了。\n");
    const std::string plain = file("notes.txt", "\n  Notes on the text  \nNothing more.\n");
    const std::string archive =
        build({english, chinese, plain}, {"--chapters", "auto", "--toc-labels", "first-line"});
    EXPECT_EQ(contents(archive, 2), (std::vector<std::string>{
                                        "The Harbour>page1.html",
                                        "Part One>page1-2.html",
                                        "  Chapter 1: Tom & Jerry>page1-3.html",
                                        "  Chapter 2>page1-4.html",
                                        "Part Two>page1-5.html",
                                        "  Chapter Three>page1-6.html",
                                        "第一卷 风起>page2.html",
                                        "  第一章 开始>page2-2.html",
                                        "  第二章>page2-3.html",
                                        "Notes on the text>page3.html",
                                    }));
    const std::string chapter = archiveMember(archive, "OEBPS/page1-3.html");
    EXPECT_TRUE(contains(chapter, "<div>\r\n<h2>Chapter 1: Tom &amp; Jerry </h2> \r\n<p>It began."))
        << chapter;
    EXPECT_TRUE(contains(archiveMember(archive, "OEBPS/page2.html"), "<h1>第一卷 风起 </h1>"));
    expectValidBook(archive);
}

TEST_F(CliReadingTest, BlocksAndFileLabelsAndAPattern) {
    const std::string wrapped = file("Die Reise.txt",
                                     "Kapitel 1\n\n"
                                     "Der alte Fischer sa\xC3\x9F am Hafen\n"
                                     "und sah den Booten zu.\r\n"
                                     "\t \r\n\r\n"
                                     "  Seine Enkelin brachte Kaffee.  \n"
                                     "KAPITEL 2\n"
                                     "Das Meer war ruhig.\n");
    const std::string archive = build({wrapped}, {"--paragraphs", "blocks", "--toc-labels", "file",
                                                  "--chapters", "(?i)kapitel\\s+\\d+"});
    EXPECT_EQ(contents(archive, 1),
              (std::vector<std::string>{"Kapitel 1>page1.html", "KAPITEL 2>page1-2.html"}));
    const std::string first = archiveMember(archive, "OEBPS/page1.html");
    EXPECT_TRUE(contains(first,
                         "<h2>Kapitel 1 </h2> \r\n"
                         "<p>Der alte Fischer sa\xC3\x9F am Hafen und sah den Booten zu. "
                         "</p> \r\n<p>Seine Enkelin brachte Kaffee. </p> \r\n</div>"))
        << first;
    expectValidBook(archive);

    // No heading found: the file keeps its name as the label, and the pages are as without.
    const std::string none = build({wrapped}, {"--toc-labels", "file", "--chapters", "Teil \\d+"});
    EXPECT_EQ(contents(none, 1), std::vector<std::string>{"Die Reise>page1.html"});
    const std::string off = archiveMember(none, "OEBPS/page1.html");
    EXPECT_EQ(archiveMember(build({wrapped}, {}), "OEBPS/page1.html"), off);
}

TEST_F(CliReadingTest, OneLanguageTagForPagesAndMetadata) {
    std::string text;
    for (int i = 0; i < 10; ++i)
        text +=
            "Der alte Fischer sa\xC3\x9F jeden Morgen am Hafen und sah den Booten zu, die "
            "langsam aus der Bucht fuhren. Seine Enkelin brachte ihm Kaffee und "
            "erz\xC3\xA4hlte von der Schule.\n";
    const std::string german = file("de.txt", text);
    const std::string cover = file("front.jpg", jpegPicture());
    for (const std::string choice : {"de-AT", "AUTO"}) {
        const std::string archive =
            build({german, german}, {"--language", choice, "-c", cover, "--max-page-kb", "1"});
        const std::string tag = parseXml(archiveMember(archive, "OEBPS/fb.opf"))
                                    .select_node("//dc:language")
                                    .node()
                                    .text()
                                    .get();
        if (choice != "AUTO") {
            EXPECT_EQ(tag, choice);
        } else {
            EXPECT_EQ(tag, "de");
        }
        EXPECT_EQ(std::string(parseXml(archiveMember(archive, "OEBPS/fb.ncx"))
                                  .child("ncx")
                                  .attribute("xml:lang")
                                  .value()),
                  tag);
        const std::vector<std::string> names = pages(archive, 1024);
        EXPECT_GT(names.size(), 6u);
        for (const std::string& name : names) {
            EXPECT_EQ(std::string(parseXml(archiveMember(archive, "OEBPS/" + name))
                                      .child("html")
                                      .attribute("xml:lang")
                                      .value()),
                      tag)
                << choice << " " << name;
        }
        expectValidBook(archive);
    }
}

TEST_F(CliReadingTest, WrongChoicesAreUsageErrors) {
    const std::string text = file("a.txt", "x\n");
    // The rows the core's check is tested with: the same words, after the option's name.
    for (const ChoiceCase& c : wrongChoiceCases()) {
        const ProgramResult r =
            cli({"-t", "T", "-a", "A", "-o", path("out"), c.option, c.typed, text});
        EXPECT_EQ(r.exitStatus, 2) << c.message;
        EXPECT_EQ(r.err, "quirebind-cli: " + c.option + ": " + c.message + "\n");
        EXPECT_EQ(r.out, "");
    }
    EXPECT_FALSE(std::filesystem::exists(path("out")));

    const ProgramResult help = cli({"--help"});
    for (const char* option :
         {"--paragraphs", "--chapters", "--toc-labels", "--language", "--max-page-kb"})
        EXPECT_TRUE(contains(help.out, option)) << option;
}

}  // namespace
}  // namespace qb::test
