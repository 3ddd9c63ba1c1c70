#pragma once
// The book project as the user entered it, handed to the converter core by the window or the
// command line at the moment a conversion starts, with the reading choices that shape the book.

#include <cstddef>
#include <string>
#include <vector>

namespace qb {

// How the lines of a text file become paragraphs.
enum class ParagraphMode {
    Lines,   // each line one paragraph
    Blocks,  // blank lines separate paragraphs; the lines of a block are joined with one space
             // (none between two CJK characters)
    Auto,    // per text file, from its shape: Blocks for hard-wrapped prose, else each line one
             // paragraph with blank lines only separating; indentation left to the stylesheet
};

// How the contents entry of each text file is labelled (chapter entries carry their heading).
enum class TocLabels {
    Page,       // "page<k>"
    File,       // the file name without its extension
    FirstLine,  // the first non-blank line, 80 characters at most
};

// The largest page file a book holds unless the user asks otherwise: e-ink readers stall on more.
inline constexpr std::size_t kDefaultMaxPageBytes = 262144;

struct BookProject {
    std::vector<std::string> sourceFiles;  // text files in page order; file k gives page k
    std::string title;                     // as typed, not trimmed
    std::string author;                    // as typed, not trimmed
    std::string coverPath;                 // empty: no cover
    std::string outputFolder;              // folder that receives the .epub
    std::string charset;                   // empty: decide per file; else decode every file in it

    ParagraphMode paragraphs = ParagraphMode::Lines;
    std::string chapters;  // empty or "off": none; "auto"; else a pattern
    TocLabels tocLabels = TocLabels::Page;
    std::string language;  // empty: the locale's tag; "auto": detect; else a tag
    // The conventions a text follows (a Project Gutenberg header and footer, _emphasis_, scene
    // breaks, a contents list) are recognised and applied.
    bool conventions = false;
    std::size_t maxPageBytes = kDefaultMaxPageBytes;  // 0: pages are never split
    int epubVersion = 2;                              // 2 or 3
    int jobs = 0;                                     // 0: one per core
};

}  // namespace qb
