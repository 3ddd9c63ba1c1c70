#pragma once
// What counts as a blank, everywhere a line, a paragraph, a heading, a contents label or a
// title is judged empty or trimmed: every Unicode White_Space character (space, tab, the
// no-break spaces, the ideographic space U+3000 that CJK texts indent with, the line and
// paragraph separators), and the zero-width space and byte-order mark, which show nothing
// either. A line of only these shows nothing to a reader, so it is blank wherever it is met.

#include <cstddef>
#include <string_view>

namespace qb {

// True for a blank character.
constexpr bool isBlankChar(char32_t c) {
    if (c == ' ' || (c >= 0x09 && c <= 0x0D)) return true;
    if (c < 0x85) return false;
    return c == 0x85 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200B) || c == 0x2028 ||
           c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000 || c == 0xFEFF;
}

// The bytes of the blank character that begins at s[pos] (UTF-8), or 0 when none does; bytes
// that are not well-formed UTF-8 are never blank.
std::size_t blankLengthAt(std::string_view s, std::size_t pos);

// True when text holds nothing but blanks (or nothing at all).
bool isBlank(std::string_view text);

// Where the first character that is not blank begins; npos when there is none.
std::size_t firstNonBlank(std::string_view text);

// Where the blanks that end the text begin: text.size() when it does not end in a blank, 0
// when it holds only blanks.
std::size_t trailingBlanksStart(std::string_view text);

// The text without its leading and trailing blanks.
std::string_view trimBlanks(std::string_view text);

}  // namespace qb
