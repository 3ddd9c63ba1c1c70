#include "platform/ascii.h"

#include <gtest/gtest.h>

#include "platform/unique_fd.h"

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
