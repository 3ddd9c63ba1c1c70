#include "platform/utf8.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace qb {
namespace {

// The plain byte-at-a-time readings the fast ones must agree with.
bool simpleIsValid(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t len = utf8SequenceLength(s, i);
        if (len == 0) return false;
        i += len;
    }
    return true;
}

std::size_t simpleCharCount(std::string_view s) {
    std::size_t count = 0;
    for (const char c : s) count += isUtf8Continuation(c) ? 0 : 1;
    return count;
}

bool simpleIsMostly(std::string_view s) {
    std::size_t valid = 0;
    std::size_t invalid = 0;
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t len = utf8SequenceLength(s, i);
        if (static_cast<unsigned char>(s[i]) < 0x80) {
            ++i;
        } else if (len == 0) {
            ++invalid;
            ++i;
        } else {
            ++valid;
            i += len;
        }
    }
    return valid > 0 && invalid * 20 <= valid;
}

std::string repeated(std::string_view piece, int times) {
    std::string s;
    for (int k = 0; k < times; ++k) s += piece;
    return s;
}

// Pieces whose checks the fast paths could get wrong: every length of sequence, the lead bytes
// next to the ones that need a second look (E0, ED, F0, F4), overlong forms, surrogates, values
// past U+10FFFF, the 5- and 6-byte forms, stray continuation bytes and cut-off sequences.
const std::vector<std::string> kPieces = {
    "a",
    "plain words",
    "\xC3\xA9",          // é
    "\xE4\xB8\xAD",      // 中
    "\xEF\xBF\xBD",      // U+FFFD
    "\xE1\x80\x80",      // U+1000
    "\xEC\xBF\xBF",      // U+CFFF
    "\xEE\x80\x80",      // U+E000, the first after the surrogates
    "\xED\x9F\xBF",      // U+D7FF, the last before them
    "\xED\xA0\x80",      // U+D800, a surrogate
    "\xE0\xA0\x80",      // U+0800
    "\xE0\x9F\xBF",      // overlong
    "\xC0\xAF",          // overlong '/'
    "\xC1\xBF",          // overlong
    "\xF0\x9F\x98\x80",  // U+1F600
    "\xF0\x8F\xBF\xBF",  // overlong
    "\xF4\x8F\xBF\xBF",  // U+10FFFF
    "\xF4\x90\x80\x80",  // past U+10FFFF
    "\xF5\x80\x80\x80",  // past U+10FFFF
    "\xF8\x88\x80\x80\x80",
    "\xFC\x84\x80\x80\x80\x80",
    "\x80",
    "\xBF\xBF",
    "\xE4\xB8",  // cut off
    "\xE4",
    "\xF0\x9F\x98",
    "\xFE",
    "\xFF",
};

TEST(Utf8Test, FastReadingsAgreeWithTheByteLoopOnTrickyInputs) {
    std::vector<std::string> inputs = {""};
    // Each piece on its own, after 0 to 9 ASCII bytes so that it crosses every place of an
    // 8-byte word, and at the very end of the text (a cut-off sequence must not read past it).
    for (const std::string& piece : kPieces) {
        for (int pad = 0; pad <= 9; ++pad) {
            const std::string lead(static_cast<std::size_t>(pad), 'x');
            inputs.push_back(lead + piece);
            inputs.push_back(lead + piece + "tail of ASCII text");
            inputs.push_back(lead + piece + repeated("\xE4\xB8\xAD", 5));
        }
    }
    // The twenty-to-one margin of mostly-UTF-8 text, the stray byte first and last.
    inputs.push_back("\x80" + repeated("\xC3\xA9", 20));
    inputs.push_back("\x80" + repeated("\xC3\xA9", 19));
    inputs.push_back(repeated("\xC3\xA9 word ", 40) + "\xE9\xE9");
    inputs.push_back(repeated("\xC3\xA9 word ", 39) + "\xE9\xE9");
    inputs.push_back(repeated("caf\xE9 ", 100) + repeated("\xE4\xB8\xAD", 3000));
    // Texts made at random from the pieces and runs of ASCII.
    std::mt19937 random(24);
    for (int k = 0; k < 3000; ++k) {
        std::string s;
        const int parts = 1 + static_cast<int>(random() % 12);
        for (int part = 0; part < parts; ++part) {
            const auto which = random() % (kPieces.size() + 4);
            s += which < kPieces.size() ? kPieces[which]
                                        : std::string(random() % 20, static_cast<char>('A' + part));
        }
        inputs.push_back(s);
    }
    for (const std::string& s : inputs) {
        EXPECT_EQ(isValidUtf8(s), simpleIsValid(s)) << testing::PrintToString(s);
        EXPECT_EQ(utf8CharCount(s), simpleCharCount(s)) << testing::PrintToString(s);
        EXPECT_EQ(isMostlyUtf8(s), simpleIsMostly(s)) << testing::PrintToString(s);
    }
}

}  // namespace
}  // namespace qb
