#pragma once
// Turns the text of one text file into its page files.
//
// Text file k gives page<k>.html and, when a size cap or a chapter heading calls for more,
// page<k>-2.html, page<k>-3.html, ...: all with the same head (title "page<k>", or each
// page's chapter when the options ask for it), each cut
// between paragraphs. A paragraph longer than a page holds is cut into consecutive paragraphs
// whose texts joined give it back. A page under the cap is the same whether splitting is on
// or off. In an EPUB 3 book the pages are XHTML5 and named .xhtml instead.

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "book/book_outline.h"
#include "book/book_project.h"
#include "book/chapter_headings.h"
#include "platform/iconv_converter.h"
#include "platform/text_decoding.h"

namespace qb {

struct PageOptions {
    std::string languageTag;  // xml:lang of every page
    ParagraphMode paragraphs = ParagraphMode::Lines;
    const ChapterHeadings* chapters = nullptr;  // null: no chapter headings
    // The most bytes a page file may hold; 0: no cap. A cap too small for a page's head, its
    // tail and one character is raised to that (see smallestPageCap).
    std::size_t maxPageBytes = kDefaultMaxPageBytes;
    TocLabels tocLabels = TocLabels::Page;
    int epubVersion = 2;  // 3: XHTML5 heads, whose extra bytes the cap counts
    // Called before each page file is made; may be empty. An exception it throws ends the
    // writing, so that a book too big to pack stops as soon as that is known.
    std::function<void()> pageOpened;
    // Called once each page file is complete and closed, with its path; may be empty. The file
    // is not touched again, so it may be read (packed) from then on. An exception it throws
    // ends the writing between two pages, which is how a run is cancelled within one text.
    std::function<void(const std::string& path)> pageClosed;
    // False: every page of text file k is titled "page<k>". True: each page is titled with
    // the label of the chapter it belongs to; before the file's first heading, pageTitle.
    bool chapterTitles = false;
    std::string pageTitle;
    bool userStylesheet = false;  // pages also link the user's stylesheet, after the book's
    // The text is in the Aozora Bunko format: its markup becomes ruby, headings, page breaks
    // and styles (see book/aozora.h), one line one paragraph whatever paragraphs says.
    bool aozora = false;
    bool vertical = false;  // the pages are set vertically (two-digit numbers upright)
    // Judge each file's paragraphs from its shape (blocks or one a line); paragraphs then
    // names only the mode used when this is off.
    bool judgeParagraphs = false;
    // Apply the text's conventions: a Project Gutenberg header and footer moved behind the
    // story, _emphasis_, scene breaks, contents lists kept as text.
    bool conventions = false;
};

// What writing one text file made.
struct TextPages {
    std::vector<PageFile> pages;  // in reading order, page<k>.html first
    std::vector<TocEntry> toc;    // the file's first-level contents entries
    std::string lastTitle;        // the last page's title, which the next file's pages go on with
    // Aozora Bunko texts: the readings set as ruby and the annotations left unapplied, by kind.
    std::size_t rubyCount = 0;
    std::map<std::string, std::size_t> unapplied;
    std::string shape;  // how its paragraphs were judged; empty when they were not
};

// Hands the text, decoded to UTF-8, to a sink in pieces that end on character boundaries.
using TextFeed = std::function<void(const TextSink&)>;

// Writes the pages of text file k into contentFolder; sourcePath only names the file for a
// contents label. Raises EFCreateError or EWriteError.
TextPages writeTextPages(const TextFeed& text, int k, const std::string& sourcePath,
                         const std::string& contentFolder, const PageOptions& options);

// A text file read once, with the plan for decoding it. The pages are written from it after
// it has been read, so no page exists for a file that cannot be read or decoded.
class SourceText {
  public:
    // Raises EFOpenError, or Error for a named charset that iconv lacks.
    SourceText(const std::string& path, const std::string& charset);
    SourceText(const SourceText&) = delete;
    SourceText& operator=(const SourceText&) = delete;

    const std::string& path() const { return m_path; }
    const TextPlan& plan() const { return m_plan; }
    // The bytes the file held, as read.
    std::size_t size() const { return m_size; }
    void decode(const TextSink& sink) const { decodeText(m_plan, sink); }
    // Frees the bytes once their text is held decoded elsewhere: nothing is decoded after.
    void release() {
        std::string().swap(m_bytes);
        m_plan.text = {};
    }

  private:
    std::string m_path;
    std::string m_bytes;
    std::size_t m_size;
    TextPlan m_plan;  // views into m_bytes
};

// The smallest cap that pages of text file k can keep: the head, the tail and one heading of
// one character, the biggest element a page must be able to take whole.
std::size_t smallestPageCap(int k, const std::string& languageTag, int epubVersion = 2);
std::size_t smallestPageCap(int k, const PageOptions& options);

}  // namespace qb
