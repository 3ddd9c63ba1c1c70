#pragma once
// The book's stylesheet.css, written from its language and the user's choice of look.

#include <cstdint>
#include <string>
#include <string_view>

#include "book/book_project.h"

namespace qb {

struct StyleChoices {
    std::string languageTag;  // the book's: Chinese, Japanese and Korean are set their own way
    BookStyle style = BookStyle::Plain;
    WritingMode writing = WritingMode::Horizontal;  // Horizontal or Vertical, as settled
    bool titlePage = false;                         // the book has a title page to lay out
};

// The stylesheet's text, lines ended by CR LF like the book's other files. Plain gives the
// first program's three rules unchanged (with the title page's rules after them when there is
// one). Every rule stays within what EPUB 2 reading systems know: no flexbox, grid, custom
// properties or viewport units.
std::string bookStylesheet(const StyleChoices& choices);

// Writes bookStylesheet(choices) to path. Raises EFCreateError or EWriteError.
void writeStylesheet(const std::string& path, const StyleChoices& choices = {});

// The largest stylesheet of the user's a book takes: rules, not pictures or fonts.
inline constexpr std::uint64_t kMaxUserStylesheetBytes = std::uint64_t{1} << 20;

// Reads the user's stylesheet for the book. Raises Error with a message naming the file when
// it cannot be read, holds more than kMaxUserStylesheetBytes, or is not UTF-8 text (a NUL byte
// or an invalid sequence: checkers reject the book, readers drop the rules).
std::string readUserStylesheet(const std::string& path);

// True for a tag of Chinese, Japanese or Korean (any region or script subtag).
bool isCjkLanguage(std::string_view languageTag);

}  // namespace qb
