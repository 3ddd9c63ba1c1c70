#include "platform/ascii.h"

#include <gtest/gtest.h>

#include "platform/unique_fd.h"
#include "platform/utf8.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace qb {
namespace {

// Names and charsets arrive as UTF-8; their bytes above 0x7F are negative chars here and must
// never be folded into letters.
TEST(AsciiFolding, OnlyLettersOfTheAsciiRangeChange) {
    EXPECT_EQ(lowerAscii("UTF-8 Ä \xC3\x84 [@Z`]"), "utf-8 Ä \xC3\x84 [@z`]");
    EXPECT_EQ(upperAscii("iso-8859-1 {az} \xC3\xA4"), "ISO-8859-1 {AZ} \xC3\xA4");
    EXPECT_EQ(toAsciiLower(U'\u0130'), U'\u0130');  // Turkish capital I with dot
    EXPECT_EQ(toAsciiUpper(static_cast<char>(0xE1)), static_cast<char>(0xE1));
    EXPECT_TRUE(equalsIgnoringAsciiCase("Content-Type", "content-TYPE"));
    EXPECT_FALSE(equalsIgnoringAsciiCase("\xC3\xA4", "\xC3\x84"));
    EXPECT_FALSE(equalsIgnoringAsciiCase("ab", "abc"));
    EXPECT_FALSE(equalsIgnoringAsciiCase("[", "{"));  // '[' + 32 is '{', not a letter pair
}

// "Ä€𝄞" is 2 + 3 + 4 bytes; a cut is always at one of 0, 2, 5, 9.
TEST(Utf8Cuts, NeverSplitACharacter) {
    const std::string_view text = "\xC3\x84\xE2\x82\xAC\xF0\x9D\x84\x9E";
    const std::size_t expected[] = {0, 0, 2, 2, 2, 5, 5, 5, 5, 9, 9};
    for (std::size_t pos = 0; pos <= 10; ++pos) EXPECT_EQ(utf8CutBefore(text, pos), expected[pos]);
    EXPECT_EQ(utf8CutBefore("\x80\x80", 1), 0u);  // stray continuation bytes: cut at the start

    // A sample's end may cut its last character; only that goes, whole characters stay.
    for (std::size_t end = 0; end <= text.size(); ++end)
        EXPECT_EQ(withoutCutUtf8Tail(text.substr(0, end)), text.substr(0, utf8CutBefore(text, end)))
            << end;
    EXPECT_EQ(withoutCutUtf8Tail("ab\xE0\x80\x80"), "ab");  // an overlong form is no character
    EXPECT_EQ(withoutCutUtf8Tail("ab\x80"), "ab\x80");      // not a cut: left for the check
}

TEST(UniqueFdOwner, ClosesOnceWhetherMovedClosedOrDropped) {
    int raw = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(raw, 0);
    {
        UniqueFd first(raw);
        UniqueFd second(std::move(first));
        EXPECT_FALSE(first);
        EXPECT_EQ(second.get(), raw);
        EXPECT_EQ(second.close(), 0);
        EXPECT_FALSE(second);
        EXPECT_EQ(second.close(), 0);  // a second close is a no-op, not EBADF
    }
    EXPECT_EQ(::fcntl(raw, F_GETFD), -1);
    EXPECT_EQ(errno, EBADF);

    raw = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(raw, 0);
    { UniqueFd dropped(raw); }
    EXPECT_EQ(::fcntl(raw, F_GETFD), -1);
}

}  // namespace
}  // namespace qb
