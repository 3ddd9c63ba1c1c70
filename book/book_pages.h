#pragma once
// The pages of a whole book, text file after text file, and the outline they make.
//
// The language of the book is settled here, once, before the first page is written: the
// project's tag, the locale's, or (for "auto") the one found in the first files' text. With
// "auto" the first files are read and their text sampled before any of their pages is written;
// each file is still read only once (it may be a pipe), and only the sample (at most
// kLanguageSampleBytes) and the bytes of one file are held at a time.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "book/book_outline.h"
#include "book/book_project.h"
#include "book/chapter_headings.h"
#include "book/page_writer.h"
#include "book/reading_report.h"

namespace qb {

// Finds the language of a UTF-8 text sample: a BCP 47 tag, or empty when it cannot tell.
using LanguageDetector = std::function<std::string(std::string_view)>;

// How much text the language is judged from: enough for thousands of words or characters.
// CLD2 names the language of real novels (English, Chinese, Japanese) the same from 16 KiB as
// from 256 KiB; it costs time in proportion, as do the decoding and cleaning of the sample.
inline constexpr std::size_t kLanguageSampleBytes = 64 * 1024;

// The most members a zip archive without ZIP64 records holds, and so the most files of a book.
inline constexpr std::size_t kMaxBookMembers = 65534;

// A page file complete, and how far the book's texts have come. The number of pages a text
// makes is known only once it is written, but its bytes are known before: progress counted in
// bytes of text moves steadily from the first page to the last.
struct PageDone {
    std::string path;             // the page file
    int file = 0;                 // the text file it was made from, counted from 1
    int files = 0;                // text files in the book
    std::size_t pages = 0;        // page files complete so far, this one among them
    std::uint64_t textDone = 0;   // bytes of the texts turned into pages so far
    std::uint64_t textTotal = 0;  // bytes of all the texts, as far as known (a pipe's once read)
};
using PageReport = std::function<void(const PageDone&)>;

class BookPages {
  public:
    // Raises Error for a chapter pattern that does not compile, a language that is not a
    // BCP 47 tag or an EPUB version other than 2 and 3. detect stands in for detectLanguage
    // (tests). A page that would make the book more than maxMembers files raises Error before
    // it is made.
    BookPages(const BookProject& project, std::string contentFolder, LanguageDetector detect = {},
              std::size_t maxMembers = kMaxBookMembers);
    ~BookPages();
    BookPages(const BookPages&) = delete;
    BookPages& operator=(const BookPages&) = delete;

    // Called as each page file is complete; an exception it throws ends the writing there.
    void onPageDone(PageReport report) { m_report = std::move(report); }

    // Reads text file k (counted from 1) and writes its pages, or keeps its text while the
    // language is still being sampled. Tells ui which charset it was read in and where a NUL
    // byte cut it. Returns the files whose pages this call wrote, in order.
    std::vector<int> add(int k, ReadingReport& ui);
    // Writes the pages still kept. Returns the files written.
    std::vector<int> finish();

    // The language tag of every page; settled once add or finish has written a page.
    const std::string& languageTag() const { return m_languageTag; }
    // The page files and contents entries of the files written so far.
    const BookOutline& outline() const { return m_outline; }
    // The EPUB version and the writing direction, settled with the first file read: an
    // Aozora Bunko text asks for vertical pages and ruby, which only EPUB 3 can declare.
    int epubVersion() const { return m_options.epubVersion; }
    bool vertical() const { return m_options.vertical; }
    // The first text is in the Aozora Bunko format, whose opening lines make the book's title
    // page: a second one would only repeat it.
    bool hasOwnTitlePage() const { return !m_aozoraFiles.empty() && m_aozoraFiles.front(); }
    // Rules the book's stylesheet needs beyond its own, for the pages written.
    std::string stylesheetRules() const;
    // What the user should know about the book made of the files so far: the version chosen
    // and why, the annotations left unapplied.
    std::vector<std::string> notes() const;

  private:
    struct Kept {
        int k;
        std::size_t offset;  // the file's whole text, in m_sample
        std::size_t size;
        std::uint64_t bytes;  // the file's own bytes, for the progress figures
    };

    // Writes the pages of text file k, whose file held bytes and decodes to about decoded bytes.
    void write(int k, const TextFeed& text, std::uint64_t bytes, std::uint64_t decoded);
    void pageClosed(const std::string& path);
    // Samples source's text; true when all of it went into the sample.
    bool sample(const SourceText& source);
    std::vector<int> settleLanguage(SourceText* current, int currentK);
    static std::string textHead(const SourceText& source);
    void settleBook(const std::string& head, bool aozora);

    const BookProject& m_project;
    std::string m_contentFolder;
    LanguageDetector m_detect;
    std::unique_ptr<ChapterHeadings> m_chapters;
    PageOptions m_options;
    std::string m_languageTag;
    bool m_sampling = false;  // "auto" and not settled yet
    std::string m_sample;
    std::vector<Kept> m_kept;
    BookOutline m_outline;
    ReadingReport* m_ui =
        nullptr;  // the one add was last given: warnings of pages written later go there
    std::size_t m_members = 0;  // files of the book planned so far, its pages among them
    bool m_bookSettled = false;
    std::vector<bool> m_aozoraFiles;  // by k - 1
    bool m_anyAozora = false;
    std::size_t m_rubyCount = 0;
    std::map<std::string, std::size_t> m_unapplied;
    std::vector<std::string> m_versionNotes;
    PageReport m_report;
    std::vector<std::uint64_t> m_sizes;  // of each text file: found by stat, then as read
    PageDone m_done;                     // the figures of the last page reported
    std::uint64_t m_fileBytes = 0;       // of the text file whose pages are being written
    std::uint64_t m_fileDecoded = 0;     // the UTF-8 bytes it gives, or a fair guess
    std::uint64_t m_fed = 0;             // of those, handed to the page writer so far
};

}  // namespace qb
