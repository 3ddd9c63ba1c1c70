#pragma once
// The book's choices as both programs take them: the words a user types or a settings file
// keeps are read here, and what the reader would find wrong only at work (a pattern that does
// not compile, a language tag or a charset nobody knows) is found here first, in the same
// words for the command line and the window.

#include <map>
#include <string>

#include "book/book_project.h"

namespace qb {

// The choices that can be given as words, in the order they are checked.
enum class BookChoice {
    Paragraphs,
    Conventions,
    Chapters,
    TocLabels,
    Language,
    MaxPageKb,
    Encoding,
    WritingMode,
    EpubVersion,
    ParagraphStyle,
};

// What is wrong with one choice. The text names the value and the fault but not the choice,
// which each program names its own way ("--chapters: ", "Chapters: ").
struct ChoiceProblem {
    BookChoice choice = BookChoice::Chapters;
    std::string text;  // empty: nothing is wrong

    explicit operator bool() const { return !text.empty(); }
};

// The command line's option for a choice ("--chapters") and the window's label ("Chapters").
const char* choiceOption(BookChoice choice);
const char* choiceLabel(BookChoice choice);

// Reads the chapter choice from a word: "off" and "auto" name those modes; every other word,
// the empty one too, is a pattern. The words are exact: a PCRE2 pattern is case-sensitive, so
// "OFF" is the pattern that matches the line "OFF".
void readChapterWord(const std::string& word, BookProject& project);

// Choices given as words; a choice not among them keeps the project's value.
using ChoiceWords = std::map<BookChoice, std::string>;

// Reads the words into project, then checks the project's choices: the first problem, or none.
// The fixed words ("lines", "first-line", "auto", ...) ignore ASCII case; the chapter choice's
// "off" and "auto" do not (see readChapterWord).
ChoiceProblem readChoiceWords(const ChoiceWords& words, BookProject& project);

// What is wrong with the project's choices, or none: the chapter pattern (compiled as the
// reader compiles it), the language (empty, "auto" or a language tag) and the charset (empty,
// or a name iconv knows as one).
ChoiceProblem choicesProblem(const BookProject& project);

}  // namespace qb
