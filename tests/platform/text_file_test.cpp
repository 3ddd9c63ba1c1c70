#include "platform/text_file.h"

#include <gtest/gtest.h>
#include <locale.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "platform/errors.h"
#include "platform/iconv_converter.h"
#include "platform/line_splitter.h"
#include "platform/locale.h"
#include "platform/text_decoding.h"
#include "tests/support/decoded_text.h"
#include "tests/support/env_guard.h"
#include "tests/support/files.h"
#include "tests/support/temp_folder.h"

namespace qb {
namespace {

using Lines = std::vector<std::string>;

class TextFileTest : public ::testing::Test {
  protected:
    void SetUp() override { m_env.locale("C.UTF-8"); }

    Lines linesOf(const std::string& bytes, const std::string& charset = "") {
        std::string path = m_dir / "in.txt";
        test::writeFile(path, bytes);
        return test::decodedLines(path, charset);
    }

    test::EnvGuard m_env;
    test::TempFolder m_dir;
};

TEST_F(TextFileTest, WhatStillFailsBecomesReplacementCharacters) {
    // Not UTF-8 and nothing uchardet recognises with confidence: each stray byte is one U+FFFD.
    EXPECT_EQ(test::decodedText("ok \xC3\xA9 \xFF", "UTF-8"), "ok \xC3\xA9 \xEF\xBF\xBD");
    // A converter converts the same bytes as the file reading detects them (see BytesBecomeLines).
    const std::string gbk = "\xD6\xD0\xCE\xC4\xB2\xE2\xCA\xD4";
    EXPECT_EQ(IconvConverter("GBK").convert(gbk + "\n" + gbk),
              "\xE4\xB8\xAD\xE6\x96\x87\xE6\xB5\x8B\xE8\xAF\x95\n"
              "\xE4\xB8\xAD\xE6\x96\x87\xE6\xB5\x8B\xE8\xAF\x95");
    IconvConverter gb("GB18030");
    EXPECT_EQ(gb.convert("a\x81\x30z"),
              "a\xEF\xBF\xBD"
              "0z");
}

TEST_F(TextFileTest, ProcessLocaleSetBySetlocale) {
    ASSERT_NE(setlocale(LC_ALL, "C.UTF-8"), nullptr);
    m_env.locale("ru_RU.KOI8-R");  // the process's own choice wins over the environment
    EXPECT_EQ(localeCharset(), "UTF-8");
    setlocale(LC_ALL, "C");
    EXPECT_EQ(localeCharset(), "KOI8-R");
}

TEST_F(TextFileTest, LocaleCharsetReadsTextWithoutMark) {
    m_env.locale("ru_RU.KOI8-R");
    EXPECT_EQ(linesOf("\xF0\xD2\xC9\xD7\xC5\xD4"),
              (Lines{"\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"}));  // "Привет"
}

TEST_F(TextFileTest, LongTextsDecodeAcrossPieces) {
    std::string big;
    for (int i = 0; i < 40000; ++i) big += "line \xE9t\xE9 " + std::to_string(i) + "\r\n";
    Lines lines = linesOf(big, "ISO-8859-1");
    ASSERT_EQ(lines.size(), 40000u);
    EXPECT_EQ(lines[0], "line \xC3\xA9t\xC3\xA9 0");
    EXPECT_EQ(lines[39999], "line \xC3\xA9t\xC3\xA9 39999");
}

TEST_F(TextFileTest, WriteTextLinesEndsEveryLineWithCrLfAndReplaces) {
    std::string path = m_dir / "out.txt";
    test::writeFile(path, "old content that is longer than the new one");
    writeTextLines(path, {"one", "", "tw\xC3\xB6"});
    EXPECT_EQ(test::readFile(path), "one\r\n\r\ntw\xC3\xB6\r\n");
    writeTextLines(path, {});
    EXPECT_EQ(test::readFile(path), "");
}

TEST(ReadFileBytes, EndlessDevicesStopAtTheLimitWithTheirPath) {
    for (const char* device : {"/dev/zero", "/dev/urandom"}) {
        try {
            readFileBytes(device, 1 << 20);
            FAIL() << device << " read without end";
        } catch (const FileTooLargeError& e) {
            EXPECT_EQ(std::string(e.what()), "File too large \"" + std::string(device) +
                                                 "\". It holds more than 1 MiB, the most read "
                                                 "from one file.");
        }
    }
    EXPECT_EQ(readFileBytes("/dev/null", 0), "");
}

// The address space the process holds now, from /proc/self/status.
std::uint64_t addressSpaceBytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmSize:", 0) == 0) return std::stoull(line.substr(7)) * 1024;
    }
    return 0;
}

