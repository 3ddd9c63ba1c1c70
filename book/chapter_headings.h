#pragma once
// Telling chapter headings from the text around them.
//
// A heading is a line of its own: the line, trimmed of blanks, is at most 80 characters long
// and is matched whole. The built-in forms know the usual headings of English and CJK books;
// else the user gives a PCRE2 pattern.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace qb {

enum class HeadingLevel {
    None,     // not a heading
    Volume,   // "Part One", "Book II", "第三卷", "卷三": its chapters are nested under it
    Chapter,  // "Chapter 12", "第十二章 风起", "Prologue", a line the user's pattern matches
    Section,  // a heading below a chapter (an Aozora Bunko 小見出し): nested under it
};

// The longest line, in characters once trimmed, that can be a heading.
inline constexpr std::size_t kMaxHeadingChars = 80;

class ChapterHeadings {
  public:
    // The built-in forms.
    ChapterHeadings();
    // The user's pattern (UTF-8, Unicode character classes), which must match the whole trimmed
    // line; every word is a pattern, "auto" too. Raises Error saying what is wrong with the
    // pattern and where.
    explicit ChapterHeadings(const std::string& pattern);
    ~ChapterHeadings();
    ChapterHeadings(const ChapterHeadings&) = delete;
    ChapterHeadings& operator=(const ChapterHeadings&) = delete;

    // The level of a line that trimBlanks has trimmed. Blank lines and lines longer than
    // kMaxHeadingChars are never headings.
    HeadingLevel classify(std::string_view trimmedLine) const;
    // True for the built-in forms.
    bool builtIn() const { return m_pattern == nullptr; }

    // Lines on which the pattern gave up, backtracking past its limit: they were taken as text.
    std::size_t linesOverLimit() const { return m_linesOverLimit; }

    // Empty when pattern compiles; else why it does not, e.g.
    // "missing closing parenthesis at offset 1".
    static std::string patternError(const std::string& pattern);

  private:
    class Pattern;
    std::unique_ptr<Pattern> m_pattern;  // null: the built-in forms
    mutable std::size_t m_linesOverLimit = 0;
};

// The built-in forms alone, for a trimmed line.
HeadingLevel autoHeadingLevel(std::string_view trimmedLine);

// Forms that are headings only where such lines number upward through the text: a Roman
// numeral alone or with a title in capitals ("IV.", "I. A SCANDAL IN BOHEMIA"), a kanji or
// full-width numeral alone ("一", "十一", "１２"), a part of a Japanese novel ("上　先生と私").
enum class NumberedForm { None, Roman, Numeral, JapanesePart };

struct NumberedHeading {
    NumberedForm form = NumberedForm::None;
    int number = 0;  // 1 for "I", "一", "上"
    HeadingLevel level = HeadingLevel::None;
};

NumberedHeading numberedHeading(std::string_view trimmedLine);

}  // namespace qb
