#include "book/chapter_headings.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
#include <array>
#include <vector>

#include "platform/ascii.h"
#include "platform/blank.h"
#include "platform/errors.h"
#include "platform/utf8.h"

namespace qb {
namespace {

using Chars = std::u32string;

// The longest title glued to "第十二章" without a blank.
constexpr std::size_t kMaxGluedTitleChars = 20;

Chars decode(std::string_view text) {
    Chars out;
    out.reserve(text.size());
    for (std::size_t i = 0, len = 0; i < text.size(); i += len) out.push_back(utf8At(text, i, len));
    return out;
}

std::string lowerAscii(const Chars& s, std::size_t from, std::size_t to) {
    std::string out;
    for (std::size_t i = from; i < to; ++i) out += static_cast<char>(toAsciiLower(s[i]));
    return out;
}

std::size_t skipBlanks(const Chars& s, std::size_t i) {
    while (i < s.size() && isBlankChar(s[i])) ++i;
    return i;
}

std::size_t letterRunEnd(const Chars& s, std::size_t i) {
    while (i < s.size() && isAsciiLetter(s[i])) ++i;
    return i;
}

// ---- English forms ----

bool isRomanNumeral(const std::string& w) {
    // M{0,3}(CM|CD|D?C{0,3})(XC|XL|L?X{0,3})(IX|IV|V?I{0,3}), not empty.
    std::size_t i = 0;
    auto take = [&](std::string_view piece) {
        if (w.compare(i, piece.size(), piece) == 0) {
            i += piece.size();
            return true;
        }
        return false;
    };
    auto upTo = [&](char c, int n) {
        for (int k = 0; k < n && i < w.size() && w[i] == c; ++k) ++i;
    };
    auto group = [&](char one, char five, char ten) {
        const std::string nine{one, ten};
        const std::string four{one, five};
        if (take(nine) || take(four)) return;
        if (i < w.size() && w[i] == five) ++i;
        upTo(one, 3);
    };
    upTo('m', 3);
    group('c', 'd', 'm');
    group('x', 'l', 'c');
    group('i', 'v', 'x');
    return !w.empty() && i == w.size();
}

bool isNumberWord(const std::string& w) {
    static const std::array<std::string_view, 30> words = {
        "one",      "two",      "three",   "four",    "five",      "six",
        "seven",    "eight",    "nine",    "ten",     "eleven",    "twelve",
        "thirteen", "fourteen", "fifteen", "sixteen", "seventeen", "eighteen",
        "nineteen", "twenty",   "thirty",  "forty",   "fifty",     "sixty",
        "seventy",  "eighty",   "ninety",  "hundred", "thousand",  "zero",
    };
    return std::find(words.begin(), words.end(), w) != words.end();
}

// The end of a chapter number at i (digits, a Roman numeral, number words such as
// "Twenty-One" or "One Hundred and Three"), or npos when there is none.
std::size_t englishNumberEnd(const Chars& s, std::size_t i) {
    constexpr std::size_t npos = std::u32string::npos;
    if (i >= s.size()) return npos;
    if (isAsciiDigit(s[i])) {
        std::size_t j = i;
        while (j < s.size() && isAsciiDigit(s[j])) ++j;
        if (j - i > 4 || (j < s.size() && isAsciiLetter(s[j]))) return npos;
        return j;
    }
    std::size_t end = letterRunEnd(s, i);
    if (end == i) return npos;
    std::string word = lowerAscii(s, i, end);
    if (isRomanNumeral(word)) return end;
    if (!isNumberWord(word)) return npos;
    // Further number words joined by a hyphen, a blank or " and ".
    for (;;) {
        std::size_t j = end;
        if (j < s.size() && (s[j] == '-' || s[j] == ' ')) {
            ++j;
        } else {
            break;
        }
        std::size_t wordEnd = letterRunEnd(s, j);
        std::string next = lowerAscii(s, j, wordEnd);
        if (next == "and" && s[end] == ' ' && wordEnd < s.size() && s[wordEnd] == ' ') {
            std::size_t k = wordEnd + 1;
            std::size_t kEnd = letterRunEnd(s, k);
            if (!isNumberWord(lowerAscii(s, k, kEnd))) break;
            end = kEnd;
            continue;
        }
        if (!isNumberWord(next)) break;
        end = wordEnd;
    }
    return end;
}

bool endsLikeASentence(const Chars& t) {
    if (t.empty()) return false;
    const char32_t last = t.back();
    return last == '.' || last == ',' || last == ';' || last == ':';
}

bool hasLowerCase(const Chars& t) {
    return std::any_of(t.begin(), t.end(), [](char32_t c) { return isAsciiLower(c); });
}

bool startsLikeATitle(char32_t c) {
    return isAsciiUpper(c) || isAsciiDigit(c) || c > 0x7F || c == '"' || c == '\'' || c == '(' ||
           c == '[';
}

// What may follow "Chapter 12": nothing; a separator (". : - – —") and a title; or a blank and
// a title that starts like one ("Chapter 12 The Storm", not "Chapter 12 was long").
bool englishRestIsTitle(const Chars& s, std::size_t i) {
    std::size_t j = skipBlanks(s, i);
    if (j == s.size()) return true;
    const char32_t c = s[j];
    if (c == '.' || c == ':' || c == '-' || c == 0x2013 || c == 0x2014) {
        while (j < s.size() && (s[j] == c || s[j] == '-')) ++j;
        Chars title = s.substr(skipBlanks(s, j));
        // "CHAPTER I. THE MAN IN THE STREET." is a heading; "Chapter 1. It was late." is not.
        return !endsLikeASentence(title) || !hasLowerCase(title);
    }
    if (j == i || !startsLikeATitle(c)) return false;
    return !endsLikeASentence(s.substr(j));
}

// The keyword at the start, if it is written as a heading would write it: "Chapter" or
// "CHAPTER", never "chapter" (a wrapped line of prose starts that way).
std::string headingKeyword(const Chars& s, std::size_t& end) {
    end = letterRunEnd(s, 0);
    if (end < 2) return {};
    bool upper = true;
    bool capitalised = isAsciiUpper(s[0]);
    for (std::size_t i = 1; i < end; ++i) {
        if (!isAsciiUpper(s[i])) upper = false;
        if (isAsciiUpper(s[i])) capitalised = false;
    }
    if (!upper && !capitalised) return {};
    return lowerAscii(s, 0, end);
}

HeadingLevel englishHeading(const Chars& s) {
    std::size_t end = 0;
    const std::string word = headingKeyword(s, end);
    if (word.empty()) return HeadingLevel::None;
    HeadingLevel level = HeadingLevel::None;
    bool numbered = true;
    if (word == "chapter" || word == "letter" || word == "stave") {
        level = HeadingLevel::Chapter;
    } else if (word == "part" || word == "book" || word == "volume") {
        level = HeadingLevel::Volume;
    } else if (word == "prologue" || word == "epilogue" || word == "preface" ||
               word == "foreword" || word == "afterword" || word == "interlude") {
        level = HeadingLevel::Chapter;
        numbered = false;
    } else {
        return HeadingLevel::None;
    }
    if (numbered) {
        std::size_t number = skipBlanks(s, end);
        if (number == end) return HeadingLevel::None;
        std::size_t numberEnd = englishNumberEnd(s, number);
        if (numberEnd == std::u32string::npos) return HeadingLevel::None;
        end = numberEnd;
    } else if (end < s.size() && isAsciiLetter(s[end])) {
        return HeadingLevel::None;
    }
    return englishRestIsTitle(s, end) ? level : HeadingLevel::None;
}

// ---- CJK forms ----

bool isCjkNumeral(char32_t c) {
    static const std::u32string numerals =
        U"〇零一二两三四五六七八九十百千万壹贰叁肆伍陆柒捌玖拾佰仟0123456789０１２３４５６７８９";
    return numerals.find(c) != std::u32string::npos;
}

std::size_t cjkNumberEnd(const Chars& s, std::size_t i) {
    while (i < s.size() && isCjkNumeral(s[i])) ++i;
    return i;
}

bool isCjkSeparator(char32_t c) {
    return isBlankChar(c) || c == U'：' || c == ':' || c == U'、' || c == '.' || c == U'．' ||
           c == '-' || c == U'—' || c == U'·' || c == U'・';
}

bool cjkTitleIsSound(const Chars& t) {
    if (t.find(U'。') != std::u32string::npos) return false;
    if (t.empty()) return true;
    static const std::u32string badEnds = U"，、；,;：:";
    return badEnds.find(t.back()) == std::u32string::npos;
}

// What may follow "第十二章": nothing, a separator and a title, or (attached) a title that does
// not read as the rest of a sentence ("第一章的内容" is prose, "第三回合" a round of a fight).
bool cjkRestIsTitle(const Chars& s, std::size_t i, bool attachedTitle) {
    if (i == s.size()) return true;
    if (isCjkSeparator(s[i])) {
        std::size_t j = i;
        while (j < s.size() && isCjkSeparator(s[j])) ++j;
        return cjkTitleIsSound(s.substr(j));
    }
    if (!attachedTitle) return false;
    static const std::u32string particles =
        U"的之中里裏是和与與了就也都说說合团團课課次天名位个個届屆年";
    if (particles.find(s[i]) != std::u32string::npos) return false;
    // A title glued on without a blank is a heading only when it is short and does not read
    // as a sentence or a quotation: a line of prose copied from a heading ends that way.
    const Chars title = s.substr(i);
    if (title.size() > kMaxGluedTitleChars) return false;
    for (std::u32string_view end : {U"——", U"……", U"。", U"」", U"”", U"』"}) {
        if (title.size() >= end.size() &&
            std::u32string_view(title).substr(title.size() - end.size()) == end)
            return false;
    }
    return cjkTitleIsSound(title);
}

HeadingLevel cjkHeading(const Chars& s) {
    if (s[0] == U'第') {
        std::size_t end = cjkNumberEnd(s, 1);
        if (end == 1 || end >= s.size()) return HeadingLevel::None;
        static const std::u32string chapterUnits = U"章回节節話话集篇幕";
        static const std::u32string volumeUnits = U"卷部";
        HeadingLevel level = HeadingLevel::None;
        if (chapterUnits.find(s[end]) != std::u32string::npos) level = HeadingLevel::Chapter;
        if (volumeUnits.find(s[end]) != std::u32string::npos) level = HeadingLevel::Volume;
        if (level == HeadingLevel::None) return level;
        return cjkRestIsTitle(s, end + 1, true) ? level : HeadingLevel::None;
    }
    if (std::u32string_view(s).starts_with(U"その")) {
        const std::size_t end = cjkNumberEnd(s, 2);
        if (end == 2) return HeadingLevel::None;
        return cjkRestIsTitle(s, end, false) ? HeadingLevel::Chapter : HeadingLevel::None;
    }
    if (s[0] == U'卷') {
        std::size_t end = cjkNumberEnd(s, 1);
        if (end == 1) return HeadingLevel::None;
        return cjkRestIsTitle(s, end, true) ? HeadingLevel::Volume : HeadingLevel::None;
    }
    // Longer names first, so that "序章" is not taken for "序" and a title.
    static const std::u32string_view names[] = {
        U"プロローグ", U"エピローグ", U"序章", U"序言", U"楔子", U"引子", U"尾声",
        U"尾聲",       U"终章",       U"終章", U"后记", U"後記", U"番外", U"序",
    };
    for (std::u32string_view name : names) {
        if (!std::u32string_view(s).starts_with(name)) continue;
        std::size_t end = name.size();
        if (name == U"番外") {
            end = cjkNumberEnd(s, end);
            if (end < s.size() && s[end] == U'篇') ++end;
        }
        return cjkRestIsTitle(s, end, false) ? HeadingLevel::Chapter : HeadingLevel::None;
    }
    return HeadingLevel::None;
}

}  // namespace

HeadingLevel autoHeadingLevel(std::string_view trimmedLine) {
    if (trimmedLine.empty() || utf8CharCount(trimmedLine) > kMaxHeadingChars)
        return HeadingLevel::None;
    // Most lines are prose: turn them away on their first character before decoding the rest.
    const auto first = static_cast<unsigned char>(trimmedLine[0]);
    if (first < 0x80) {
        if (std::string_view("CPBVEFAILS").find(static_cast<char>(first)) == std::string_view::npos)
            return HeadingLevel::None;
        return englishHeading(decode(trimmedLine));
    }
    const std::size_t len = utf8SequenceLength(trimmedLine, 0);
    if (len == 0) return HeadingLevel::None;
    static const std::u32string firsts = U"第卷序楔引尾终終后後番プエそ";
    if (firsts.find(decode(trimmedLine.substr(0, len))[0]) == std::u32string::npos)
        return HeadingLevel::None;
    return cjkHeading(decode(trimmedLine));
}

namespace {

int romanValue(const Chars& s, std::size_t from, std::size_t to) {
    int total = 0;
    for (std::size_t i = from; i < to; ++i) {
        auto value = [](char32_t c) {
            switch (c) {
                case 'I':
                    return 1;
                case 'V':
                    return 5;
                case 'X':
                    return 10;
                case 'L':
                    return 50;
                case 'C':
                    return 100;
                case 'D':
                    return 500;
                case 'M':
                    return 1000;
                default:
                    return 0;
            }
        };
        const int v = value(s[i]);
        const int next = i + 1 < to ? value(s[i + 1]) : 0;
        total += v < next ? -v : v;
    }
    return total;
}

// "十一" = 11, "三十六" = 36, "百二" = 102, "１２" = 12; 0 for anything else.
int cjkNumeralValue(const Chars& s) {
    static const std::u32string digits = U"〇一二三四五六七八九";
    int total = 0;
    int digit = -1;
    int plain = 0;
    bool positional = true;
    for (const char32_t c : s) {
        if (c >= U'０' && c <= U'９') {
            plain = plain * 10 + static_cast<int>(c - U'０');
            if (plain > 100000) return 0;
            continue;
        }
        positional = false;
        const std::size_t d = digits.find(c);
        if (d != std::u32string::npos) {
            digit = static_cast<int>(d);
            continue;
        }
        const int unit = c == U'十' ? 10 : c == U'百' ? 100 : c == U'千' ? 1000 : 0;
        if (unit == 0) return 0;
        total += (digit < 0 ? 1 : digit) * unit;
        digit = -1;
    }
    if (positional) return plain;
    return total + (digit < 0 ? 0 : digit);
}

}  // namespace

NumberedHeading numberedHeading(std::string_view trimmedLine) {
    if (trimmedLine.empty() || trimmedLine.size() > kMaxHeadingChars * 4) return {};
    const auto first = static_cast<unsigned char>(trimmedLine[0]);
    if (first < 0x80) {
        if (std::string_view("IVXLC").find(static_cast<char>(first)) == std::string_view::npos)
            return {};
        const Chars s = decode(trimmedLine);
        std::size_t end = 0;
        while (end < s.size() &&
               std::u32string_view(U"IVXLCDM").find(s[end]) != std::u32string_view::npos)
            ++end;
        if (!isRomanNumeral(lowerAscii(s, 0, end))) return {};
        std::size_t rest = end;
        if (rest < s.size() && s[rest] == '.') ++rest;
        rest = skipBlanks(s, rest);
        if (rest < s.size()) {
            // The title must be set apart and written in capitals: "I. A SCANDAL IN BOHEMIA".
            if (rest == end || hasLowerCase(s.substr(rest)) || !startsLikeATitle(s[rest]))
                return {};
        }
        return {NumberedForm::Roman, romanValue(s, 0, end), HeadingLevel::Chapter};
    }
    const Chars s = decode(trimmedLine);
    if (s.size() >= 3 && (s[0] == U'上' || s[0] == U'中' || s[0] == U'下') && isBlankChar(s[1]) &&
        s.size() <= 30) {
        const int number = s[0] == U'上' ? 1 : s[0] == U'中' ? 2 : 3;
        return {NumberedForm::JapanesePart, number, HeadingLevel::Volume};
    }
    if (s.size() > 6) return {};
    const int number = cjkNumeralValue(s);
    if (number <= 0) return {};
    return {NumberedForm::Numeral, number, HeadingLevel::Chapter};
}

// A compiled user pattern. JIT-compiled where the platform has it; every match runs under a
// match and depth limit, so that a pattern that backtracks without end gives up on a line
// rather than hanging the run.
class ChapterHeadings::Pattern {
  public:
    explicit Pattern(const std::string& pattern) {
        int code = 0;
        PCRE2_SIZE offset = 0;
        m_code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                               kOptions, &code, &offset, nullptr);
        if (m_code == nullptr) throw Error(describe(code, offset));
        pcre2_jit_compile(m_code, PCRE2_JIT_COMPLETE);  // the interpreter stands in on failure
        m_match = pcre2_match_data_create_from_pattern(m_code, nullptr);
        m_context = pcre2_match_context_create(nullptr);
        if (m_match == nullptr || m_context == nullptr) {
            release();
            throw Error("Out of memory for the chapter pattern \"" + pattern + "\"");
        }
        // A heading pattern needs a few hundred steps on a line of at most 80 characters; this
        // limit keeps a line that sends the pattern backtracking to a tenth of a millisecond
        // or so, where a million steps cost some milliseconds a line.
        pcre2_set_match_limit(m_context, kMatchLimit);
        pcre2_set_depth_limit(m_context, 10000);
    }
    ~Pattern() { release(); }
    Pattern(const Pattern&) = delete;
    Pattern& operator=(const Pattern&) = delete;