TEST(ReadFileBytes, AnEndlessDeviceNeedsNoMoreMemoryThanTheLimitAndOneBuffer) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves more address space than any limit allows";
#endif
    if (addressSpaceBytes() == 0) GTEST_SKIP() << "no /proc here";
    // The buffer grows to the limit and one byte; growing past that (to twice the last size)
    // would pass the memory limit, which the reading would report as out of memory instead.
    constexpr std::uint64_t kLimit = 64 << 20;
    const auto readUnderTheLimit = [] {
        const rlim_t most = addressSpaceBytes() + 2 * kLimit + kLimit / 2;
        const rlimit limit{most, most};
        ::setrlimit(RLIMIT_AS, &limit);
        try {
            readFileBytes("/dev/zero", kLimit);
        } catch (const FileTooLargeError&) {
            return 0;
        } catch (...) {
            return 1;
        }
        return 2;
    };
    EXPECT_EXIT(std::_Exit(readUnderTheLimit()), ::testing::ExitedWithCode(0), "");
}

TEST(ReadFileBytes, RegularFilesPastTheLimitAreRefusedAndAtTheLimitRead) {
    test::TempFolder dir;
    const std::string path = dir / "ten.txt";
    test::writeFile(path, "0123456789");
    EXPECT_EQ(readFileBytes(path, 10), "0123456789");
    try {
        readFileBytes(path, 9);
        FAIL() << "no error";
    } catch (const FileTooLargeError& e) {
        EXPECT_EQ(e.path(), path);
        EXPECT_EQ(e.limit(), 9u);
        EXPECT_EQ(std::string(e.what()), "File too large \"" + path +
                                             "\". It holds more than 9 bytes, the most read "
                                             "from one file.");
    }
    EXPECT_EQ(FileTooLargeError::sizeText(kMaxTextFileBytes), "4 GiB");
    EXPECT_EQ(FileTooLargeError::sizeText(64 << 20), "64 MiB");
    EXPECT_EQ(FileTooLargeError::sizeText(1), "1 byte");
}

// A pipe with a writer behind it, as "<(cmd)" gives: read on while the writer writes, whole
// when it ends within the limit, cut off with the message when it does not.
TEST(ReadFileBytes, PipesAreReadToTheirEndWithinTheLimit) {
    // The writer may still write after the reader gave up: an error for it, not a signal.
    struct IgnoreSigpipe {
        void (*old)(int) = std::signal(SIGPIPE, SIG_IGN);
        ~IgnoreSigpipe() { std::signal(SIGPIPE, old); }
    } ignoreSigpipe;
    auto throughPipe = [](std::size_t total, std::uint64_t limit) {
        int ends[2];
        EXPECT_EQ(::pipe(ends), 0);
        std::thread writer([fd = ends[1], total] {
            std::string block(4096, 'a');
            for (std::size_t sent = 0; sent < total;) {
                const std::size_t n = std::min(block.size(), total - sent);
                const ssize_t w = ::write(fd, block.data(), n);
                if (w <= 0) break;  // the reader gave up
                sent += static_cast<std::size_t>(w);
                std::this_thread::yield();
            }
            ::close(fd);
        });
        std::string got;
        std::string error;
        try {
            got = readFileBytes("/dev/fd/" + std::to_string(ends[0]), limit);
        } catch (const FileTooLargeError& e) {
            error = e.what();
        }
        ::close(ends[0]);
        writer.join();
        return error.empty() ? std::to_string(got.size()) : error;
    };
    EXPECT_EQ(throughPipe(300 * 1024 + 5, 1 << 20), std::to_string(300 * 1024 + 5));
    EXPECT_EQ(throughPipe(1 << 20, 1 << 20), std::to_string(1 << 20));
    EXPECT_NE(throughPipe((1 << 20) + 1, 1 << 20).find("It holds more than 1 MiB"),
              std::string::npos);
}

