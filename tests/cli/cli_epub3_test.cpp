// EPUB 3 books made by quirebind-cli: books of every kind the program makes pass epubcheck as
// version 3, their nav.xhtml lists what their fb.ncx lists, and readers of EPUB 3 open them.

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tests/cli/cli_fixture.h"

namespace fs = std::filesystem;

namespace qb::test {
namespace {

// 第一卷 北方 / 第一章 风起 / 第二章 雪落: a volume of two chapters, and lines of prose.
const std::string kVolume = "\xE7\xAC\xAC\xE4\xB8\x80\xE5\x8D\xB7 \xE5\x8C\x97\xE6\x96\xB9";
const std::string kChapter1 = "\xE7\xAC\xAC\xE4\xB8\x80\xE7\xAB\xA0 \xE9\xA3\x8E\xE8\xB5\xB7";
const std::string kChapter2 = "\xE7\xAC\xAC\xE4\xBA\x8C\xE7\xAB\xA0 \xE9\x9B\xAA\xE8\x90\xBD";
const std::string kProse1 =
    "\xE6\x98\xA5\xE7\x9C\xA0\xE4\xB8\x8D\xE8\xA7\x89\xE6\x99\x93\xEF\xBC\x8C"
    "\xE5\xA4\x84\xE5\xA4\x84\xE9\x97\xBB\xE5\x95\xBC\xE9\xB8\x9F\xE3\x80\x82";
const std::string kProse2 =
    "\xE5\xA4\x9C\xE6\x9D\xA5\xE9\xA3\x8E\xE9\x9B\xA8\xE5\xA3\xB0\xEF\xBC\x8C"
    "\xE8\x8A\xB1\xE8\x90\xBD\xE7\x9F\xA5\xE5\xA4\x9A\xE5\xB0\x91\xE3\x80\x82";

// The contents of nav.xhtml's toc as ncxEntries gives those of fb.ncx, so that the two can be
// compared entry for entry.
std::vector<std::string> navEntries(const std::string& archive) {
    const pugi::xml_document nav = parseXml(archiveMember(archive, "OEBPS/nav.xhtml"));
    std::vector<std::string> entries;
    std::function<void(pugi::xml_node, const std::string&)> walk = [&](pugi::xml_node list,
                                                                       const std::string& indent) {
        for (pugi::xml_node item : list.children("li")) {
            entries.push_back(indent + item.child_value("a") + ">" +
                              item.child("a").attribute("href").value());
            walk(item.child("ol"), indent + "  ");
        }
    };
    walk(nav.select_node("//nav[@epub:type='toc']/ol").node(), "");
    return entries;
}

class CliEpub3Test : public CliTest {
  protected:
    std::string build(const std::vector<std::string>& files, std::vector<std::string> extra,
                      const std::string& title = "Book") {
        std::vector<std::string> args{
            "-y", "-t", title, "-a", "A. Writer", "-o", path("out"), "--epub-version", "3"};
        args.insert(args.end(), extra.begin(), extra.end());
        args.insert(args.end(), files.begin(), files.end());
        return makeBook(args);
    }

    // What every EPUB 3 book holds besides its pages, checked against its own package.
    void expectEpub3Parts(const std::string& archive) {
        const std::string opf = archiveMember(archive, "OEBPS/fb.opf");
        EXPECT_TRUE(contains(opf, "version=\"3.0\"")) << opf;
        EXPECT_TRUE(contains(opf, "properties=\"nav\"")) << opf;
        EXPECT_TRUE(contains(opf, "<spine toc=\"ncx\">")) << opf;
        for (const std::string& member : archiveMembers(archive))
            EXPECT_FALSE(member.size() > 5 && member.compare(member.size() - 5, 5, ".html") == 0)
                << member;
        EXPECT_EQ(navEntries(archive), ncxEntries(archive));
        expectValidBook(archive, 3);
    }

