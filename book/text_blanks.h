#pragma once
// The reading rules' view of blanks (platform/blank.h says what a blank is) and of the
// characters around them: where a line's blanks end, and which characters join without a space.

#include <cstddef>
#include <string_view>

#include "platform/blank.h"
#include "platform/utf8.h"

namespace qb {

// The code point that ends s, or 0 for empty text.
char32_t lastUtf8Char(std::string_view s);

// The number of leading bytes that are blanks.
std::size_t leadingBlankBytes(std::string_view s);
// The number of trailing bytes that are blanks.
std::size_t trailingBlankBytes(std::string_view s);
inline bool isBlankLine(std::string_view s) {
    return isBlank(s);
}

// Han, kana, Hangul and the full-width punctuation written between them: two such characters
// are never separated by a space when wrapped lines are joined.
bool isCjkChar(char32_t c);

}  // namespace qb
