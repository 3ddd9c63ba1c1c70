// Aozora Bunko texts through quirebind-cli: the real file of the shared corpus becomes a
// vertical EPUB 3 with its readings as ruby and its contents nested, small books of every
// fallback pass epubcheck, and texts without the markup are left as they were.

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "tests/cli/cli_fixture.h"

namespace fs = std::filesystem;

namespace qb::test {
namespace {

std::string corpusFile(const std::string& name) {
    const char* dir = std::getenv("QB_CORPUS_DIR");
    return std::string(dir != nullptr ? dir : QB_SHARED_CORPUS) + "/" + name;
}

std::string fromCp932(const std::string& bytes) {
    iconv_t cd = iconv_open("UTF-8", "CP932");
    std::string out(bytes.size() * 2, '\0');
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    char* to = out.data();
    std::size_t outLeft = out.size();
    iconv(cd, &in, &inLeft, &to, &outLeft);
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

std::size_t count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t pos = text.find(part); pos != std::string::npos;
         pos = text.find(part, pos + 1))
        ++n;
    return n;
}

// The pages of a book, in spine order, each whole.
std::vector<std::string> pages(const std::string& archive) {
    std::vector<std::string> found;
    for (const std::string& name : archiveMembers(archive)) {
        if (name.rfind("OEBPS/page", 0) == 0) found.push_back(archiveMember(archive, name));
    }
    return found;
}

// A page's text without its tags: what a reader sees.
std::string visibleText(const std::string& page) {
    return std::regex_replace(page, std::regex("<[^>]*>"), "");
}

const std::string kDashes(55, '-');
std::string repeated(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
}

const std::string kSmallAozora =
    "題名\n著者\n\n" + kDashes + "\n【テキスト中に現れる記号について】\n《》：ルビ\n" + kDashes +
    "\n\n［＃大見出し］上［＃大見出し終わり］\n"
    "［＃５字下げ］一［＃「一」は中見出し］\n"
    "　私《わたくし》はその人を常に先生と呼んでいた。大事［＃「大事」に傍点］\n"
    "［＃改ページ］\n" +
    repeated("漢字《かんじ》と大事［＃「大事」に傍点］", 40) +
    "\n"
    "［＃５字下げ］二［＃「二」は中見出し］\n"
    "序［＃「序」は小見出し］\n"
    "　10月25日に｜麦藁帽《むぎわらぼう》を見た。\n"
    "\n底本：「本」\n入力：誰\n";

class CliAozoraTest : public CliTest {};

TEST_F(CliAozoraTest, KokoroBecomesAVerticalEpub3WithRubyAndNestedContents) {
    const std::string source = corpusFile("kokoro_orig_sjis.txt");
    if (!fs::exists(source)) GTEST_SKIP() << "no shared corpus at " << source;
    const ProgramResult r = cli({"-y", "-t", "こころ", "-a", "夏目漱石", "-o", path("out"),
                                 "--conventions", "auto", "--encoding", "CP932", source});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "EPUB 3, for its vertical pages and ruby")) << r.err;
    const std::string archive = path("out") + "/こころ.epub";

    // Every reading of the text (the legend's examples are not in the book) as ruby.
    const std::string text = fromCp932(readFile(source));
    const std::size_t legendEnd = text.find(kDashes, text.find(kDashes) + 1);
    const std::size_t readings = count(text.substr(legendEnd), "《");
    std::size_t rubies = 0;
    for (const std::string& page : pages(archive)) {
        rubies += count(page, "<ruby>");
        const std::string seen = visibleText(page);
        for (const char* mark : {"《", "》", "｜", "［＃"})
            EXPECT_FALSE(contains(seen, mark)) << mark << " in " << seen.substr(0, 300);
    }
    EXPECT_GT(readings, 4000u);
    EXPECT_EQ(rubies, readings);

    // The title page, then 3 大見出し over their 110 中見出し.
    std::size_t top = 0;
    std::size_t nested = 0;
    for (const std::string& entry : ncxEntries(archive)) {
        if (entry.rfind("    ", 0) == 0) ADD_FAILURE() << "too deep: " << entry;
        (entry.rfind("  ", 0) == 0 ? nested : top) += 1;
    }
    EXPECT_EQ(top, 4u);
    EXPECT_EQ(nested, 110u);

    const std::string opf = archiveMember(archive, "OEBPS/fb.opf");
    EXPECT_TRUE(contains(opf, "page-progression-direction=\"rtl\""));
    EXPECT_TRUE(contains(archiveMember(archive, "OEBPS/stylesheet.css"), "vertical-rl"));
    // The colophon on the last page of the spine.
    const std::size_t last = opf.rfind("idref=\"");
    ASSERT_NE(last, std::string::npos);
    const std::string id = opf.substr(last + 7, opf.find('"', last + 7) - last - 7);
    EXPECT_TRUE(
        contains(archiveMember(archive, "OEBPS/" + id + ".xhtml"), "class=\"colophon\">底本："));
    expectValidBook(archive, 3);
}

