#include "platform/text_decoding.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <random>

#include "platform/errors.h"
#include "platform/text_file.h"
#include "platform/utf8.h"
#include "tests/support/decoded_text.h"
#include "tests/support/env_guard.h"
#include "tests/support/files.h"
#include "tests/support/temp_folder.h"

namespace qb {
namespace {

const std::string kFffd = "\xEF\xBF\xBD";

// UTF-8 text encoded in a charset, as another program would have written it.
std::string encoded(const std::string& utf8, const char* charset) {
    iconv_t h = iconv_open(charset, "UTF-8");
    if (h == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("no charset");
    std::string in = utf8;
    std::string out(in.size() * 4 + 16, '\0');
    char* ip = in.data();
    size_t il = in.size();
    char* op = out.data();
    size_t ol = out.size();
    const size_t r = iconv(h, &ip, &il, &op, &ol);
    iconv_close(h);
    if (r == static_cast<size_t>(-1)) throw std::runtime_error("cannot encode");
    out.resize(out.size() - ol);
    return out;
}

std::string bytes(std::initializer_list<int> list) {
    std::string s;
    for (int b : list) s += static_cast<char>(b);
    return s;
}

const std::string kEnglish =
    "It was late when the ferry left the harbour.\r\nNobody on deck said a word.\r\n";
const std::string kRussian =
    "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, \xD0\xBC\xD0\xB8\xD1\x80!\n"
    "\xD0\x9A\xD0\xB0\xD0\xBA \xD0\xB4\xD0\xB5\xD0\xBB\xD0\xB0?\n";  // "Привет, мир!" ...
// "一天早上，我们走到河边。\n他说：“不要回头。”\n" with "一" (U+4E00), whose low byte is NUL.
const std::string kChinese =
    "\xE4\xB8\x80\xE5\xA4\xA9\xE6\x97\xA9\xE4\xB8\x8A\xEF\xBC\x8C\xE6\x88\x91\xE4\xBB\xAC\xE8"
    "\xB5\xB0\xE5\x88\xB0\xE6\xB2\xB3\xE8\xBE\xB9\xE3\x80\x82\n\xE4\xBB\x96\xE8\xAF\xB4\xEF\xBC"
    "\x9A\xE2\x80\x9C\xE4\xB8\x8D\xE8\xA6\x81\xE5\x9B\x9E\xE5\xA4\xB4\xE3\x80\x82\xE2\x80\x9D\n";
// "　雨の日には、ゆっくり本を読みます。\n　晴れた日には、公園を歩きます。\n": paragraphs indented
// with an ideographic space (U+3000), so NULs stand on both sides of the UTF-16 units alike.
const std::string kJapanese =
    "\xE3\x80\x80\xE9\x9B\xA8\xE3\x81\xAE\xE6\x97\xA5\xE3\x81\xAB\xE3\x81\xAF\xE3\x80\x81\xE3"
    "\x82\x86\xE3\x81\xA3\xE3\x81\x8F\xE3\x82\x8A\xE6\x9C\xAC\xE3\x82\x92\xE8\xAA\xAD\xE3\x81"
    "\xBF\xE3\x81\xBE\xE3\x81\x99\xE3\x80\x82\n\xE3\x80\x80\xE6\x99\xB4\xE3\x82\x8C\xE3\x81\x9F"
    "\xE6\x97\xA5\xE3\x81\xAB\xE3\x81\xAF\xE3\x80\x81\xE5\x85\xAC\xE5\x9C\x92\xE3\x82\x92\xE6"
    "\xAD\xA9\xE3\x81\x8D\xE3\x81\xBE\xE3\x81\x99\xE3\x80\x82\n";

class TextDecodingTest : public ::testing::Test {
  protected:
    void SetUp() override { m_env.locale("C.UTF-8"); }
    test::EnvGuard m_env;
};

TEST_F(TextDecodingTest, WideCharsetsWithoutMarkAreRecognisedAndDecodedWhole) {
    struct Case {
        const std::string& text;
        const char* charset;
    };
    const Case cases[] = {
        {kEnglish, "UTF-16LE"},  {kEnglish, "UTF-16BE"},  {kRussian, "UTF-16LE"},
        {kRussian, "UTF-16BE"},  {kChinese, "UTF-16LE"},  {kChinese, "UTF-16BE"},
        {kJapanese, "UTF-16LE"}, {kJapanese, "UTF-16BE"}, {kEnglish, "UTF-32LE"},
        {kEnglish, "UTF-32BE"},  {kChinese, "UTF-32LE"},  {kJapanese, "UTF-32BE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.charset) + ": " + c.text);
        const std::string file = encoded(c.text, c.charset);
        const TextPlan plan = planDecoding(file);
        EXPECT_EQ(plan.charset, c.charset);
        EXPECT_TRUE(plan.detected);
        EXPECT_EQ(plan.nulOffset, std::string_view::npos);
        EXPECT_EQ(test::decodedText(file), c.text);
    }
    // A single character in UTF-16 is too little to tell, but never lost for the NULs.
    EXPECT_EQ(test::decodedText(std::string("H\0i\0\n\0", 6)), "Hi\n");
}

TEST_F(TextDecodingTest, MarksDecideUtf32BeforeUtf16) {
    const std::string le = "\xFF\xFE" + std::string(2, '\0') + encoded(kChinese, "UTF-32LE");
    TextPlan plan = planDecoding(le);
    EXPECT_EQ(plan.charset, "UTF-32LE");
    EXPECT_FALSE(plan.detected);
    EXPECT_EQ(test::decodedText(le), kChinese);
    const std::string be = std::string(2, '\0') + "\xFE\xFF" + encoded(kEnglish, "UTF-32BE");
    EXPECT_EQ(test::decodedText(be), kEnglish);
    // Marks are never guesses; the UTF-16 one still reads UTF-16.
    plan = planDecoding("\xFF\xFE" + encoded(kRussian, "UTF-16LE"));
    EXPECT_EQ(plan.charset, "UTF-16LE");
    EXPECT_FALSE(plan.detected);
    // Values no character has, and a cut-off last unit, become U+FFFD.
    EXPECT_EQ(test::decodedText("\xFF\xFE" + std::string(2, '\0') +
                                bytes({'A', 0, 0, 0, 0, 0, 0x11, 0, 0, 0xD8, 0, 0, 'B', 0, 0})),
              "A" + kFffd + kFffd + kFffd);
}

TEST_F(TextDecodingTest, ANamedCharsetDropsAMarkOfItsFamily) {
    const std::string heading = "Chapter 1\n";
    const std::pair<std::string, std::string> cases[] = {
        {"UTF-8", "\xEF\xBB\xBF" + heading},
        {"utf8", "\xEF\xBB\xBF" + heading},
        {"UTF-16LE", "\xFF\xFE" + encoded(heading, "UTF-16LE")},
        {"UTF-16BE", "\xFE\xFF" + encoded(heading, "UTF-16BE")},
        {"UTF-32LE", "\xFF\xFE" + std::string(2, '\0') + encoded(heading, "UTF-32LE")},
        {"UTF-32BE", std::string(2, '\0') + "\xFE\xFF" + encoded(heading, "UTF-32BE")},
        // The mark tells the order when the wrong one was named.
        {"UTF-16LE", "\xFE\xFF" + encoded(heading, "UTF-16BE")},
        {"UTF-16", "\xFE\xFF" + encoded(heading, "UTF-16BE")},
    };
    for (const auto& [charset, file] : cases)
        EXPECT_EQ(decodeToUtf8(file, charset), heading) << charset;
    // Only at the start: a mark inside the text is a character like any other.
    EXPECT_EQ(decodeToUtf8("a\xEF\xBB\xBF", "UTF-8"), "a\xEF\xBB\xBF");
}

TEST_F(TextDecodingTest, EightBitTextEndsAtANulAndSaysWhere) {
    const std::string twoNuls("Hello\0World\0Again\n", 18);
    TextPlan plan = planDecoding(twoNuls);
    EXPECT_EQ(plan.text, "Hello");
    EXPECT_EQ(plan.charset, "UTF-8");
    EXPECT_FALSE(plan.detected);
    EXPECT_EQ(plan.nulOffset, 5u);
    // The offset counts in the file's bytes, a byte-order mark included.
    const std::string marked(
        "\xEF\xBB\xBF"
        "ab\0c",
        7);
    plan = planDecoding(marked);
    EXPECT_EQ(plan.text, "ab");
    EXPECT_EQ(plan.nulOffset, 5u);
    EXPECT_EQ(planDecoding(std::string("caf\xE9\0x", 6), "WINDOWS-1252").nulOffset, 4u);
    // A file padded with NULs, as a crashed editor leaves it, is a text that ends early.
    const std::string padded = kEnglish + std::string(8192, '\0');
    plan = planDecoding(padded);
    EXPECT_EQ(plan.text, kEnglish);
    EXPECT_EQ(plan.nulOffset, kEnglish.size());
    EXPECT_EQ(planDecoding(std::string(100, '\0')).nulOffset, 0u);
    // No NUL, no offset; and wide text decoded whole has none either.
    EXPECT_EQ(planDecoding(kEnglish).nulOffset, std::string_view::npos);
    EXPECT_EQ(planDecoding(kEnglish, "UTF-16LE").nulOffset, std::string_view::npos);
}

TEST_F(TextDecodingTest, FilesThatArePlainlyNotTextAreRefusedWithTheirPath) {
    std::string elf = bytes({0x7F, 'E', 'L', 'F', 2, 1, 1, 0});
    elf += std::string(56, '\0');
    const std::string starts[] = {
        elf,
        bytes({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'}),
        bytes({0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10, 'J', 'F', 'I', 'F'}),
        "GIF89a\x01",
        "%PDF-1.7\n%\xE2\xE3\xCF\xD3\n",
        bytes({'P', 'K', 3, 4, 20, 0, 0, 0}) + "mimetype",
        bytes({0x1F, 0x8B, 8, 0, 0, 0, 0, 0}),
        std::string("RIFF\x10\0\0\0WEBPVP8 ", 16),
    };
    for (const std::string& start : starts) {
        SCOPED_TRACE(start);
        try {
            planDecoding(start, "", "/books/cover.txt");
            FAIL() << "taken as text";
        } catch (const NotTextError& e) {
            EXPECT_EQ(std::string(e.what()), "Not a text file \"/books/cover.txt\".");
        }
        // A named 8-bit charset does not make a program a text.
        EXPECT_THROW(planDecoding(start, "WINDOWS-1252"), NotTextError);
    }
    // NUL bytes in many places, as in a program's data, or control bytes throughout.
    std::string records;
    for (int i = 0; i < 200; ++i) records += "name" + std::to_string(i) + std::string(3, '\0');
    EXPECT_THROW(planDecoding(records), NotTextError);
    std::string compressed;
    for (unsigned x = 12345; compressed.size() < 4096;) {
        x = x * 1103515245 + 12345;
        compressed += static_cast<char>(1 + (x >> 16) % 255);
    }
    EXPECT_THROW(planDecoding(compressed), NotTextError);
}

TEST_F(TextDecodingTest, TextsThatLookOddAreStillText) {
    // Terminal colours, overstruck manual pages, a DOS end-of-file mark, a form feed.
    const std::string odd =
        "\x1B[1mBold\x1B[0m and N\bNA\bAM\bME\bE\f\r\nplain text " + kEnglish + "\x1A";
    EXPECT_EQ(test::decodedText(odd), odd);
    // Text beginning with letters a signature begins with.
    EXPECT_EQ(test::decodedText("BZh, said the bee.\n"), "BZh, said the bee.\n");
    EXPECT_EQ(test::decodedText("MZ is a fine start for a line of text " + kEnglish),
              "MZ is a fine start for a line of text " + kEnglish);
    EXPECT_EQ(planDecoding("The ftyp box names the brand of a movie file.").charset, "UTF-8");
    const std::string spanish = std::string(252, '-') +
                                "Me gustar\xC3\xAD"
                                "a leerlo.";
    EXPECT_EQ(test::decodedText(spanish), spanish);  // "ustar" where tar has its mark
    // Greek in UTF-16 BE may begin as gzip does: a named wide charset is taken at its word.
    EXPECT_EQ(test::decodedText(bytes({0x1F, 0x8B, 0, '\n'}), "UTF-16BE"), "\xE1\xBE\x8B\n");
}

// glibc turns UCS-4 values past U+10FFFF into 5- and 6-byte forms and refuses surrogates and
// values past 0x7FFFFFFF; none of that may reach a page, and the text after it stays in step.
TEST_F(TextDecodingTest, WhatADecoderGivesIsCheckedAsUtf8) {
    const std::string be =
        bytes({0,    0, 0,    'A', 0, 0x11, 0, 0, 0x7F, 0xFF, 0xFF, 0xFF, 0, 0,
               0xD8, 0, 0x80, 0,   0, 0,    0, 0, 0x4E, 0x2D, 0,    0,    0, '\n'});
    const std::string expected = "A" + kFffd + kFffd + kFffd + kFffd + "\xE4\xB8\xAD\n";
    EXPECT_EQ(test::decodedText(be, "UCS-4"), expected);
    EXPECT_EQ(test::decodedText(be, "UCS-4BE"), expected);
    EXPECT_EQ(test::decodedText(be, "ISO-10646"), expected);
    std::string le;
    for (std::size_t i = 0; i < be.size(); i += 4) {
        le += {be[i + 3], be[i + 2], be[i + 1], be[i]};
    }
    EXPECT_EQ(test::decodedText(le, "UCS-4LE"), expected);
    EXPECT_EQ(test::decodedText(le, "WCHAR_T"), expected);
    EXPECT_EQ(test::decodedText(le, "UTF-32LE"), expected);
    EXPECT_TRUE(isValidUtf8(test::decodedText(le, "UTF-32")));

    std::string repaired;
    appendRepairedUtf8(repaired,
                       "a\xF8\x88\x80\x80\x80"
                       "b\xFD\xBF\xBF\xBF\xBF\xBF"
                       "c\xED\xA0\x80"
                       "d\x80\x80"
                       "e\xE4\xB8"
                       "f\xF4\x90\x80\x80");
    EXPECT_EQ(repaired, "a" + kFffd + "b" + kFffd + "c" + kFffd + "d" + kFffd + kFffd + "e" +
                            kFffd + "f" + kFffd);
}

// Single-byte charsets are read from a table of what iconv makes of each byte: over every
// byte, the holes some charsets have among them, and texts longer than one piece, the
// characters must be iconv's own. (8-bit text ends at a NUL, so there is none.)
TEST_F(TextDecodingTest, SingleByteCharsetsReadAsIconvReadsThem) {
    std::string every;
    for (int b = 1; b < 256; ++b) every += static_cast<char>(b);
    std::string mixed;
    std::mt19937 random(1252);
    while (mixed.size() < 200'000) {
        const auto b = random() % 256;
        mixed += b == 0 ? std::string("plain words ") : std::string(1, static_cast<char>(b));
    }
    for (const char* charset : {"WINDOWS-1252", "cp1251", "ISO-8859-3", "ISO-8859-7", "KOI8-R",
                                "WINDOWS-1255", "WINDOWS-1258"}) {
        for (const std::string& bytes : {every, mixed}) {
            IconvConverter iconv(charset);
            EXPECT_EQ(test::decodedText(bytes, charset), iconv.convert(bytes)) << charset;
        }
    }
}

// How a file's bytes become lines, each case once whichever layer first checked it: line
// breaks, the first NUL ending the text, byte-order marks deciding and dropped, a named charset
// taken at its word, detection without one, and what cannot be decoded. The page writer makes
// one paragraph of each line (its own tests check that and the escaping).
TEST_F(TextDecodingTest, BytesBecomeLines) {
    using Lines = std::vector<std::string>;
    // "中文测试，这是一个用于检测字符集的文件。" in GBK and in UTF-8.
    const std::string gbk =
        "\xD6\xD0\xCE\xC4\xB2\xE2\xCA\xD4\xA3\xAC\xD5\xE2\xCA\xC7\xD2\xBB\xB8\xF6\xD3\xC3"
        "\xD3\xDA\xBC\xEC\xB2\xE2\xD7\xD6\xB7\xFB\xBC\xAF\xB5\xC4\xCE\xC4\xBC\xFE\xA1\xA3";
    const std::string chinese =
        "\xE4\xB8\xAD\xE6\x96\x87\xE6\xB5\x8B\xE8\xAF\x95\xEF\xBC\x8C\xE8\xBF\x99\xE6\x98\xAF"
        "\xE4\xB8\x80\xE4\xB8\xAA\xE7\x94\xA8\xE4\xBA\x8E\xE6\xA3\x80\xE6\xB5\x8B\xE5\xAD\x97"
        "\xE7\xAC\xA6\xE9\x9B\x86\xE7\x9A\x84\xE6\x96\x87\xE4\xBB\xB6\xE3\x80\x82";
    std::string stray;
    for (int i = 0; i < 30; ++i) stray += "d\xC3\xA9j\xC3\xA0 vu ";
    struct Case {
        std::string bytes;
        std::string charset;
        Lines lines;
    };
    const Case cases[] = {
        // Line breaks: CR LF, lone CR and lone LF each end one; a break at the end adds none.
        {"", "", {}},
        {"a", "", {"a"}},
        {"last", "", {"last"}},
        {"a\r\n", "", {"a"}},
        {"a\r\nb", "", {"a", "b"}},
        {"a\rb\nc", "", {"a", "b", "c"}},
        {"a\rb\nc\r\nd", "", {"a", "b", "c", "d"}},
        {"a\n\rb", "", {"a", "", "b"}},
        {"a\n\r", "", {"a", ""}},
        {"\n", "", {""}},
        {"a\n\nb\n", "", {"a", "", "b"}},
        {"a\r\r\nb", "", {"a", "", "b"}},
        {"one\r\n\r\ntwo\r\n", "", {"one", "", "two"}},
        // The first NUL ends 8-bit text.
        {std::string("before\nmid\0after\n", 17), "", {"before", "mid"}},
        {std::string("ab\nc\0d\ne", 9), "", {"ab", "c"}},
        {std::string("\0abc", 4), "", {}},
        // Byte-order marks decide the charset and are dropped.
        {"\xEF\xBB\xBF"
         "caf\xC3\xA9",
         "",
         {"caf\xC3\xA9"}},
        {"\xEF\xBB\xBF"
         "caf\xC3\xA9\r\nx",
         "",
         {"caf\xC3\xA9", "x"}},
        {std::string("\xFF\xFE"
                     "a\0<\0\xE9\0\n\0b\0",
                     12),
         "",
         {"a<\xC3\xA9", "b"}},
        // UTF-16 with its NUL bytes is decoded whole, with a mark or without.
        {std::string("\xFF\xFE"
                     "A\0\xE9\0\r\0\n\0\x2D\x4E",
                     12),
         "",
         {"A\xC3\xA9", "\xE4\xB8\xAD"}},
        {std::string("\xFE\xFF"
                     "\0a\0&\0\r\0\n\x4E\x2D",
                     12),
         "",
         {"a&", "\xE4\xB8\xAD"}},
        {std::string("\xFE\xFF"
                     "\0A\0\xE9\0\n\x4E\x2D",
                     10),
         "",
         {"A\xC3\xA9", "\xE4\xB8\xAD"}},
        {std::string("O\0n\0e\0\r\0\n\0T\0w\0o\0", 16), "", {"One", "Two"}},
        // UTF-16 surrogates: a pair is kept, a lone one dropped, an odd last byte is U+FFFD.
        {std::string("\xFF\xFE\x3D\xD8\x00\xDE\x00\xD8"
                     "b\0"
                     "c",
                     11),
         "",
         {"\xF0\x9F\x98\x80"
          "b" +
          kFffd}},
        // A named charset is taken at its word: a UTF-8 mark is then three bytes of text.
        {"na\xEFve caf\xE9 \x93q\x94\r\n",
         "WINDOWS-1252",
         {"na\xC3\xAFve caf\xC3\xA9 \xE2\x80\x9Cq\xE2\x80\x9D"}},
        {"caf\xE9 \x80\r\n", "WINDOWS-1252", {"caf\xC3\xA9 \xE2\x82\xAC"}},
        {"\xEF\xBB\xBFx", "WINDOWS-1252", {"\xC3\xAF\xC2\xBB\xC2\xBFx"}},
        {"\xD6\xD0\xCE\xC4<\xB2\xE2\xCA\xD4>",
         "GBK",
         {"\xE4\xB8\xAD\xE6\x96\x87<\xE6\xB5\x8B\xE8\xAF\x95>"}},
        {"\xD6\xD0\xCE\xC4", "GBK", {"\xE4\xB8\xAD\xE6\x96\x87"}},
        // Without a charset named: GBK is detected in a UTF-8 locale, and UTF-8 with one stray
        // byte stays UTF-8, the byte one U+FFFD.
        {gbk + "\r\n" + gbk + "\r\n", "", {chinese, chinese}},
        {gbk + "\n" + gbk, "", {chinese, chinese}},
        {stray + "\xE9!", "", {stray + kFffd + "!"}},
    };
    test::TempFolder dir;
    const std::string path = dir / "in.txt";
    for (const Case& c : cases) {
        test::writeFile(path, c.bytes);
        EXPECT_EQ(test::decodedLines(path, c.charset), c.lines) << c.charset << ": " << c.bytes;
    }

    // What cannot be decoded is refused with the file's path: a program, a charset nobody
    // knows, a file that is not there, a folder.
    test::writeFile(path, bytes({0x7F, 'E', 'L', 'F', 2, 1, 1, 0, 0, 0}));
    try {
        test::decodedLines(path);
        FAIL() << "taken as text";
    } catch (const NotTextError& e) {
        EXPECT_EQ(e.path(), path);
        EXPECT_EQ(std::string(e.what()), "Not a text file \"" + path + "\".");
    }
    test::writeFile(path, "x");
    EXPECT_THROW(test::decodedLines(path, "NO-SUCH-CHARSET"), Error);
    const std::string missing = dir / "missing.txt";
    try {
        test::decodedLines(missing);
        FAIL() << "no error";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot open file \"" + missing + "\". No such file or directory");
    }
    EXPECT_THROW(test::decodedLines(dir.path()), EFOpenError);
}

}  // namespace
}  // namespace qb