class Recorder : public LineHandler {
  public:
    Lines lines{""};
    bool open = false;
    void lineText(std::string_view text) override { lines.back().append(text); }
    void lineEnd() override { lines.emplace_back(); }
};

TEST(LineSplitter, BreaksSplitAcrossPieces) {
    Recorder r;
    LineSplitter s(r);
    for (std::string_view piece : {"ab\r", "\ncd", "\n", "\r", "e", "f\r"}) s.feed(piece);
    s.feed("");
    s.finish();
    // Lines "ab", "cd", "", "ef"; the recorder keeps an open last entry.
    EXPECT_EQ(r.lines, (Lines{"ab", "cd", "", "ef", ""}));
}

TEST(Charsets, ByteOrientedOrNot) {
    EXPECT_TRUE(isByteOrientedCharset("UTF-8"));
    EXPECT_TRUE(isByteOrientedCharset("WINDOWS-1252"));
    EXPECT_TRUE(isByteOrientedCharset("GB18030"));
    EXPECT_FALSE(isByteOrientedCharset("UTF-16LE"));
    EXPECT_FALSE(isByteOrientedCharset("UTF-32"));
    EXPECT_TRUE(isUtf8CharsetName("utf8"));
    EXPECT_FALSE(isUtf8CharsetName("UTF-16"));
}

TEST(Charsets, OnlyNamesOfCharsetsAreKnown) {
    for (const char* name : {"UTF-8", "utf-8", "Windows-1252", "gbk", "ISO_8859-1:1987", "CP1252",
                             "ISO-10646", "WCHAR_T", "ANSI_X3.4-1968"}) {
        EXPECT_TRUE(IconvConverter::knows(name)) << name;
    }
    // iconv reads what is left of these, nothing, as the locale's charset.
    for (const char* name : {"", " ", "*", "!!", ",", " UTF-8", "UTF-8//IGNORE", "-", "NO-SUCH"}) {
        EXPECT_FALSE(IconvConverter::knows(name)) << '"' << name << '"';
    }
}

TEST(Charsets, DetectionNamesCommonCharsets) {
    // "Привет, как дела? Это тест." in windows-1251.
    std::string cyrillic =
        "\xCF\xF0\xE8\xE2\xE5\xF2, \xEA\xE0\xEA \xE4\xE5\xEB\xE0? \xDD\xF2\xEE "
        "\xF2\xE5\xF1\xF2.";
    EXPECT_EQ(detectCharset(cyrillic), "WINDOWS-1251");
    EXPECT_EQ(detectCharset("plain ascii"), "");
}

TEST(Charsets, StandardLabelsReadAsTheSupersetsFilesUse) {
    const std::pair<const char*, const char*> cases[] = {
        {"Shift_JIS", "CP932"},
        {"EUC-KR", "CP949"},
        {"gb2312", "GB18030"},
        {"GBK", "GB18030"},
        {"Big5", "BIG5-HKSCS"},
        {"ISO-8859-1", "WINDOWS-1252"},
        {"ASCII", "WINDOWS-1252"},
        {"TIS-620", "WINDOWS-874"},
        {"ISO-8859-9", "WINDOWS-1254"},
        {"WINDOWS-1251", "WINDOWS-1251"},
        {"UTF-8", "UTF-8"},
    };
    for (const auto& [label, decoder] : cases)
        EXPECT_EQ(whatwgDecoderName(label), decoder) << label;
    // "①" and "～" as Windows writes them in a file uchardet calls Shift_JIS.
    EXPECT_EQ(decodeToUtf8("\x87\x40\x81\x60", whatwgDecoderName("SHIFT_JIS")),
              "\xE2\x91\xA0\xEF\xBD\x9E");
}

}  // namespace
}  // namespace qb