TEST_F(CliAozoraTest, SmallBooksOfEveryFallbackAreValid) {
    const std::string source = file("small.txt", kSmallAozora);
    struct Case {
        std::vector<std::string> options;
        int version;  // 0: not checked by epubcheck, which takes long
        bool vertical;
        const char* expected;  // in the pages
    };
    const Case cases[] = {
        {{}, 0, true, "<ruby>私<rp>（</rp><rt>わたくし</rt><rp>）</rp></ruby>"},
        {{"--epub-version", "2"}, 2, false, "私（わたくし）"},
        {{"--writing-mode", "horizontal"}, 0, false, "<ruby>麦藁帽"},
        // Pages cut small: the cuts fall between elements.
        {{"--max-page-kb", "1"}, 3, true, "<em class=\"sesame\">大事</em>"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"-q", "-y", "-t",        "Small",         "-a",
                                      "A",  "-o", path("out"), "--conventions", "auto"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back(source);
        const std::string archive = makeBook(args);
        std::string all;
        for (const std::string& page : pages(archive)) all += page;
        EXPECT_TRUE(contains(all, c.expected)) << c.options.size();
        EXPECT_EQ(contains(archiveMember(archive, "OEBPS/fb.opf"), "rtl"), c.vertical);
        if (c.version != 0) expectValidBook(archive, c.version);
        if (c.options.empty()) {
            // The title page, 上 over 一 and 二 (after the page 改ページ began), 序 under 二.
            const std::vector<std::string> expected{"題名>page1.xhtml", "上>page1-2.xhtml",
                                                    "  一>page1-3.xhtml", "  二>page1-5.xhtml",
                                                    "    序>page1-6.xhtml"};
            EXPECT_EQ(ncxEntries(archive), expected);
        }
    }
}

TEST_F(CliAozoraTest, EpubTwoGetsAHorizontalBookAndSaysSo) {
    const std::string source = file("small.txt", kSmallAozora);
    const ProgramResult r = cli({"-y", "-t", "Small", "-a", "A", "-o", path("out"), "--conventions",
                                 "auto", "--epub-version", "2", source});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "EPUB 2 cannot declare vertical writing")) << r.err;
    const std::string archive = path("out") + "/Small.epub";
    EXPECT_FALSE(contains(archiveMember(archive, "OEBPS/stylesheet.css"), "vertical-rl"));
}

TEST_F(CliAozoraTest, BadMarkupGivesAValidBookWithItsTextAndNamesWhatWasDropped) {
    std::string text =
        "［＃ここで字下げ終わり］\n漢字《かんじ\n》だけ\n｜だけ\n前［＃閉じない\n"
        "未来［＃「過去」は中見出し］\n［＃ここから２字下げ］\n"
        "※［＃「存在しない」、第3水準1-95-99］\n"
        "漢《" +
        std::string(10000, 'a') + "》\n";
    for (int i = 0; i < 5000; ++i) text += "字《じ》［＃「字」に傍点］［＃返り点］";
    text += "\n";
    const std::string source = file("bad.txt", text);
    const ProgramResult r =
        cli({"-y", "-t", "Bad", "-a", "A", "-o", path("out"), "--conventions", "auto", source});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "left unapplied")) << r.err;
    EXPECT_TRUE(contains(r.err, "返り点 (5000)")) << r.err;
    const std::string archive = path("out") + "/Bad.epub";
    std::string seen;
    for (const std::string& page : pages(archive)) seen += visibleText(page);
    for (const char* kept : {"漢字《かんじ", "》だけ", "だけ", "前閉じない", "未来", "存在しない"})
        EXPECT_TRUE(contains(seen, kept)) << kept;
    EXPECT_FALSE(contains(seen, "［＃"));
    expectValidBook(archive, 3);
}

TEST_F(CliAozoraTest, TextsWithoutTheMarkupAreUnchanged) {
    // Chinese book titles in 《》 and Japanese prose: no Aozora Bunko file.
    const std::string text = "他读了《三国演义》。\n吾輩は猫である。名前はまだ無い。\n";
    const std::string source = file("plain.txt", text);
    const std::string with = makeBook({"-q", "-y", "-t", "With", "-a", "A", "-o", path("a"),
                                       "--conventions", "auto", "--language", "ja", source});
    const std::string without = makeBook({"-q", "-y", "-t", "With", "-a", "A", "-o", path("b"),
                                          "--conventions", "none", "--language", "ja", source});
    EXPECT_EQ(archiveMember(with, "OEBPS/page1.html"), archiveMember(without, "OEBPS/page1.html"));
    EXPECT_EQ(archiveMember(with, "OEBPS/stylesheet.css"),
              archiveMember(without, "OEBPS/stylesheet.css"));
}

TEST_F(CliAozoraTest, VerticalWritingOnRequestForAnyText) {
    const std::string source = file("plain.txt", "第一章\n春眠不觉晓，处处闻啼鸟。\n");
    const std::string archive =
        makeBook({"-q", "-y", "-t", "V", "-a", "A", "-o", path("out"), "--writing-mode", "vertical",
                  "--language", "zh", source});
    EXPECT_TRUE(contains(archiveMember(archive, "OEBPS/fb.opf"), "page-progression-direction"));
    EXPECT_TRUE(contains(archiveMember(archive, "OEBPS/stylesheet.css"), "vertical-rl"));
    expectValidBook(archive, 3);
}

}  // namespace
}  // namespace qb::test
