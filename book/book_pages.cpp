#include "book/book_pages.h"

#include <sys/stat.h>

#include <algorithm>

#include "book/aozora.h"
#include "book/book_metadata.h"
#include "book/xhtml_page.h"
#include "platform/errors.h"
#include "platform/language.h"
#include "platform/locale.h"
#include "platform/utf8.h"

namespace qb {

namespace {

// How many bytes of UTF-8 a text gives, for the progress within it: exact for UTF-8, else
// judged from its beginning, which costs little next to decoding it whole.
std::uint64_t decodedSizeGuess(const TextPlan& plan) {
    if (plan.validUtf8 || isUtf8CharsetName(plan.charset)) return plan.text.size();
    TextPlan head = plan;
    head.text = head.text.substr(0, 64 * 1024);
    std::uint64_t decoded = 0;
    try {
        decodeText(head, [&](std::string_view piece) { decoded += piece.size(); });
    } catch (const std::exception&) {
        return plan.text.size();
    }
    if (head.text.empty() || decoded == 0) return plan.text.size();
    return plan.text.size() * decoded / head.text.size();
}

// The text of a file, decoded once however often it is read. Pages planned first read the
// text twice (writeTextPages), and decoding a legacy charset is the dearer part of reading: the
// first reading keeps what it decoded, the second hands that on in the same pieces. Valid
// UTF-8 is handed on from the file's bytes and needs no copy. The copy is kept only while it
// stays within the file's size and kDecodedSlack more (GBK text grows by half), so that the
// bytes and the copy take at most twice the file and that; a larger one is decoded again.
class DecodedOnce {
  public:
    static constexpr std::size_t kDecodedSlack = 4 * 1024 * 1024;

    explicit DecodedOnce(SourceText& source)
        : m_source(source), m_cap(source.plan().validUtf8 ? 0 : source.size() + kDecodedSlack) {}

    void operator()(const TextSink& sink) {
        if (m_whole) {
            for (const std::string& piece : m_pieces) sink(piece);
            return;
        }
        bool keep = !m_read && m_cap > 0;
        m_read = true;
        // Kept piece by piece: one growing string would double its buffer past the cap.
        std::size_t kept = 0;
        m_source.decode([&](std::string_view piece) {
            if (keep && kept + piece.size() <= m_cap) {
                m_pieces.emplace_back(piece);
                kept += piece.size();
            } else if (keep) {
                keep = false;
                std::vector<std::string>().swap(m_pieces);
            }
            sink(piece);
        });
        m_whole = keep;
        // The copy stands in for the file's bytes from now on: at most one of the two is
        // held beside the pages being written.
        if (m_whole) m_source.release();
    }

