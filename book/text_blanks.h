#pragma once
// Blanks as a reader sees them: every Unicode White_Space character, the ideographic space
// U+3000 that CJK texts indent with among them. A line of only blanks is blank.
//
// The reading rules (paragraph shapes, text conventions, title lines) share this one
// definition, so that a line of U+3000 is blank for all of them alike.

#include <cstddef>
#include <string_view>

namespace qb {

bool isBlankChar(char32_t c);

// The code point at s[pos] and its length in bytes; an ill-formed byte reads as U+FFFD, 1 byte.
char32_t utf8At(std::string_view s, std::size_t pos, std::size_t& length);
// The code point that ends s, or 0 for empty text.
char32_t lastUtf8Char(std::string_view s);

// The text without its leading and trailing blanks.
std::string_view trimBlanks(std::string_view s);
// The number of leading bytes that are blanks.
std::size_t leadingBlankBytes(std::string_view s);
// The number of trailing bytes that are blanks.
std::size_t trailingBlankBytes(std::string_view s);
inline bool isBlankLine(std::string_view s) {
    return leadingBlankBytes(s) == s.size();
}

// Han, kana, Hangul and the full-width punctuation written between them: two such characters
// are never separated by a space when wrapped lines are joined.
bool isCjkChar(char32_t c);

}  // namespace qb
