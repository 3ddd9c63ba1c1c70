#pragma once
// The book's choices as both programs take them: the words a user types or a settings file
// keeps, read the same way by the command line and the window.

#include <string>

#include "book/book_project.h"

namespace qb {

// Reads the chapter choice from a word: "off" and "auto" name those modes; every other word,
// the empty one too, is a pattern. The words are exact: a PCRE2 pattern is case-sensitive, so
// "OFF" is the pattern that matches the line "OFF".
void readChapterWord(const std::string& word, BookProject& project);

}  // namespace qb