  private:
    SourceText& m_source;
    std::size_t m_cap;
    bool m_read = false;                // the source has been decoded once
    bool m_whole = false;               // and all of it is in m_pieces
    std::vector<std::string> m_pieces;  // as the decoder gave them
};

}  // namespace

BookPages::BookPages(const BookProject& project, std::string contentFolder, LanguageDetector detect,
                     std::size_t maxMembers)
    : m_project(project), m_contentFolder(std::move(contentFolder)), m_detect(std::move(detect)) {
    if (!m_detect) m_detect = [](std::string_view text) { return detectLanguage(text); };
    if (project.chapterMode == ChapterMode::Auto)
        m_chapters = std::make_unique<ChapterHeadings>();
    else if (project.chapterMode == ChapterMode::Pattern)
        m_chapters = std::make_unique<ChapterHeadings>(project.chapterPattern);
    m_options.paragraphs = project.paragraphs;
    m_options.judgeParagraphs = project.paragraphs == ParagraphMode::Auto;
    m_options.conventions = project.conventions;
    m_options.chapters = m_chapters.get();
    m_options.maxPageBytes = project.maxPageBytes;
    m_options.tocLabels = project.tocLabels;
    if (project.epubVersion != 2 && project.epubVersion != 3)
        throw Error("EPUB version " + std::to_string(project.epubVersion) + " is neither 2 nor 3");
    m_options.epubVersion = project.epubVersion;
    m_options.chapterTitles = project.style != BookStyle::Plain;
    m_options.pageTitle = epub3Title(project.title);
    m_options.userStylesheet = !project.stylesheetPath.empty();

    // A zip archive without ZIP64 records holds 65,534 members. Counted as pages are planned,
    // a book over that stops at once rather than after every page has been written and the
    // packer has read them all. Besides its pages the book holds the template's two files,
    // fb.opf, fb.ncx, the stylesheet, the navigation document, the cover's two files, the
    // title page, the user's stylesheet and the body font.
    const bool cover = !project.coverPath.empty() || project.generatedCover;
    m_members = 5 + (project.epubVersion == 3 ? 1 : 0) + (cover ? 2 : 0) +
                (project.titlePage ? 1 : 0) + (project.stylesheetPath.empty() ? 0 : 1) +
                (project.fontPath.empty() ? 0 : 1);
    m_options.pageOpened = [this, maxMembers] {
        if (++m_members <= maxMembers) return;
        // In groups of three digits, as the user reads a large number.
        const std::string digits = std::to_string(maxMembers);
        std::string most;
        for (std::size_t i = 0; i < digits.size(); ++i) {
            if (i > 0 && (digits.size() - i) % 3 == 0) most += ',';
            most += digits[i];
        }
        throw Error("The book would have more than " + most +
                    " files, the most a zip archive without ZIP64 records holds. Fewer chapter "
                    "headings or larger pages make fewer page files");
    };
    m_options.vertical = project.writingMode == WritingMode::Vertical;
    m_aozoraFiles.assign(project.sourceFiles.size(), false);
    m_options.pageClosed = [this](const std::string& path) { pageClosed(path); };
    // A pipe's size is known only once it is read; until then it counts nothing.
    m_done.files = static_cast<int>(project.sourceFiles.size());
    for (const std::string& path : project.sourceFiles) {
        struct stat st {};
        const bool sized = ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
        m_sizes.push_back(sized ? static_cast<std::uint64_t>(st.st_size) : 0);
        m_done.textTotal += m_sizes.back();
    }

    if (project.language.empty()) {
        m_languageTag = qb::languageTag();
    } else if (project.language == "auto") {
        m_sampling = true;
    } else if (isLanguageTag(project.language)) {
        m_languageTag = project.language;
    } else {
        throw Error("\"" + project.language + "\" is not a language tag");
    }
    m_options.languageTag = m_languageTag;
}

BookPages::~BookPages() = default;

std::vector<int> BookPages::add(int k, ReadingReport& ui) {
    m_ui = &ui;
    const std::string& path = m_project.sourceFiles.at(static_cast<std::size_t>(k - 1));
    const auto source = std::make_unique<SourceText>(path, m_project.charset);
    const TextPlan& plan = source->plan();
    // The file may have grown or shrunk since it was listed, and a pipe had no size then.
    std::uint64_t& listed = m_sizes.at(static_cast<std::size_t>(k - 1));
    m_done.textTotal = m_done.textTotal - listed + source->size();
    listed = source->size();
    std::string head;
    bool aozora = false;
    if (m_project.conventions) {
        head = textHead(*source);
        aozora = looksLikeAozora(head);
        m_aozoraFiles.at(static_cast<std::size_t>(k - 1)) = aozora;
    }
    // The first file settles the version and the direction, before any page is written.
    if (!m_bookSettled) settleBook(head, aozora);
    ui.textRead(k, "page" + std::to_string(k) + pageFileExtension(m_options.epubVersion), path,
                plan.charset, plan.detected);
    if (plan.nulOffset != std::string_view::npos) {
        ui.showWarning(path,
                       "the text ends at a NUL byte at offset " + std::to_string(plan.nulOffset));
    }
    if (m_sampling) {
        const std::size_t before = m_sample.size();
        if (sample(*source) && m_sample.size() < kLanguageSampleBytes) {
            // All of the file's text is in the sample: its pages are written from there.
            m_kept.push_back({k, before, m_sample.size() - before, source->size()});
            return {};
        }
        return settleLanguage(source.get(), k);
    }
    DecodedOnce text(*source);
    write(
        k, [&](const TextSink& sink) { text(sink); }, source->size(), decodedSizeGuess(plan));
    return {k};
}

namespace {

// The beginning of a text, enough to tell its format by.
constexpr std::size_t kHeadBytes = 64 * 1024;

bool isJapanese(std::string_view text) {
    // Kana are what sets Japanese apart from the other languages written with kanji.
    std::size_t kana = 0;
    for (std::size_t pos = 0; pos + 2 < text.size(); ++pos) {
        if (text[pos] != '\xE3') continue;
        const auto b1 = static_cast<unsigned char>(text[pos + 1]);
        if (b1 >= 0x81 && b1 <= 0x83 && ++kana >= 20) return true;
    }
    return false;
}

}  // namespace

std::string BookPages::textHead(const SourceText& source) {
    TextPlan plan = source.plan();
    if (plan.text.size() > 4 * kHeadBytes) plan.text = plan.text.substr(0, 4 * kHeadBytes);
    std::string head;
    decodeText(plan, [&](std::string_view piece) {
        if (head.size() < kHeadBytes) head.append(piece);
    });
    return head;
}

void BookPages::settleBook(const std::string& head, bool aozora) {
    m_bookSettled = true;
    const bool japanese = aozora && isJapanese(head);
    // A Japanese book would otherwise carry the locale's language, and readers would choose
    // fonts and line breaks for that.
    if (japanese && m_project.language.empty()) {
        m_languageTag = "ja";
        m_options.languageTag = m_languageTag;
    }
    bool vertical = m_project.writingMode == WritingMode::Vertical ||
                    (m_project.writingMode == WritingMode::Auto && japanese);
    const bool ruby = aozora && hasAozoraRuby(head);
    if (!m_project.epubVersionChosen && (vertical || ruby)) {
        m_options.epubVersion = 3;
        m_versionNotes.push_back(std::string("EPUB 3, for its ") +
                                 (vertical && ruby ? "vertical pages and ruby"
                                  : vertical       ? "vertical pages"
                                                   : "ruby") +
                                 " (fb.ncx kept for older readers)");
    }
    if (vertical && m_options.epubVersion == 2) {
        vertical = false;
        m_versionNotes.push_back(
            "EPUB 2 cannot declare vertical writing: the pages are horizontal"
            " (--epub-version 3 makes them vertical)");
    }
    m_options.vertical = vertical;
}

std::string BookPages::stylesheetRules() const {
    if (m_anyAozora) return aozoraStylesheetRules(m_options.vertical);
    if (m_options.vertical) return verticalStylesheetRules();
    return {};
}

std::vector<std::string> BookPages::notes() const {
    std::vector<std::string> notes = m_versionNotes;
    if (m_anyAozora) {
        std::string text =
            "Aozora Bunko markup applied: " + std::to_string(m_rubyCount) + " readings set as ruby";
        notes.push_back(std::move(text));
    }
    if (!m_unapplied.empty()) {
        std::string text = "Aozora Bunko annotations left unapplied and dropped:";
        std::size_t shown = 0;
        for (const auto& [kind, count] : m_unapplied) {
            if (++shown > 20) {
                text += " and " + std::to_string(m_unapplied.size() - 20) + " more kinds";
                break;
            }
            text += (shown > 1 ? ", " : " ") + kind + " (" + std::to_string(count) + ")";
        }
        notes.push_back(std::move(text));
    }
    return notes;
}

std::vector<int> BookPages::finish() {
    if (!m_sampling) return {};
    return settleLanguage(nullptr, 0);
}

bool BookPages::sample(const SourceText& source) {
    const std::size_t before = m_sample.size();
    const std::size_t need = kLanguageSampleBytes - before;
    // Decoding the whole of a huge file to judge its first kLanguageSampleBytes would waste time:
    // no charset takes more than four bytes for a character of at least one byte of UTF-8.
    TextPlan plan = source.plan();
    bool whole = true;
    if (plan.text.size() / 4 > need) {
        plan.text = plan.text.substr(0, 4 * need);
        whole = false;
    }
    decodeText(plan, [&](std::string_view piece) {
        if (m_sample.size() - before <= need) m_sample.append(piece);
    });
    if (m_sample.size() - before > need) {
        m_sample.resize(before + utf8CutBefore(std::string_view(m_sample).substr(before), need));
        whole = false;
    }
    return whole;
}

std::vector<int> BookPages::settleLanguage(SourceText* current, int currentK) {
    m_sampling = false;
    m_languageTag = m_detect(m_sample);
    if (m_languageTag.empty() || !isLanguageTag(m_languageTag)) m_languageTag = qb::languageTag();
    m_options.languageTag = m_languageTag;

    std::vector<int> written;
    for (const Kept& kept : m_kept) {
        const std::string_view text = std::string_view(m_sample).substr(kept.offset, kept.size);
        write(
            kept.k,
            [&](const TextSink& sink) {
                if (!text.empty()) sink(text);
            },
            kept.bytes, kept.size);
        written.push_back(kept.k);
    }
    m_kept.clear();
    if (current != nullptr) {
        DecodedOnce text(*current);
        write(
            currentK, [&](const TextSink& sink) { text(sink); }, current->size(),
            decodedSizeGuess(current->plan()));
        written.push_back(currentK);
    }
    std::string().swap(m_sample);
    return written;
}

void BookPages::pageClosed(const std::string& path) {
    ++m_done.pages;
    if (!m_report) return;
    m_done.path = path;
    const std::uint64_t before = m_done.textDone;
    // The writer has taken a little more than this page holds; never past the file's end.
    const std::uint64_t within = m_fileDecoded == 0
                                     ? m_fileBytes
                                     : std::min(m_fileBytes, m_fed * m_fileBytes / m_fileDecoded);
    m_done.textDone = before + within;
    m_report(m_done);
    m_done.textDone = before;
}

void BookPages::write(int k, const TextFeed& text, std::uint64_t bytes, std::uint64_t decoded) {
    const std::string& path = m_project.sourceFiles.at(static_cast<std::size_t>(k - 1));
    m_options.aozora = m_aozoraFiles.at(static_cast<std::size_t>(k - 1));
    const std::size_t overBefore = m_chapters ? m_chapters->linesOverLimit() : 0;
    m_done.file = k;
    m_fileBytes = bytes;
    m_fileDecoded = decoded;
    // Counted afresh on each reading: a text planned first is read twice, and only the second
    // reading writes pages.
    const TextFeed counted = [&](const TextSink& sink) {
        m_fed = 0;
        text([&](std::string_view piece) {
            m_fed += piece.size();
            sink(piece);
        });
    };
    TextPages pages = writeTextPages(counted, k, path, m_contentFolder, m_options);
    m_done.textDone += bytes;
    // Silence would let the user believe that those lines are no headings.
    if (const std::size_t over = m_chapters ? m_chapters->linesOverLimit() - overBefore : 0;
        over > 0 && m_ui != nullptr) {
        m_ui->showWarning(path, "the chapter pattern backtracked too long on " +
                                    std::to_string(over) + (over == 1 ? " line" : " lines") +
                                    " and took " + (over == 1 ? "it" : "them") +
                                    " as text; a simpler pattern decides every line");
    }
    m_options.pageTitle = std::move(pages.lastTitle);
    if (m_options.aozora) {
        m_anyAozora = true;
        m_rubyCount += pages.rubyCount;
        for (const auto& [kind, count] : pages.unapplied) m_unapplied[kind] += count;
    }
    if (!pages.shape.empty() && m_ui != nullptr) m_ui->textShaped(k, pages.shape);
    for (PageFile& page : pages.pages) m_outline.pages.push_back(std::move(page));
    for (TocEntry& entry : pages.toc) m_outline.toc.push_back(std::move(entry));
}

}  // namespace qb
