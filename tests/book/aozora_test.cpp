#include "book/aozora.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qb {
namespace {

using Lines = std::vector<std::string>;

// What the converter hands on, one string per event: "p.class html", "h2.class html | label",
// "break".
class RecordingSink : public AozoraSink {
  public:
    Lines events;

    void paragraph(std::string_view html, std::string_view cssClass) override {
        events.push_back("p" + classSuffix(cssClass) + " " + std::string(html));
    }
    void heading(int level, std::string_view html, std::string_view cssClass,
                 const std::string& label) override {
        events.push_back("h" + std::to_string(level) + classSuffix(cssClass) + " " +
                         std::string(html) + " | " + label);
    }
    void pageBreak() override { events.push_back("break"); }

  private:
    static std::string classSuffix(std::string_view cssClass) {
        return cssClass.empty() ? "" : "." + std::string(cssClass);
    }
};

struct Converted {
    Lines events;
    std::map<std::string, std::size_t> unapplied;
    std::size_t rubies = 0;
    std::string title;
};

Converted convert(const Lines& lines, AozoraOptions options = {}) {
    RecordingSink sink;
    AozoraText text(options, sink);
    for (const std::string& line : lines) text.line(line);
    text.finish();
    return {sink.events, text.unapplied(), text.rubyCount(), text.title()};
}

std::string ruby(const std::string& base, const std::string& reading) {
    return "<ruby>" + base + "<rp>（</rp><rt>" + reading + "</rt><rp>）</rp></ruby>";
}

struct LineCase {
    std::string source;
    std::string expected;  // the one event the line gives
};

TEST(AozoraLineTest, EachMarkupFormBecomesItsXhtml) {
    const LineCase cases[] = {
        // Readings: a run of kanji (with 々 and ヶ) before 《, or what ｜ starts.
        {"漢字《かんじ》です", "p " + ruby("漢字", "かんじ") + "です"},
        {"かなの漢字《かんじ》", "p かなの" + ruby("漢字", "かんじ")},
        {"人々《ひとびと》と市ヶ谷《いちがや》",
         "p " + ruby("人々", "ひとびと") + "と" + ruby("市ヶ谷", "いちがや")},
        {"先生一人｜麦藁帽《むぎわらぼう》を",
         "p 先生一人" + ruby("麦藁帽", "むぎわらぼう") + "を"},
        {"｜ABCの本《えーびーしー》", "p " + ruby("ABCの本", "えーびーしー")},
        {"a&b《x》", "p a&amp;b（x）"},
        // Characters outside the charset, and a literal 《》 written as such.
        {"※［＃始め二重山括弧、1-1-52］本※［＃終わり二重山括弧、1-1-53］", "p 《本》"},
        {"葉を※［＃「てへん＋劣」、第3水準1-84-77］《も》ぎ", "p 葉を" + ruby("挘", "も") + "ぎ"},
        {"※［＃「口＋世」、U+546D、ページ数-行数］", "p 呭"},
        {"※［＃「目＋爭」、第4水準2-94-95］", "p <span class=\"gaiji\">目＋爭</span>"},
        {"※［＃「言＋墟のつくり」］", "p <span class=\"gaiji\">言＋墟のつくり</span>"},
        // Headings, in every form that names its text.
        {"［＃５字下げ］一［＃「一」は中見出し］", "h2.jisage-5 一 | 一"},
        {"［＃大見出し］上　先生と私［＃大見出し終わり］", "h1 上　先生と私 | 上　先生と私"},
        {"序［＃「序」は窓小見出し］", "h3 序 | 序"},
        {"［＃同行中見出し］第一［＃同行中見出し終わり］", "h2 第一 | 第一"},
        {"漢《かん》字［＃「漢字」は大見出し］", "h1 " + ruby("漢", "かん") + "字 | 漢字"},
        // Indents and alignment.
        {"［＃２字下げ］本文", "p.jisage-2 本文"},
        {"［＃10字下げ］本文", "p.jisage-10 本文"},
        {"［＃地付き］本文", "p.chitsuki 本文"},
        {"［＃地から３字上げ］本文", "p.chiage-3 本文"},
        // Emphasis, forward and back.
        {"これは大事［＃「大事」に傍点］だ", "p これは<em class=\"sesame\">大事</em>だ"},
        {"大事［＃「事」に白ゴマ傍点］", "p 大<em class=\"open-sesame\">事</em>"},
        {"［＃白丸傍点］強調［＃白丸傍点終わり］と", "p <em class=\"open-circle\">強調</em>と"},
        {"線［＃「線」の左に傍線］", "p <span class=\"underline\">線</span>"},
        {"線［＃「線」に二重傍線］", "p <span class=\"double-underline\">線</span>"},
        {"［＃太字］太［＃太字終わり］細", "p <b>太</b>細"},
        {"［＃太字］終わりなし", "p <b>終わりなし</b>"},
        {"Ｈ［＃「Ｈ」は斜体］", "p <i>Ｈ</i>"},
        {"12［＃「12」は縦中横］", "p <span class=\"tcy\">12</span>"},
        {"x2［＃「2」は上付き小文字］H2［＃「2」は下付き小文字］", "p x<sup>2</sup>H<sub>2</sub>"},
        {"経《へ》済《ざい》［＃「経済」に傍点］",
         "p <em class=\"sesame\">" + ruby("経", "へ") + ruby("済", "ざい") + "</em>"},
        // Editorial notes go; what is not understood goes and is counted.
        {"後始未［＃「後始未」は底本では「後始末」］は", "p 後始未は"},
        {"ママだ［＃「ママだ」はママ］", "p ママだ"},
        {"本文［＃未知の注記］", "p 本文"},
        // Bad input: the text stays, no markup is printed.
        {"漢字《かんじ", "p 漢字《かんじ"},
        {"》だけ", "p 》だけ"},
        {"｜だけ", "p だけ"},
        {"かな《よみ》", "p かな（よみ）"},
        {"前［＃閉じない", "p 前閉じない"},
        {"未来［＃「過去」は中見出し］", "p 未来"},
        {"<b>&amp;", "p &lt;b&gt;&amp;amp;"},
    };
    for (const LineCase& c : cases) {
        const Converted out = convert({c.source});
        EXPECT_EQ(out.events, Lines{c.expected}) << c.source;
    }
}

TEST(AozoraLineTest, ReadingsFollowTheirBaseInEpub2AndNumbersStandUprightInVerticalText) {
    EXPECT_EQ(convert({"漢字《かんじ》と｜かな《カナ》"}, {false, false}).events,
              Lines{"p 漢字（かんじ）とかな（カナ）"});
    EXPECT_EQ(
        convert({"10月25日、2026年、7日"}, {true, true}).events,
        Lines{"p <span class=\"tcy\">10</span>月<span class=\"tcy\">25</span>日、2026年、7日"});
    // Text already upright is not wrapped twice.
    EXPECT_EQ(convert({"12［＃「12」は縦中横］"}, {true, true}).events,
              Lines{"p <span class=\"tcy\">12</span>"});
}

TEST(AozoraTextTest, LegendTitleBlockAndColophon) {
    const std::string dashes(55, '-');
    const Converted out =
        convert({"こころ", "夏目漱石", "", dashes, "【テキスト中に現れる記号について】",
                 "《》：ルビ", "（例）私《わたくし》は", dashes, "", "　私《わたくし》は", "",
                 "底本：「こころ」集英社文庫", "　　　1991年2月25日"});
    EXPECT_EQ(out.events,
              (Lines{"p.book-title こころ", "p.book-author 夏目漱石", "break", "p ",
                     "p 　" + ruby("私", "わたくし") + "は", "p ", "break",
                     "p.colophon 底本：「こころ」集英社文庫", "p.colophon 　　　1991年2月25日"}));
    EXPECT_EQ(out.title, "こころ");
    EXPECT_EQ(out.rubies, 1u);  // the legend's example is not in the book
}

TEST(AozoraTextTest, BlocksSpanLinesAndSurviveBadNesting) {
    EXPECT_EQ(convert({"前", "［＃改ページ］", "後［＃改丁］"}).events,
              (Lines{"p 前", "break", "p 後", "break"}));
    EXPECT_EQ(convert({"［＃ここから２字下げ］", "a", "［＃ここで字下げ終わり］", "b"}).events,
              (Lines{"p.jisage-2 a", "p b"}));
    EXPECT_EQ(convert({"［＃ここから３字下げ、折り返して１字下げ］", "a"}).events,
              Lines{"p.jisage-1 indent-2 a"});
    EXPECT_EQ(convert({"［＃ここから改行天付き、折り返して２字下げ］", "a"}).events,
              Lines{"p.jisage-2 indent-m2 a"});
    EXPECT_EQ(convert({"［＃ここから地付き］", "a", "［＃ここで地付き終わり］", "b"}).events,
              (Lines{"p.chitsuki a", "p b"}));
    EXPECT_EQ(
        convert({"［＃ここから中見出し］", "第一", "章", "［＃ここで中見出し終わり］", "本文"})
            .events,
        (Lines{"h2 第一<br/>章 | 第一 章", "p 本文"}));
    EXPECT_EQ(convert({"［＃ページの左右中央］", "扉", "［＃改ページ］", "本文"}).events,
              (Lines{"p.page-middle 扉", "break", "p 本文"}));
    // ここから without ここで, ここで without ここから, a heading block never ended.
    EXPECT_EQ(convert({"［＃ここから２字下げ］", "a"}).events, Lines{"p.jisage-2 a"});
    EXPECT_EQ(convert({"［＃ここで字下げ終わり］", "a"}).events, Lines{"p a"});
    EXPECT_EQ(convert({"［＃ここから大見出し］", "上"}).events, Lines{"h1 上 | 上"});
}

TEST(AozoraTextTest, UnappliedAnnotationsAreCountedByKind) {
    const Converted out = convert({"a［＃「a」は返り点］b［＃２段階小さな文字］",
                                   "［＃「x」に傍点］", "［＃２段階小さな文字］"});
    EXPECT_EQ(out.events, Lines{"p ab"});
    const std::map<std::string, std::size_t> expected = {
        {"「…」は返り点", 1},
        {"N段階小さな文字", 2},
        {"「…」に傍点 (text not found before it)", 1}};
    EXPECT_EQ(out.unapplied, expected);
}

TEST(AozoraTextTest, HugeAndHostileLinesStayLinear) {
    // 50,000 of each on one line: quadratic work would take minutes here.
    std::string annotations;
    std::string unclosed;
    std::string nested;
    for (int i = 0; i < 50000; ++i) {
        annotations += "字《じ》［＃「字」に傍点］";
        unclosed += "［＃《";
        nested += "［＃傍点］字［＃「字」に傍点］";
    }
    const Converted many = convert({annotations});
    EXPECT_EQ(many.rubies, 50000u);
    const Converted open = convert({unclosed});
    EXPECT_EQ(open.unapplied.at("［＃ without ］"), 50000u);
    const Converted deep = convert({nested});
    ASSERT_EQ(deep.events.size(), 1u);
    EXPECT_LT(deep.events[0].size(), 50000u * 40);
    const Converted reading = convert({"漢《" + std::string(30000, 'a') + "》"});
    EXPECT_EQ(reading.rubies, 1u);
}

TEST(AozoraTextTest, RecognisesTheFormatButNotPlainJapaneseOrChineseTitles) {
    EXPECT_TRUE(looksLikeAozora("題\n-----\n【テキスト中に現れる記号について】\n"));
    EXPECT_TRUE(looksLikeAozora("本文\n［＃改ページ］\n"));
    EXPECT_FALSE(looksLikeAozora("吾輩は猫である。名前はまだ無い。\n"));
    EXPECT_FALSE(looksLikeAozora("他读了《三国演义》。\n"));
    EXPECT_FALSE(looksLikeAozora("［＃\n］"));
    EXPECT_EQ(jisX0213Character(1, 1, 52), "《");
    EXPECT_EQ(jisX0213Character(1, 95, 1), "");
    EXPECT_EQ(jisX0213Character(3, 1, 1), "");
}

}  // namespace
}  // namespace qb
