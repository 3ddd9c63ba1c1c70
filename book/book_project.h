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

// Where chapters begin inside a text file.
enum class ChapterMode {
    Off,      // nowhere: each text file is one contents entry
    Auto,     // at the usual headings of English and CJK books ("Chapter 12", "第十二章")
    Pattern,  // at the lines that the user's pattern matches whole
};

// How the contents entry of each text file is labelled (chapter entries carry their heading).
enum class TocLabels {
    Page,       // "page<k>"
    File,       // the file name without its extension
    FirstLine,  // the first non-blank line, 80 characters at most
};

// How the book is typeset.
enum class BookStyle {
    Plain,   // the first program's look: a gap after every paragraph, no indents, "page3" titles
    Indent,  // printed books' look: first lines indented, no gaps, centred headings
    Spaced,  // like Indent, but paragraphs unindented with a gap between them
};

// What a book may tell about itself besides its title and first author, as the user gave it
// (UTF-8; an empty field says nothing). The command line checks each value as it is read.
struct BookDetails {
    std::vector<std::string> otherAuthors;  // further dc:creator entries, after the author
    std::string titleSort;                  // the title as it is filed ("Hobbit, The")
    std::string authorSort;                 // the first author as filed ("Tolkien, J. R. R.")
    std::string description;
    std::vector<std::string> subjects;
    std::string publisher;
    std::string date;    // publication date: YYYY, YYYY-MM or YYYY-MM-DD
    std::string rights;  // empty: the fixed statement every book carries
    std::string isbn;    // ten or thirteen characters, hyphens removed, check digit right
    std::string series;
    std::string seriesIndex;  // a number such as 3 or 2.5; only with a series
};

// Which way the lines of the pages run.
enum class WritingMode {
    Horizontal,
    Vertical,  // top to bottom, lines right to left, pages turned to the left (EPUB 3 only)
    Auto,      // vertical for a Japanese book in the Aozora Bunko format, else horizontal
};

// The largest page file a book holds unless the user asks otherwise: e-ink readers stall on more.
inline constexpr std::size_t kDefaultMaxPageBytes = 262144;

struct BookProject {
    std::vector<std::string> sourceFiles;  // text files in page order; file k gives page k
    std::string title;                     // as typed, not trimmed
    std::string author;                    // as typed, not trimmed
    std::string coverPath;                 // empty: no cover, or the drawn one
    bool generatedCover = false;           // without coverPath: draw one from title and author
    std::string fontPath;                  // body font, FILE or FILE#INDEX; empty: the reader's
    std::string outputFolder;              // folder that receives the .epub
    std::string charset;                   // empty: decide per file; else decode every file in it

    ParagraphMode paragraphs = ParagraphMode::Lines;
    ChapterMode chapterMode = ChapterMode::Off;
    std::string chapterPattern;  // with ChapterMode::Pattern: a PCRE2 pattern; else unused
    TocLabels tocLabels = TocLabels::Page;
    std::string language;  // empty: the locale's tag; "auto": detect; else a tag
    // The conventions a text follows (a Project Gutenberg header and footer, _emphasis_, scene
    // breaks, a contents list, Aozora Bunko markup) are recognised and applied.
    bool conventions = false;
    std::size_t maxPageBytes = kDefaultMaxPageBytes;  // 0: pages are never split
    int epubVersion = 2;                              // 2 or 3
    int jobs = 0;                                     // 0: one per core
    // The members are deflated by libdeflate, in about half zlib's time; false keeps zlib's
    // bytes, those of the window's books and of --plain.
    bool fastDeflate = false;

    BookDetails details;
    BookStyle style = BookStyle::Plain;
    bool titlePage = false;  // a page with the title, the authors and the details after the cover
    std::string stylesheetPath;  // empty: none; else the user's CSS, linked after the book's own
    // false: the user left the version to the program, which takes 3 for a book with ruby or
    // vertical pages (EPUB 2 can have neither) and epubVersion otherwise.
    bool epubVersionChosen = true;
    WritingMode writingMode = WritingMode::Horizontal;
};

}  // namespace qb
