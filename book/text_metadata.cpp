#include "book/text_metadata.h"

#include <algorithm>
#include <vector>

#include "book/chapter_headings.h"
#include "book/text_blanks.h"
#include "platform/ascii.h"
#include "platform/utf8.h"

namespace qb {
namespace {

// A title line longer than this is prose, not a title.
constexpr std::size_t kMaxNameBytes = 600;

std::vector<std::string_view> headLines(std::string_view head) {
    std::vector<std::string_view> lines;
    std::size_t pos = 0;
    if (head.substr(0, 3) == "\xEF\xBB\xBF") pos = 3;
    while (pos < head.size() && lines.size() < 2000) {
        std::size_t end = head.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = head.size();
        lines.push_back(head.substr(pos, end - pos));
        if (end < head.size() && head[end] == '\r' && end + 1 < head.size() &&
            head[end + 1] == '\n')
            ++end;
        pos = end + 1;
    }
    return lines;
}

bool startsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

std::string_view afterPrefix(std::string_view s, std::string_view prefix) {
    return trimBlanks(s.substr(prefix.size()));
}

bool isSmallWord(std::string_view word) {
    static const std::string_view words[] = {"of", "the",  "and", "a",  "an", "in",  "on",
                                             "to", "with", "for", "or", "by", "from"};
    const std::string lower = lowerAscii(std::string(word));
    return std::find(std::begin(words), std::end(words), lower) != std::end(words);
}

// A wrapped title goes on with a space; a second title ("Peter Pan" over "Peter Pan and
// Wendy") is set apart with a colon.
void appendContinuation(std::string& value, std::string_view more) {
    const std::size_t space = value.find_last_of(' ');
    const std::string_view lastWord =
        std::string_view(value).substr(space == std::string::npos ? 0 : space + 1);
    const char last = value.empty() ? ' ' : value.back();
    const bool wrapped = last == ',' || last == '-' || last == ':' || last == ';' ||
                         isAsciiLower(static_cast<unsigned char>(more[0])) || isSmallWord(lastWord);
    value += wrapped ? " " : ": ";
    value += more;
}

std::string bounded(std::string_view value) {
    return std::string(value.substr(0, utf8CutBefore(value, kMaxNameBytes)));
}

std::string gutenbergLanguageTag(std::string_view name) {
    static const std::pair<std::string_view, std::string_view> names[] = {
        {"english", "en"}, {"french", "fr"},     {"german", "de"},    {"spanish", "es"},
        {"italian", "it"}, {"portuguese", "pt"}, {"dutch", "nl"},     {"finnish", "fi"},
        {"chinese", "zh"}, {"japanese", "ja"},   {"latin", "la"},     {"swedish", "sv"},
        {"danish", "da"},  {"norwegian", "no"},  {"polish", "pl"},    {"russian", "ru"},
        {"greek", "el"},   {"hungarian", "hu"},  {"esperanto", "eo"}, {"catalan", "ca"},
        {"czech", "cs"},   {"tagalog", "tl"},    {"korean", "ko"},    {"hebrew", "he"},
    };
    const std::string lower = lowerAscii(std::string(trimBlanks(name)));
    for (const auto& [language, tag] : names) {
        if (lower == language) return std::string(tag);
    }
    return {};
}

// "Title:", "Author:" and "Language:" before the "*** START OF" line.
bool readGutenbergHeader(const std::vector<std::string_view>& lines, TextMetadata& out) {
    std::size_t start = 0;
    while (start < lines.size() && !startsWith(trimBlanks(lines[start]), "*** START OF")) ++start;
    if (start == lines.size()) return false;
    std::string* field = nullptr;
    const char* joiner = "";
    for (std::size_t i = 0; i < start; ++i) {
        const std::string_view line = lines[i];
        if (line.size() > kMaxNameBytes) {
            field = nullptr;
            continue;
        }
        if (field != nullptr && !line.empty() && (line[0] == ' ' || line[0] == '\t') &&
            !isBlankLine(line)) {
            if (std::string_view(joiner) == ", ") {
                *field += joiner;
                *field += trimBlanks(line);
            } else {
                appendContinuation(*field, trimBlanks(line));
            }
            continue;
        }
        field = nullptr;
        if (startsWith(line, "Title:") && out.title.empty()) {
            out.title = std::string(afterPrefix(line, "Title:"));
            field = &out.title;
            joiner = " ";
        } else if (startsWith(line, "Author:") && out.author.empty()) {
            out.author = std::string(afterPrefix(line, "Author:"));
            field = &out.author;
            joiner = ", ";
        } else if (startsWith(line, "Language:") && out.language.empty()) {
            out.language = gutenbergLanguageTag(afterPrefix(line, "Language:"));
        }
    }
    out.title = bounded(out.title);
    out.author = bounded(out.author);
    return !out.title.empty() || !out.author.empty();
}

bool isLegendRule(std::string_view line) {
    return line.size() >= 20 && line.find_first_not_of('-') == std::string_view::npos;
}

// The Chinese first-line forms. Only short lines are read: a sentence is no title.
bool readChineseTitleLine(std::string_view line, TextMetadata& out) {
    line = trimBlanks(line);
    if (line.empty() || line.size() > 200) return false;
    constexpr std::string_view open = "《";
    constexpr std::string_view close = "》";
    static const std::string_view authorMarks[] = {"作者：", "作者:", "著："};
    if (startsWith(line, open)) {
        const std::size_t end = line.find(close);
        if (end == std::string_view::npos || end == open.size()) return false;
        out.title = std::string(trimBlanks(line.substr(open.size(), end - open.size())));
        std::string_view rest = trimBlanks(line.substr(end + close.size()));
        // An edition note: "（校对版全本）", "(精校版)".
        for (const auto& [from, to] : {std::pair{"（", "）"}, std::pair{"(", ")"}}) {
            if (startsWith(rest, from)) {
                const std::size_t stop = rest.find(to);
                if (stop != std::string_view::npos)
                    rest = trimBlanks(rest.substr(stop + std::string_view(to).size()));
            }
        }
        for (std::string_view mark : authorMarks) {
            if (startsWith(rest, mark)) rest = afterPrefix(rest, mark);
        }
        if (!rest.empty() && utf8CharCount(rest) <= 20 && rest.find("。") == std::string_view::npos)
            out.author = std::string(rest);
        return !out.title.empty();
    }
    for (std::string_view mark : authorMarks) {
        const std::size_t at = line.find(mark);
        if (at == std::string_view::npos || at == 0) continue;
        std::string_view title = trimBlanks(line.substr(0, at));
        const std::string_view author = afterPrefix(line.substr(at), mark);
        if (author.empty() || utf8CharCount(author) > 20 || utf8CharCount(title) > 40) return false;
        out.title = std::string(title);
        out.author = std::string(author);
        return true;
    }
    return false;
}

std::size_t firstInkLine(const std::vector<std::string_view>& lines) {
    std::size_t i = 0;
    while (i < lines.size() && isBlankLine(lines[i])) ++i;
    return i;
}

}  // namespace

bool isAozoraText(std::string_view head) {
    const std::vector<std::string_view> lines = headLines(head.substr(0, 8192));
    for (std::size_t i = 0; i + 1 < lines.size() && i < 8; ++i) {
        if (isLegendRule(lines[i])) return i > 0 && startsWith(trimBlanks(lines[i + 1]), "【");
    }
    return false;
}

TextMetadata readTextMetadata(std::string_view head) {
    head = withoutCutUtf8Tail(head);
    const std::vector<std::string_view> lines = headLines(head);
    TextMetadata out;
    if (readGutenbergHeader(lines, out)) return out;
    if (isAozoraText(head)) {
        std::vector<std::string_view> names;
        for (std::string_view line : lines) {
            if (isLegendRule(line)) break;
            if (!isBlankLine(line)) names.push_back(trimBlanks(line));
        }
        if (!names.empty()) out.title = bounded(names[0]);
        if (names.size() >= 3) out.title += " " + bounded(names[1]);
        if (names.size() >= 2)
            out.author = bounded(names[std::min<std::size_t>(names.size(), 3) - 1]);
        return out;
    }
    const std::size_t first = firstInkLine(lines);
    if (first < lines.size() && !readChineseTitleLine(lines[first], out)) out = {};
    return out;
}

TextMetadata metadataFromFileName(std::string_view fileName) {
    std::string name;
    appendRepairedUtf8(name, fileName);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    TextMetadata out;
    if (readChineseTitleLine(name, out)) return out;
    out = {};
    out.title = bounded(trimBlanks(name));
    return out;
}

}  // namespace qb