    // overLimit is set when the pattern gave up on the line before it knew.
    bool matches(std::string_view line, bool& overLimit) const {
        const int rc = pcre2_match(m_code, reinterpret_cast<PCRE2_SPTR>(line.data()), line.size(),
                                   0, 0, m_match, m_context);
        overLimit = rc == PCRE2_ERROR_MATCHLIMIT || rc == PCRE2_ERROR_DEPTHLIMIT ||
                    rc == PCRE2_ERROR_HEAPLIMIT;
        return rc >= 0;
    }

    static constexpr std::uint32_t kMatchLimit = 50000;

    static std::string describe(int code, PCRE2_SIZE offset) {
        PCRE2_UCHAR message[256];
        if (pcre2_get_error_message(code, message, sizeof message) < 0) message[0] = 0;
        return std::string(reinterpret_cast<const char*>(message)) + " at offset " +
               std::to_string(offset);
    }

    // The whole line must match; UTF-8 with Unicode classes (\w, \d, [[:alpha:]] know CJK).
    static constexpr std::uint32_t kOptions =
        PCRE2_UTF | PCRE2_UCP | PCRE2_MATCH_INVALID_UTF | PCRE2_ANCHORED | PCRE2_ENDANCHORED;

  private:
    void release() {
        if (m_context != nullptr) pcre2_match_context_free(m_context);
        if (m_match != nullptr) pcre2_match_data_free(m_match);
        if (m_code != nullptr) pcre2_code_free(m_code);
        m_context = nullptr;
        m_match = nullptr;
        m_code = nullptr;
    }

