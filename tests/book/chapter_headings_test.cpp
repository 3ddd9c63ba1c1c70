#include "book/chapter_headings.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "platform/blank.h"
#include "platform/errors.h"

namespace qb {
namespace {

constexpr HeadingLevel kNone = HeadingLevel::None;
constexpr HeadingLevel kChapter = HeadingLevel::Chapter;
constexpr HeadingLevel kVolume = HeadingLevel::Volume;

struct Case {
    const char* line;
    HeadingLevel level;
};

void expectLevels(const ChapterHeadings& headings, std::initializer_list<Case> cases) {
    for (const Case& c : cases) {
        EXPECT_EQ(headings.classify(trimBlanks(c.line)), c.level) << c.line;
    }
}

TEST(AutoHeadings, EnglishForms) {
    const ChapterHeadings headings;
    expectLevels(headings, {
                               {"Chapter 12", kChapter},
                               {"CHAPTER XII.", kChapter},
                               {"Chapter Twelve: The Storm", kChapter},
                               {"Chapter Twenty-One", kChapter},
                               {"Chapter One Hundred and Three", kChapter},
                               {"Chapter 3 - Homecoming", kChapter},
                               {"Chapter 7 \xE2\x80\x94 Night", kChapter},
                               {"CHAPTER I. THE MAN IN THE STREET.", kChapter},
                               {"Chapter 4 The Long Road", kChapter},
                               {"Chapter 9 \"Run\"", kChapter},
                               {"  Chapter 12  ", kChapter},
                               {"Part One", kVolume},
                               {"PART II", kVolume},
                               {"Book II", kVolume},
                               {"Book Three: The Return", kVolume},
                               {"Volume 2", kVolume},
                               {"Prologue", kChapter},
                               {"Letter 1", kChapter},
                               {"LETTER IV", kChapter},
                               {"STAVE I", kChapter},
                               {"Chapter I. PETER BREAKS THROUGH", kChapter},
                               {"Epilogue", kChapter},
                               {"EPILOGUE", kChapter},
                               {"Prologue: Before the Storm", kChapter},
                               {"Preface", kChapter},
                               {"Afterword", kChapter},
                           });
}

TEST(AutoHeadings, EnglishNearMisses) {
    const ChapterHeadings headings;
    expectLevels(headings, {
                               // Sentences that happen to start like a heading.
                               {"Chapter one was hard to write, she said.", kNone},
                               {"Chapter 12 was the one where everything changed", kNone},
                               {"Chapter 1. It was late and the rain fell.", kNone},
                               {"Part of the problem was the weather.", kNone},
                               {"Part 2 of 3", kNone},
                               {"Book of the Dead", kNone},
                               {"Books II", kNone},
                               {"Bookkeeping", kNone},
                               {"Prologues are long", kNone},
                               {"Prologue was his favourite part,", kNone},
                               // A wrapped line of prose, lower case.
                               {"chapter 3", kNone},
                               {"part one", kNone},
                               {"Chapters 1-3", kNone},
                               {"Chapter 12th", kNone},
                               {"Chapter", kNone},
                               {"Chapter IIII", kNone},
                               {"Chapter 12345", kNone},
                               {"ChApTeR 1", kNone},
                               {"In Chapter 12 we saw", kNone},
                               {"", kNone},
                               {"   ", kNone},
                           });
}

TEST(AutoHeadings, CjkForms) {
    const ChapterHeadings headings;
    expectLevels(headings, {
                               {"第十二章 风起", kChapter},
                               {"第1話", kChapter},
                               {"その一", kChapter},
                               {"第三回风起", kChapter},
                               {"第12章", kChapter},
                               {"第１２章　风起", kChapter},
                               {"第一百零三回", kChapter},
                               {"第一百零三回 宝玉挨打", kChapter},
                               {"第三卷 …", kVolume},
                               {"第三卷：天下", kVolume},
                               {"第一部 春", kVolume},
                               {"卷三", kVolume},
                               {"卷一 风起云涌", kVolume},
                               {"序章", kChapter},
                               {"楔子", kChapter},
                               {"尾声", kChapter},
                               {"番外", kChapter},
                               {"番外一：小明的故事", kChapter},
                               {"番外篇", kChapter},
                               {"第1話", kChapter},
                               {"第一話 出会い", kChapter},
                               {"第十二章风起云涌", kChapter},
                               {"\xE3\x80\x80\xE3\x80\x80第二章 归来\xE3\x80\x80", kChapter},
                           });
}

TEST(AutoHeadings, NumberedFormsAndTheirNumbers) {
    const std::tuple<const char*, NumberedForm, int> cases[] = {
        {"I. A SCANDAL IN BOHEMIA", NumberedForm::Roman, 1},
        {"XIV", NumberedForm::Roman, 14},
        {"IV.", NumberedForm::Roman, 4},
        {"I. A scandal in Bohemia", NumberedForm::None, 0},
        {"I am here", NumberedForm::None, 0},
        {"一", NumberedForm::Numeral, 1},
        {"十一", NumberedForm::Numeral, 11},
        {"三十六", NumberedForm::Numeral, 36},
        {"１２", NumberedForm::Numeral, 12},
        {"12", NumberedForm::None, 0},
        {"上　先生と私", NumberedForm::JapanesePart, 1},
        {"下　先生と遺書", NumberedForm::JapanesePart, 3},
        {"一人", NumberedForm::None, 0},
    };
    for (const auto& [line, form, number] : cases) {
        const NumberedHeading h = numberedHeading(line);
        EXPECT_EQ(h.form, form) << line;
        if (form != NumberedForm::None) {
            EXPECT_EQ(h.number, number) << line;
        }
    }
}

TEST(AutoHeadings, CjkNearMisses) {
    const ChapterHeadings headings;
    expectLevels(headings, {
                               // The words in the middle of a line.
                               {"这是第一章的内容", kNone},
                               // A copied line of a heading with a title glued on.
                               {"第三十八回林潇湘魁夺菊花诗薛蘅芜讽和螃蟹咏——", kNone},
                               {"第一章他说……", kNone},
                               {"第一回宴桃园豪杰三结义斩黄巾英雄首立功又过了一回", kNone},
                               {"他翻到第一章，开始读。", kNone},
                               // At the start, but the line goes on as a sentence.
                               {"第一章的内容很长", kNone},
                               {"第一章 讲的是他如何离开了家。", kNone},
                               {"第三回合他赢了", kNone},
                               {"卷起袖子干活", kNone},
                               {"序列号是一二三", kNone},
                               {"尾声渐渐远去", kNone},
                               {"第章", kNone},
                               {"第十二", kNone},
                               {"第十二页 插图", kNone},
                           });
}

TEST(AutoHeadings, AHeadingIsAtMostEightyCharacters) {
    const ChapterHeadings headings;
    const std::string title = "Chapter 1: ";
    const std::string fits = title + std::string(80 - title.size(), 'A');
    EXPECT_EQ(headings.classify(fits), kChapter);
    EXPECT_EQ(headings.classify(fits + "A"), kNone);
    // Characters, not bytes: 77 Chinese characters after "第一章 " is 81.
    std::string cjk = "第一章 ";
    for (int i = 0; i < 76; ++i) cjk += "风";
    EXPECT_EQ(headings.classify(cjk), kChapter);
    EXPECT_EQ(headings.classify(cjk + "风"), kNone);
    // A long sentence that starts like a heading.
    EXPECT_EQ(headings.classify("Chapter 12 and the Storm That Came After It, Which Nobody In the "
                                "Village Would Ever Forget"),
              kNone);
}

TEST(PatternHeadings, MatchTheWholeTrimmedLine) {
    const ChapterHeadings headings("Kapitel \\d+");
    expectLevels(headings, {
                               {"Kapitel 12", kChapter},
                               {"   Kapitel 3\t", kChapter},
                               {"Kapitel 12 und mehr", kNone},
                               {"Im Kapitel 12", kNone},
                               {"Chapter 12", kNone},
                               {"", kNone},
                           });
    // Character classes know more than ASCII, and the dot is one character.
    const ChapterHeadings cjk("\\w{2}章");
    EXPECT_EQ(cjk.classify("十二章"), kChapter);
    EXPECT_EQ(cjk.classify("第十二章"), kNone);
    // Every heading of a pattern is a chapter, whatever it says.
    EXPECT_EQ(ChapterHeadings("Part .*").classify("Part One"), kChapter);
    // A pattern is only a pattern: "auto" matches the line "auto", not the built-in forms.
    EXPECT_EQ(ChapterHeadings("auto").classify("auto"), kChapter);
    EXPECT_EQ(ChapterHeadings("auto").classify("Chapter 1"), kNone);
}

TEST(PatternHeadings, APatternThatMatchesEverythingStillSkipsBlankAndLongLines) {
    const ChapterHeadings headings(".*");
    EXPECT_EQ(headings.classify("any short line"), kChapter);
    EXPECT_EQ(headings.classify(""), kNone);
    EXPECT_EQ(headings.classify(std::string(81, 'x')), kNone);
}

TEST(PatternHeadings, InvalidPatternsSayWhy) {
    EXPECT_EQ(ChapterHeadings::patternError("Chapter \\d+"), "");
    EXPECT_EQ(ChapterHeadings::patternError("(Chapter"), "missing closing parenthesis at offset 8");
    EXPECT_NE(ChapterHeadings::patternError("[a-"), "");
    EXPECT_NE(ChapterHeadings::patternError("x{3,2}"), "");
    try {
        ChapterHeadings headings("(");
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Invalid chapter pattern \"(\": missing closing parenthesis at offset 1");
    }
}

TEST(PatternHeadings, ABacktrackingPatternGivesUpOnALine) {
    // Without a match limit this would outlast the test's timeout by ages.
    const ChapterHeadings headings("(a|aa)+b");
    EXPECT_EQ(headings.classify(std::string(80, 'a')), kNone);
    EXPECT_EQ(headings.classify("aab"), kChapter);

    // Every line of the kind that costs most gives up, and each is counted for the warning.
    const ChapterHeadings exponential("(a|a)*");
    for (int i = 0; i < 3; ++i) EXPECT_EQ(exponential.classify(std::string(79, 'a') + "!"), kNone);
    EXPECT_EQ(exponential.linesOverLimit(), 3u);
    EXPECT_EQ(exponential.classify("aaa"), kChapter);  // a line it decides is not counted
    EXPECT_EQ(exponential.linesOverLimit(), 3u);
}

}  // namespace
}  // namespace qb
