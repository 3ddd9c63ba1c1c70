#pragma once
// The reading and typesetting choices the window offers in its book-options dialog, as they are
// remembered in config.ini (section "Options", beside SavePath) and handed to the converter on
// BookProject.

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "book/book_project.h"

namespace qb {

class IniFile;

struct BookOptions {
    ParagraphMode paragraphs = ParagraphMode::Lines;
    ChapterMode chapterMode = ChapterMode::Off;
    std::string chapterPattern;  // with ChapterMode::Pattern
    TocLabels tocLabels = TocLabels::Page;
    std::string language;  // empty: the system's; "auto": detect from the text; else a tag
    std::size_t maxPageBytes = kDefaultMaxPageBytes;  // 0: no limit
    std::string charset;                              // empty: decided per file
    int epubVersion = 2;
    bool conventions = false;  // apply the text's conventions (Gutenberg, _emphasis_, ...)
    BookStyle style = BookStyle::Plain;  // the window keeps the first program's look unless asked
    bool titlePage = false;
    std::string stylesheetPath;  // empty: none
    // Vertical pages need EPUB 3; the dialog does not take them with EPUB 2.
    WritingMode writingMode = WritingMode::Horizontal;
    bool generatedCover = false;  // draw a cover when the book is given none
    std::string fontPath;         // body font to embed, FILE or FILE#INDEX; empty: none
    // Convert makes one book of each listed text, each with its own title and author, instead
    // of one book of them all. Not a choice about the book itself: applyTo leaves it out.
    bool oneBookPerFile = false;

    void applyTo(BookProject& project) const;
    bool operator==(const BookOptions&) const = default;
};

// The largest page cap the dialog and the settings file take, in KiB.
inline constexpr int kMaxPageKiB = 65536;

// Why a value cannot be kept in the settings file or used as the book's; empty when it can.
// Whether a chapter pattern, a language tag or a charset is one is for the checks both
// programs share (convert/book_choices.h).
std::string chapterPatternStorageProblem(const std::string& pattern);
std::string stylesheetProblem(const std::string& path);
std::string fontPathProblem(const std::string& path);

// The section of config.ini that holds the options.
inline constexpr const char* kBookOptionsSection = "Options";

// Reads the options; a missing or unusable value gives that option's default.
BookOptions readBookOptions(const IniFile& settings);
// The options as config.ini keeps them, key and value, every option.
std::vector<std::pair<std::string, std::string>> bookOptionEntries(const BookOptions& options);

}  // namespace qb