    std::string chineseVolume() {
        return kVolume + "\n" + kChapter1 + "\n" + kProse1 + "\n" + kChapter2 + "\n" + kProse2 +
               "\n";
    }
};

TEST_F(CliEpub3Test, VersionIsTwoUnlessThreeIsAsked) {
    const std::string text = file("a.txt", "Hello\n");
    for (const std::string bad : {"4", "3.0", "", "three", " 3"}) {
        const ProgramResult r =
            cli({"-t", "Book", "-a", "A. Writer", "-o", path("out"), "--epub-version", bad, text});
        EXPECT_EQ(r.exitStatus, 2) << bad;
        EXPECT_TRUE(contains(r.err, "--epub-version: \"" + bad + "\" is neither 2 nor 3")) << r.err;
        EXPECT_FALSE(fs::exists(path("out"))) << bad;
    }
    for (const std::vector<std::string>& choice :
         {std::vector<std::string>{}, std::vector<std::string>{"--epub-version", "2"}}) {
        std::vector<std::string> args{"-y", "-t", "Book", "-a", "A. Writer", "-o", path("out")};
        args.insert(args.end(), choice.begin(), choice.end());
        args.push_back(text);
        ASSERT_EQ(cli(args).exitStatus, 0);
        const std::vector<std::string> members = archiveMembers(path("out/Book.epub"));
        EXPECT_EQ(members.size(), 6u);
        EXPECT_EQ(std::count(members.begin(), members.end(), "OEBPS/page1.html"), 1);
        EXPECT_TRUE(
            contains(archiveMember(path("out/Book.epub"), "OEBPS/fb.opf"), "version=\"2.0\""));
    }
}

TEST_F(CliEpub3Test, ChineseVolumeWithoutCover) {
    const std::string archive =
        build({file("a.txt", chineseVolume()), file("b.txt", encodeText(kProse2, "GBK"))},
              {"--chapters", "auto", "--language", "zh-CN", "--encoding", "UTF-8"});
    EXPECT_EQ(
        navEntries(archive),
        (std::vector<std::string>{kVolume + ">page1.xhtml", "  " + kChapter1 + ">page1-2.xhtml",
                                  "  " + kChapter2 + ">page1-3.xhtml", "page2>page2.xhtml"}));
    const std::string nav = archiveMember(archive, "OEBPS/nav.xhtml");
    EXPECT_TRUE(contains(nav, "xml:lang=\"zh-CN\" lang=\"zh-CN\"")) << nav;
    EXPECT_FALSE(contains(nav, "cover")) << nav;
    EXPECT_TRUE(contains(archiveMember(archive, "OEBPS/page1-3.xhtml"), kProse2));
    expectEpub3Parts(archive);
}

TEST_F(CliEpub3Test, ChineseVolumeWithoutCoverInGbk) {
    // Detected rather than named: the same book from a GBK file.
    const std::string archive = build({file("a.txt", encodeText(chineseVolume(), "GBK"))},
                                      {"--chapters", "auto", "--language", "auto"});
    EXPECT_TRUE(contains(archiveMember(archive, "OEBPS/page1-2.xhtml"), kProse1));
    expectEpub3Parts(archive);
}

// Twelve texts of every kind under a title awkward for XML and a cover named like a page.
TEST_F(CliEpub3Test, CoverAndTwelvePages) {
    std::vector<std::string> files;
    files.push_back(file("01.txt", "Plain ASCII\n"));
    files.push_back(file("02.txt", encodeText("caf\xC3\xA9 cr\xC3\xA8me\n", "WINDOWS-1252")));
    files.push_back(file("03.txt", encodeText(kProse1 + "\n" + kProse2 + "\n", "GBK")));
    files.push_back(file("04.txt", "\xFF\xFE" + encodeText("zwei\r\n", "UTF-16LE")));
    files.push_back(file("05.txt",
                         "\xEF\xBB\xBF"
                         "marked\n"));
    files.push_back(file("06.txt", ""));
    files.push_back(file("07.txt", "bell\x07 and\x01 escape\x1B end\n"));
    files.push_back(file("08.txt", "a < b && c > d \"q\"\n"));
    files.push_back(file("09.txt", "\n\n\n"));
    files.push_back(file("10.txt", "ten\n"));
    files.push_back(file("11.txt", "eleven\n"));
    files.push_back(file("12.txt", "\x07\n"));
    const std::string cover = file("covers/page1.xhtml", jpegPicture());
    const std::string archive =
        build(files, {"-c", cover, "--toc-labels", "first-line"}, "Tom & Jerry <1/2>");

    const std::string opf = archiveMember(archive, "OEBPS/fb.opf");
    EXPECT_TRUE(contains(opf,
                         "href=\"cover.jpg\" media-type=\"image/jpeg\" "
                         "properties=\"cover-image\""))
        << opf;
    EXPECT_TRUE(contains(opf, "<meta name=\"cover\" content=\"cover-image\"/>")) << opf;
    EXPECT_TRUE(contains(opf, "<dc:title>Tom &amp; Jerry &lt;1/2&gt;</dc:title>")) << opf;
    const std::vector<std::string> nav = navEntries(archive);
    ASSERT_EQ(nav.size(), 13u);
    EXPECT_EQ(nav.front(), "cover>cover.xhtml");
    EXPECT_EQ(nav[8], "a < b && c > d \"q\">page8.xhtml");
    EXPECT_EQ(nav[12], "page12>page12.xhtml") << "a label with nothing to show";
    EXPECT_TRUE(contains(archiveMember(archive, "OEBPS/nav.xhtml"),
                         "<li><a epub:type=\"cover\" href=\"cover.xhtml\">cover</a></li>"));
    EXPECT_EQ(archiveMember(archive, "OEBPS/page8.xhtml").find("<!DOCTYPE html>\r\n"), 40u);
    expectValidBook(archive, 3);
    // fb.ncx shows the same labels: an empty one would be a contents line without text there.
    EXPECT_EQ(ncxEntries(archive), nav);
}

TEST_F(CliEpub3Test, SplitPagesStayUnderTheCap) {
    std::string text;
    for (int i = 0; text.size() < 600 * 1024; ++i)
        text += "Line " + std::to_string(i) + " of a long story, with AT&T and <tags>.\n";
    const std::string archive = build({file("long.txt", text), file("short.txt", "Short.\n")},
                                      {"-c", file("front.png", pngPicture())});
    std::vector<std::string> pages;
    for (const std::string& name : archiveMembers(archive)) {
        if (name.rfind("OEBPS/page", 0) != 0) continue;
        EXPECT_LE(archiveMember(archive, name).size(), 262144u) << name;
        pages.push_back(name);
    }
    EXPECT_GE(pages.size(), 4u);
    EXPECT_EQ(std::count(pages.begin(), pages.end(), "OEBPS/page1-3.xhtml"), 1);
    EXPECT_EQ(
        navEntries(archive),
        (std::vector<std::string>{"cover>cover.xhtml", "page1>page1.xhtml", "page2>page2.xhtml"}));
    expectEpub3Parts(archive);
}

// What a reader shows: pandoc and MuPDF, when they are installed, open an EPUB 3 book and find
// its text and its contents.
TEST_F(CliEpub3Test, ReadersSeeTheContents) {
    const bool pandoc = runProgram({"sh", "-c", "command -v pandoc"}).exitStatus == 0;
    const bool mutool = runProgram({"sh", "-c", "command -v mutool"}).exitStatus == 0;
    if (!pandoc && !mutool) GTEST_SKIP() << "neither pandoc nor mutool is installed";
    const std::string archive =
        build({file("a.txt", "Opening & <greeting>\n"), file("b.txt", chineseVolume())},
              {"--chapters", "auto", "-c", file("front.jpg", jpegPicture())});

    if (pandoc) {
        const ProgramResult r = runProgram({"pandoc", "-f", "epub", "-t", "plain", archive});
        EXPECT_EQ(r.exitStatus, 0) << r.err;
        for (const std::string& part :
             {std::string("Opening & <greeting>"), kVolume, kChapter1, kProse1, kProse2})
            EXPECT_TRUE(contains(r.out, part)) << part << " not in\n" << r.out;
    }
    if (mutool) {
        const std::string script = file("outline.js",
                                        "var doc = new Document(scriptArgs[0]);\n"
                                        "function walk(list, indent) {\n"
                                        "  for (var i = 0; i < list.length; ++i) {\n"
                                        "    print(indent + list[i].title);\n"
                                        "    if (list[i].down) walk(list[i].down, indent + '  ');\n"
                                        "  }\n"
                                        "}\n"
                                        "walk(doc.loadOutline() || [], '');\n");
        const ProgramResult outline = runProgram({"mutool", "run", script, archive});
        EXPECT_EQ(outline.exitStatus, 0) << outline.err;
        EXPECT_EQ(outline.out,
                  "cover\npage1\n" + kVolume + "\n  " + kChapter1 + "\n  " + kChapter2 + "\n")
            << outline.err;
        const ProgramResult text = runProgram({"mutool", "draw", "-F", "txt", "-o", "-", archive});
        EXPECT_EQ(text.exitStatus, 0) << text.err;
        EXPECT_TRUE(contains(text.out, "Opening & <greeting>")) << text.out;
        EXPECT_TRUE(contains(text.out, kProse2)) << text.out;
    }
    if (!pandoc || !mutool) GTEST_SKIP() << "only one of pandoc and mutool is installed";
}

}  // namespace
}  // namespace qb::test
