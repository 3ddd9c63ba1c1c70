#include "book/text_conventions.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "book/text_blanks.h"
#include "platform/ascii.h"

namespace qb {
namespace {

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() &&
           lowerAscii(std::string(s.substr(0, prefix.size()))) == prefix;
}

// A byte that belongs to a word: ASCII letters and digits, and every byte of a non-ASCII
// character (letters of other scripts).
bool isWordByte(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x80 || isAsciiAlnum(u);
}

}  // namespace

GutenbergMark gutenbergMark(std::string_view line) {
    if (line.size() > 300 || line.substr(0, 3) != "***") return GutenbergMark::None;
    std::string_view rest = line.substr(3);
    rest.remove_prefix(std::min(rest.find_first_not_of(' '), rest.size()));
    const std::string lower = lowerAscii(std::string(rest));
    if (lower.find("project gutenberg") == std::string::npos) return GutenbergMark::None;
    if (startsWithNoCase(rest, "start of")) return GutenbergMark::Start;
    if (startsWithNoCase(rest, "end of")) return GutenbergMark::End;
    return GutenbergMark::None;
}

bool isSceneBreak(std::string_view line) {
    if (line == "#") return true;
    if (line.empty() || line.size() > 200) return false;
    char32_t mark = 0;
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < line.size();) {
        std::size_t length = 0;
        const char32_t c = utf8At(line, pos, length);
        pos += length;
        if (isBlankChar(c)) continue;
        if (mark == 0) mark = c;
        if (c != mark) return false;
        ++count;
    }
    const bool letter = (mark < 0x80 && isAsciiAlnum(static_cast<unsigned char>(mark))) ||
                        (mark >= 0x80 && isCjkChar(mark) && !(mark >= 0x3001 && mark <= 0x303F) &&
                         !(mark >= 0xFF01 && mark <= 0xFF60));
    return count >= 3 && !letter && mark != kReplacementChar;
}

bool isContentsHeading(std::string_view line) {
    const std::string lower = lowerAscii(std::string(line.substr(0, 40)));
    static const std::string_view names[] = {"contents", "contents.", "table of contents",
                                             "目录",     "目錄",      "目次"};
    return std::find(std::begin(names), std::end(names), lower) != std::end(names);
}

std::vector<std::pair<std::size_t, std::size_t>> emphasisPairs(std::string_view text) {
    // Most paragraphs hold no underscore at all: memchr finds them far faster than a look at
    // every byte.
    auto underscoreFrom = [&](std::size_t from) {
        if (from >= text.size()) return text.size();
        const void* found = std::memchr(text.data() + from, '_', text.size() - from);
        return found ? static_cast<std::size_t>(static_cast<const char*>(found) - text.data())
                     : text.size();
    };
    std::vector<std::size_t> closings;
    for (std::size_t i = underscoreFrom(1); i < text.size(); i = underscoreFrom(i + 1)) {
        const char before = text[i - 1];
        const bool after = i + 1 < text.size() && (isWordByte(text[i + 1]) || text[i + 1] == '_');
        if (before != '_' && before != ' ' && before != '\t' && !after) closings.push_back(i);
    }
    std::vector<std::pair<std::size_t, std::size_t>> pairs;
    if (closings.empty()) return pairs;
    std::size_t next = 0;
    for (std::size_t i = underscoreFrom(0); i < text.size(); i = underscoreFrom(i + 1)) {
        const bool boundary = i == 0 || (!isWordByte(text[i - 1]) && text[i - 1] != '_');
        const bool opens = boundary && i + 1 < text.size() && text[i + 1] != '_' &&
                           text[i + 1] != ' ' && text[i + 1] != '\t';
        if (!opens) continue;
        while (next < closings.size() && closings[next] <= i + 1) ++next;
        if (next == closings.size()) break;
        pairs.emplace_back(i, closings[next]);
        i = closings[next];
        ++next;
    }
    return pairs;
}

}  // namespace qb
