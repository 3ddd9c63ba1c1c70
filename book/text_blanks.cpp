#include "book/text_blanks.h"

#include "platform/utf8.h"

namespace qb {

char32_t lastUtf8Char(std::string_view s) {
    if (s.empty()) return 0;
    std::size_t pos = s.size() - 1;
    while (pos > 0 && isUtf8Continuation(s[pos]) && s.size() - pos < 4) --pos;
    std::size_t length = 0;
    const char32_t c = utf8At(s, pos, length);
    return pos + length == s.size() ? c : kReplacementChar;
}

std::size_t leadingBlankBytes(std::string_view s) {
    const std::size_t first = firstNonBlank(s);
    return first == std::string_view::npos ? s.size() : first;
}

std::size_t trailingBlankBytes(std::string_view s) {
    return s.size() - trailingBlanksStart(s);
}

bool isCjkChar(char32_t c) {
    return (c >= 0x2E80 && c <= 0x2FDF) ||  // radicals
           (c >= 0x3001 && c <= 0x303F) ||  // CJK punctuation (not the ideographic space)
           (c >= 0x3040 && c <= 0x31FF) ||  // kana, bopomofo
           (c >= 0x3400 && c <= 0x4DBF) ||  // extension A
           (c >= 0x4E00 && c <= 0x9FFF) ||  // unified ideographs
           (c >= 0xAC00 && c <= 0xD7AF) ||  // Hangul syllables
           (c >= 0xF900 && c <= 0xFAFF) ||  // compatibility ideographs
           (c >= 0xFF01 && c <= 0xFF60) ||  // full-width forms
           (c >= 0x20000 && c <= 0x3FFFF);  // supplementary ideographs
}

}  // namespace qb
