#pragma once
// The pages of a whole book, text file after text file, and the outline they make.
//
// The language of the book is settled here, once, before the first page is written: the
// project's tag, the locale's, or (for "auto") the one found in the first files' text. With
// "auto" the first files are read and their text sampled before any of their pages is written;
// each file is still read only once (it may be a pipe), and only the sample (at most
// kLanguageSampleBytes) and the bytes of one file are held at a time.

#include <functional>
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

// How much text the language is judged from.
inline constexpr std::size_t kLanguageSampleBytes = 256 * 1024;

class BookPages {
  public:
    // Raises Error for a chapter pattern that does not compile, a language that is not a
    // BCP 47 tag or an EPUB version other than 2 and 3. detect stands in for detectLanguage
    // (tests).
    BookPages(const BookProject& project, std::string contentFolder, LanguageDetector detect = {});
    ~BookPages();
    BookPages(const BookPages&) = delete;
    BookPages& operator=(const BookPages&) = delete;

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

  private:
    struct Kept {
        int k;
        std::size_t offset;  // the file's whole text, in m_sample
        std::size_t size;
    };

    void write(int k, const TextFeed& text);
    // Samples source's text; true when all of it went into the sample.
    bool sample(const SourceText& source);
    std::vector<int> settleLanguage(const SourceText* current, int currentK);

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
};

}  // namespace qb
