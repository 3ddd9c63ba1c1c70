#include "platform/blank.h"

#include "platform/utf8.h"

namespace qb {

std::size_t blankLengthAt(std::string_view s, std::size_t pos) {
    const auto c = static_cast<unsigned char>(s[pos]);
    if (c < 0x80) return isBlankChar(c) ? 1 : 0;
    const std::size_t n = utf8SequenceLength(s, pos);
    if (n < 2) return 0;
    return isBlankChar(utf8CodePointAt(s, pos, n)) ? n : 0;
}

std::size_t firstNonBlank(std::string_view text) {
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t n = blankLengthAt(text, pos);
        if (n == 0) return pos;
        pos += n;
    }
    return std::string_view::npos;
}

bool isBlank(std::string_view text) {
    return firstNonBlank(text) == std::string_view::npos;
}

std::size_t trailingBlanksStart(std::string_view text) {
    std::size_t end = text.size();
    while (end > 0) {
        std::size_t start = end - 1;
        // Back to the lead byte of the last character; a run of stray continuation bytes is
        // no blank, and neither is anything longer than one UTF-8 sequence.
        while (start > 0 && end - start < 4 && isUtf8Continuation(text[start])) --start;
        if (blankLengthAt(text, start) != end - start) break;
        end = start;
    }
    return end;
}

std::string_view trimBlanks(std::string_view text) {
    const std::size_t first = firstNonBlank(text);
    if (first == std::string_view::npos) return text.substr(text.size());
    return text.substr(first, trailingBlanksStart(text) - first);
}

}  // namespace qb
