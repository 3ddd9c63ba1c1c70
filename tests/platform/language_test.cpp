#include "platform/language.h"

#include <gtest/gtest.h>

namespace qb {
namespace {

TEST(LanguageTagSyntax, WellFormedTagsOfEveryShape) {
    for (const char* tag : {"de",
                            "DE",
                            "gsw",
                            "zh-CN",
                            "zh-cn",
                            "zh-Hant",
                            "zh-Hant-TW",
                            "sr-Latn",
                            "sr-Latn-RS",
                            "es-419",
                            "en-GB-oxendict",
                            "sl-rozaj-biske",
                            "de-CH-1901",
                            "zh-yue-HK",
                            "ar-afb-ajp",
                            "en-US-u-ca-gregory",
                            "en-a-bbb-x-a-ccc",
                            "de-u-co-phonebk-t-xx-yyyy",
                            "x-private",
                            "X-WHATEVER-12345678",
                            "en-x-a",
                            "i-klingon",
                            "I-KLINGON",
                            "en-GB-oed",
                            "sgn-BE-FR",
                            "art-lojban",
                            "zh-min-nan",
                            "abcdefgh",
                            "tlh"}) {
        EXPECT_TRUE(isLanguageTag(tag)) << tag;
    }
}

TEST(LanguageTagSyntax, MalformedTags) {
    for (const char* tag : {
             "",
             "-",
             "e",
             "englishlanguage",  // more than 8 letters
             "en-",
             "-en",
             "en--US",
             "en_US",
             "en US",
             "zh-CN.UTF-8",
             "\xC3\xA9n",               // not ASCII
             "12",                      // digits for a language
             "en-USA1",                 // a region is 2 letters or 3 digits, no mix
             "en-1234567890",           // too long for any subtag
             "en-abc-def-ghi-jkl",      // four extended subtags
             "abcd-abc",                // extended subtags only after 2-3 letters
             "de-1901-1901",            // a variant twice
             "de-DE-1901-Rozaj-rozaj",  // twice, case ignored
             "en-u-ca-u-nu",            // a singleton twice
             "en-u",                    // a singleton with nothing after it
             "en-u-x",                  // the same, before private use
             "en-a-b",                  // extension subtags are 2-8 long
             "x",                       // private use with nothing in it
             "en-x",                    // the same
             "en-x-123456789",          // private subtags are 1-8 long
             "en-US-CA",                // two regions
             "en-Latn-Cyrl",            // two scripts
             "i-klingon-x",             // an irregular tag is taken whole, not extended
         }) {
        EXPECT_FALSE(isLanguageTag(tag)) << tag;
    }
}

// A few hundred characters of each language, written for this test.
const std::string kEnglish =
    "The ferry left the harbour late in the evening, when the lamps along the quay had already "
    "been lit. Nobody on deck said a word. The children slept under their blankets while the "
    "old people talked quietly about the islands they had known when they were young, and the "
    "wind carried the smell of salt and tar across the dark water.";
const std::string kGerman =
    "Es war schon spät am Abend, als die Fähre den Hafen verließ und die Lampen am Kai längst "
    "brannten. Niemand an Deck sagte ein Wort. Die Kinder schliefen unter ihren Decken, während "
    "die Alten leise von den Inseln sprachen, die sie in ihrer Jugend gekannt hatten, und der "
    "Wind trug den Geruch von Salz und Teer über das dunkle Wasser.";
const std::string kChinese =
    "渡船在傍晚很晚的时候才离开港口，那时码头上的灯早已亮了。甲板上没有人说话。孩子们盖着毯子"
    "睡着了，老人们低声谈论着他们年轻时去过的那些岛屿。风把盐和焦油的气味吹过黑暗的水面。我们"
    "在船尾站了很久，看着城市的灯光一点一点地消失在远方。";
const std::string kTraditionalChinese =
    "渡船在傍晚很晚的時候才離開港口，那時碼頭上的燈早已亮了。甲板上沒有人說話。孩子們蓋著毯子"
    "睡著了，老人們低聲談論著他們年輕時去過的那些島嶼。風把鹽和焦油的氣味吹過黑暗的水面。我們"
    "在船尾站了很久，看著城市的燈光一點一點地消失在遠方。";
const std::string kJapanese =
    "フェリーが港を出たのは、岸壁の明かりがとっくに灯った夜遅くのことだった。甲板では誰も口を"
    "きかなかった。子どもたちは毛布にくるまって眠り、年寄りたちは若いころに訪れた島々のことを"
    "小さな声で話していた。風が塩とタールのにおいを暗い水の上に運んできた。私たちは長いあいだ"
    "船尾に立ち、町の明かりが少しずつ遠くに消えていくのを見ていた。";

TEST(LanguageDetection, NamesTheLanguageOfABooksText) {
    EXPECT_EQ(detectLanguage(kEnglish), "en");
    EXPECT_EQ(detectLanguage(kGerman), "de");
    EXPECT_EQ(detectLanguage(kChinese), "zh-CN");
    EXPECT_EQ(detectLanguage(kTraditionalChinese), "zh-TW");
    EXPECT_EQ(detectLanguage(kJapanese), "ja");
}

TEST(LanguageDetection, TheScriptDecidesWhereTheDetectorCannot) {
    const std::pair<std::string, std::string> cases[] = {
        // Short texts the detector is not confident of, and a list of names.
        {"第一回　宴桃园豪杰三结义　斩黄巾英雄首立功", "zh-CN"},
        {"第一回　宴桃園豪傑三結義　斬黃巾英雄首立功", "zh-TW"},
        {"上　先生と私　一　私はその人を常に先生と呼んでいた。", "ja"},
        {"제1장　서울의 봄　그날 아침은 맑았다", "ko"},
        {"Глава первая. Утро в городе", "ru"},
        {"Κεφάλαιο πρώτο. Το πρωί στην πόλη", "el"},
        {"Chapter one. The morning", ""},
        {"天地玄黄", ""},  // too few characters to go on
    };
    for (const auto& [text, tag] : cases) EXPECT_EQ(scriptLanguageTag(text), tag) << text;
    // A text of characters both forms share is simplified: GBK holds no others.
    EXPECT_EQ(chineseRegionTag("天下大势，分久必合，合久必分"), "zh-CN");
    EXPECT_EQ(chineseRegionTag("话说天下大势"), "zh-CN");
    EXPECT_EQ(chineseRegionTag("話說天下大勢"), "zh-TW");
}

TEST(LanguageDetection, SamplesCutAnywhereOrWithStrayBytesStillCount) {
    // Cut inside the last character: CLD2 would refuse the whole sample for that byte.
    for (std::size_t cut = 1; cut <= 2; ++cut) {
        EXPECT_EQ(detectLanguage(kChinese.substr(0, kChinese.size() - cut)), "zh-CN") << cut;
        EXPECT_EQ(detectLanguage(kJapanese.substr(0, kJapanese.size() - cut)), "ja") << cut;
    }
    // A byte that is no UTF-8, a control character, a non-character in the middle.
    std::string marred = kGerman;
    marred.insert(40, "\xFF\x01\xEF\xBF\xBE\xC2\x85");
    EXPECT_EQ(detectLanguage(marred), "de");
}

TEST(LanguageDetection, TooLittleOrNoLanguageGivesNothing) {
    EXPECT_EQ(detectLanguage(""), "");
    // CLD2 would call this English; a few words are no ground for a book's language.
    EXPECT_EQ(detectLanguage("The ferry left the harbour late in the evening."), "");
    EXPECT_EQ(detectLanguage(std::string(300, ' ') + "Guten Abend."), "");
    EXPECT_EQ(detectLanguage(std::string(1000, '7') + " 12:30, 45.6 -- ** ##"), "");
    // Letters from four scripts at random, and bytes that are not text at all.
    std::string garbage;
    std::string bytes;
    std::uint32_t x = 7;
    const std::uint32_t bases[] = {0x21, 0x400, 0x4E00, 0x600};
    for (int i = 0; i < 400; ++i) {
        x = x * 1103515245 + 12345;
        const std::uint32_t c = bases[(x >> 8) % 4] + (x >> 16) % 0x5E;
        if (c < 0x80) {
            garbage += static_cast<char>(c);
        } else if (c < 0x800) {
            garbage += static_cast<char>(0xC0 | (c >> 6));
            garbage += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            garbage += static_cast<char>(0xE0 | (c >> 12));
            garbage += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            garbage += static_cast<char>(0x80 | (c & 0x3F));
        }
        bytes += static_cast<char>(x >> 24);
    }
    EXPECT_EQ(detectLanguage(garbage), "");
    EXPECT_EQ(detectLanguage(bytes), "");
}

}  // namespace
}  // namespace qb