    pcre2_code* m_code = nullptr;
    pcre2_match_data* m_match = nullptr;
    pcre2_match_context* m_context = nullptr;
};

ChapterHeadings::ChapterHeadings() = default;

ChapterHeadings::ChapterHeadings(const std::string& pattern) {
    try {
        m_pattern = std::make_unique<Pattern>(pattern);
    } catch (const Error& e) {
        throw Error("Invalid chapter pattern \"" + pattern + "\": " + e.what());
    }
}

ChapterHeadings::~ChapterHeadings() = default;

HeadingLevel ChapterHeadings::classify(std::string_view trimmedLine) const {
    if (!m_pattern) return autoHeadingLevel(trimmedLine);
    if (trimmedLine.empty() || utf8CharCount(trimmedLine) > kMaxHeadingChars)
        return HeadingLevel::None;
    bool overLimit = false;
    const bool match = m_pattern->matches(trimmedLine, overLimit);
    if (overLimit) ++m_linesOverLimit;
    return match ? HeadingLevel::Chapter : HeadingLevel::None;
}

std::string ChapterHeadings::patternError(const std::string& pattern) {
    int code = 0;
    PCRE2_SIZE offset = 0;
    pcre2_code* compiled =
        pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                      Pattern::kOptions, &code, &offset, nullptr);
    if (compiled != nullptr) {
        pcre2_code_free(compiled);
        return {};
    }
    return Pattern::describe(code, offset);
}

}  // namespace qb
