#include "book/page_writer.h"

#include <algorithm>
#include <iterator>
#include <optional>

#include "book/xhtml_page.h"
#include "book/xml/xml_text.h"
#include "platform/blank.h"
#include "platform/line_splitter.h"
#include "platform/output_file.h"
#include "platform/paths.h"
#include "platform/text_file.h"
#include "platform/utf8.h"

namespace qb {
namespace {

constexpr std::string_view kPageTail = "</div>\r\n</body>\r\n</html>\r\n";
// "<p>" before a paragraph's text, " </p> " and CR LF after it.
constexpr std::size_t kParagraphExtra = 11;
// "<h1>" before a heading's text, " </h1> " and CR LF after it.
constexpr std::size_t kHeadingExtra = 13;
// The most bytes one character takes once escaped ("&amp;").
constexpr std::size_t kWidestChar = 5;
// How far back from a forced cut a space is looked for, so that a long paragraph is cut
// between words where it has any.
constexpr std::size_t kSpaceWindow = 2048;
// A line with more bytes than this is never a heading, whatever its blanks.
constexpr std::size_t kMaxHeadingBytes = 1024;

std::string pageHead(int k, const std::string& languageTag, int epubVersion) {
    std::string title;
    appendEscapedText(title, xmlChars("page" + std::to_string(k)));
    std::vector<std::string> lines = pagePrologLines(epubVersion);
    const std::string rest[] = {pageRootStartTag(languageTag, epubVersion),
                                "<head>",
                                "<title> " + title + " </title> ",
                                kStylesheetLink,
                                "</head>",
                                "<body>",
                                "<div>"};
    lines.insert(lines.end(), std::begin(rest), std::end(rest));
    std::string head;
    for (const std::string& line : lines) {
        head += line;
        head += "\r\n";
    }
    return head;
}

// Where to cut escaped text so that the first piece has at most limit bytes: after the last
// space near the limit, else at the last character boundary, never inside "&amp;" and its kin.
std::size_t cutPoint(std::string_view text, std::size_t limit) {
    std::size_t cut = utf8CutBefore(text, limit);
    const std::size_t from = cut >= kWidestChar ? cut - kWidestChar : 0;
    const std::size_t amp = text.substr(from, cut - from).rfind('&');
    if (amp != std::string_view::npos &&
        text.substr(from + amp, cut - from - amp).find(';') == std::string_view::npos)
        cut = from + amp;
    const std::size_t window = std::min(kSpaceWindow, limit / 4);
    const std::size_t start = cut > window ? cut - window : 0;
    const std::size_t space = text.substr(start, cut - start).rfind(' ');
    if (space != std::string_view::npos) return start + space + 1;
    if (cut == 0) {
        // Cannot happen with a cap of at least smallestPageCap; cut after one character anyway.
        cut = text[0] == '&' ? text.find(';') + 1 : 1;
        while (cut < text.size() && isUtf8Continuation(text[cut])) ++cut;
    }
    return cut;
}

struct PlacedHeading {
    HeadingLevel level;
    std::string label;
    std::size_t page;  // index into the file's pages
};

// Lays paragraphs and headings out on the page files of one text file, opening a new page
// when the cap would be passed or a heading begins a chapter.
class PageComposer {
  public:
    PageComposer(int k, std::string folder, const PageOptions& options)
        : m_k(k),
          m_folder(std::move(folder)),
          m_head(pageHead(k, options.languageTag, options.epubVersion)),
          m_extension(pageFileExtension(options.epubVersion)) {
        if (options.maxPageBytes > 0) {
            m_cap = std::max(options.maxPageBytes,
                             smallestPageCap(k, options.languageTag, options.epubVersion));
            m_room = m_cap - m_head.size() - kPageTail.size();
        }
        m_scratch.reserve(256 * 1024);
    }

    // Part of the current paragraph's text.
    void text(std::string_view raw) {
        if (!m_paragraphInk) m_paragraphInk = !isBlank(raw);
        m_scratch.clear();
        appendParagraphChars(m_scratch, raw);
        if (m_cap == 0) {
            // Without a cap nothing needs measuring: the text goes straight out, so that a
            // huge line is never held twice.
            if (!m_streaming) {
                ensurePage();
                write("<p>");
                m_streaming = true;
            }
            write(m_scratch);
            return;
        }
        m_paragraph += m_scratch;
        const std::size_t limit = m_room - kParagraphExtra;
        while (m_paragraph.size() > limit) {
            const std::size_t cut = cutPoint(m_paragraph, limit);
            placeLine("<p>", std::string_view(m_paragraph).substr(0, cut), " </p> \r\n");
            m_paragraph.erase(0, cut);
        }
    }

    void endParagraph() {
        if (m_cap == 0) {
            if (m_streaming) {
                write(" </p> \r\n");
            } else {
                ensurePage();
                write("<p> </p> \r\n");
            }
            m_streaming = false;
            if (m_paragraphInk) m_pageHasInk = true;
        } else {
            placeLine("<p>", m_paragraph, " </p> \r\n");
            m_paragraph.clear();
        }
        m_paragraphInk = false;
    }

    void heading(HeadingLevel level, std::string_view trimmed) {
        // Each heading opens a page file of its own, so that its contents entry leads to it;
        // only blank paragraphs before it may share that page.
        if (m_pageHasInk || m_pageHasHeading) newPage();
        m_scratch.clear();
        appendParagraphChars(m_scratch, trimmed);
        const bool volume = level == HeadingLevel::Volume;
        const std::string_view open = volume ? "<h1>" : "<h2>";
        const std::string_view close = volume ? " </h1> \r\n" : " </h2> \r\n";
        std::string_view text = m_scratch;
        std::optional<std::size_t> page;
        // Only a cap below a few hundred bytes cuts a heading.
        while (m_cap > 0 && text.size() + kHeadingExtra > m_room) {
            const std::size_t cut = cutPoint(text, m_room - kHeadingExtra);
            placeLine(open, text.substr(0, cut), close);
            if (!page) page = m_pages.size() - 1;
            text.remove_prefix(cut);
        }
        placeLine(open, text, close);
        if (!page) page = m_pages.size() - 1;
        m_headings.push_back({level, std::string(trimmed), *page});
        m_pageHasHeading = true;
    }

    const std::vector<PlacedHeading>& headings() const { return m_headings; }

    std::vector<PageFile> finish() {
        ensurePage();
        closePage();
        return std::move(m_pages);
    }

  private:
    // Puts one whole element on the current page, or on a new one when it would pass the cap.
    void placeLine(std::string_view open, std::string_view text, std::string_view close) {
        const std::size_t size = open.size() + text.size() + close.size();
        if (m_file && m_cap > 0 && m_used > 0 && m_used + size > m_room) newPage();
        ensurePage();
        write(open);
        write(text);
        write(close);
        m_used += size;
        if (m_paragraphInk) m_pageHasInk = true;
    }

    void ensurePage() {
        if (!m_file) openPage();
    }

    void newPage() {
        if (m_file) closePage();
        openPage();
    }

    void openPage() {
        const std::size_t n = m_pages.size() + 1;
        std::string id = "page" + std::to_string(m_k);
        if (n > 1) id += "-" + std::to_string(n);
        std::string href = id + m_extension;
        m_file = std::make_unique<OutputFile>(m_folder + "/" + href);
        m_pages.push_back({std::move(id), std::move(href)});
        write(m_head);
        m_used = 0;
        m_pageHasInk = false;
        m_pageHasHeading = false;
    }

    void closePage() {
        write(kPageTail);
        m_file->close();
        m_file.reset();
    }

    void write(std::string_view bytes) { m_file->write(bytes); }

    int m_k;
    std::string m_folder;
    std::string m_head;
    const char* m_extension;
    std::size_t m_cap = 0;   // 0: no cap
    std::size_t m_room = 0;  // bytes a page has for its paragraphs and headings
    std::unique_ptr<OutputFile> m_file;
    std::vector<PageFile> m_pages;
    std::vector<PlacedHeading> m_headings;
    std::size_t m_used = 0;  // paragraph and heading bytes on the current page
    bool m_pageHasInk = false;
    bool m_pageHasHeading = false;
    std::string m_paragraph;  // escaped text of the paragraph under way (with a cap)
    bool m_paragraphInk = false;
    bool m_streaming = false;  // "<p>" written, the paragraph's end not yet (without a cap)
    std::string m_scratch;
};

// Lines into paragraphs: one each, or blocks separated by blank lines and joined with a space.
class Paragraphs {
  public:
    Paragraphs(ParagraphMode mode, PageComposer& out)
        : m_blocks(mode == ParagraphMode::Blocks), m_out(out) {}

    void lineText(std::string_view text) {
        if (!m_blocks) {
            m_out.text(text);
            return;
        }
        std::size_t from = 0;
        if (!m_lineInk) {
            from = firstNonBlank(text);
            if (from == std::string_view::npos) return;  // leading blanks are dropped
            if (m_blockOpen) m_out.text(" ");
            m_lineInk = true;
            m_blockOpen = true;
        }
        const std::size_t end = trailingBlanksStart(text);
        if (end <= from) {
            // Blanks that are dropped if the line ends after them.
            m_pendingBlanks.append(text.substr(from));
            return;
        }
        if (!m_pendingBlanks.empty()) {
            m_out.text(m_pendingBlanks);
            m_pendingBlanks.clear();
        }
        m_out.text(text.substr(from, end - from));
        m_pendingBlanks.assign(text.substr(end));
    }

    void lineEnd() {
        if (!m_blocks) {
            m_out.endParagraph();
            return;
        }
        if (!m_lineInk) endBlock();
        m_lineInk = false;
        m_pendingBlanks.clear();
    }

    void heading(HeadingLevel level, std::string_view trimmed) {
        if (m_blocks) {
            endBlock();
            m_lineInk = false;
            m_pendingBlanks.clear();
        }
        m_out.heading(level, trimmed);
    }

    void finish() {
        if (m_blocks) endBlock();
    }

  private:
    void endBlock() {
        if (!m_blockOpen) return;
        m_out.endParagraph();
        m_blockOpen = false;
    }

    bool m_blocks;
    PageComposer& m_out;
    bool m_lineInk = false;    // the line so far holds more than blanks
    bool m_blockOpen = false;  // a paragraph has begun and not ended
    std::string m_pendingBlanks;
};

// The first line that is not blank, trimmed and cut to kMaxHeadingChars characters.
class FirstLine {
  public:
    bool done() const { return m_done; }
    const std::string& text() const { return m_text; }

    void lineText(std::string_view text) {
        if (m_text.size() >= kMaxHeadingBytes) return;
        m_text.append(text.substr(0, utf8CutBefore(text, kMaxHeadingBytes - m_text.size())));
    }

    void lineEnd() {
        std::string_view trimmed = trimBlanks(m_text);
        if (trimmed.empty()) {
            m_text.clear();
            return;
        }
        m_text =
            std::string(trimBlanks(trimmed.substr(0, utf8BytesOfChars(trimmed, kMaxHeadingChars))));
        m_done = true;
    }

  private:
    std::string m_text;
    bool m_done = false;
};

// Finds the heading lines (when chapters are on) and the first line (when it labels the
// file), handing everything else on line by line. Only a line's first kMaxHeadingBytes are
// held back, so a line of any length costs no memory.
class LineClassifier : public LineHandler {
  public:
    LineClassifier(const ChapterHeadings* chapters, bool wantFirstLine, Paragraphs& out)
        : m_chapters(chapters), m_wantFirstLine(wantFirstLine), m_out(out) {}

    const FirstLine& firstLine() const { return m_firstLine; }

    void lineText(std::string_view text) override {
        if (m_wantFirstLine && !m_firstLine.done()) m_firstLine.lineText(text);
        if (m_chapters == nullptr || m_overflow) {
            m_out.lineText(text);
            return;
        }
        m_line.append(text);
        if (m_line.size() > kMaxHeadingBytes) {
            m_overflow = true;
            m_out.lineText(m_line);
            m_line.clear();
        }
    }

    void lineEnd() override {
        if (m_wantFirstLine && !m_firstLine.done()) m_firstLine.lineEnd();
        if (m_chapters != nullptr && !m_overflow) {
            const std::string_view trimmed = trimBlanks(m_line);
            const HeadingLevel level = m_chapters->classify(trimmed);
            if (level != HeadingLevel::None) {
                m_out.heading(level, trimmed);
                m_line.clear();
                return;
            }
            if (!m_line.empty()) m_out.lineText(m_line);
        }
        m_line.clear();
        m_overflow = false;
        m_out.lineEnd();
    }

  private:
    const ChapterHeadings* m_chapters;
    bool m_wantFirstLine;
    Paragraphs& m_out;
    FirstLine m_firstLine;
    std::string m_line;
    bool m_overflow = false;  // the line is too long to be a heading
};

std::string fileLabel(const std::string& sourcePath) {
    std::string name = fileNamePart(sourcePath);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    return name;
}

std::vector<TocEntry> fileEntries(const std::vector<PageFile>& pages,
                                  const std::vector<PlacedHeading>& headings,
                                  std::string fileLabel) {
    std::vector<TocEntry> toc;
    // A heading that opens the file's first page stands for the file: one entry, not two.
    if (headings.empty() || headings.front().page != 0)
        toc.push_back({std::move(fileLabel), pages.front().href, pages.front().id, {}});
    std::optional<std::size_t> volume;
    for (const PlacedHeading& h : headings) {
        TocEntry entry{h.label, pages[h.page].href, pages[h.page].id, {}};
        if (h.level == HeadingLevel::Volume) {
            toc.push_back(std::move(entry));
            volume = toc.size() - 1;
        } else if (volume) {
            toc[*volume].children.push_back(std::move(entry));
        } else {
            toc.push_back(std::move(entry));
        }
    }
    return toc;
}

}  // namespace

std::size_t smallestPageCap(int k, const std::string& languageTag, int epubVersion) {
    return pageHead(k, languageTag, epubVersion).size() + kPageTail.size() + kHeadingExtra +
           kWidestChar;
}

TextPages writeTextPages(const TextFeed& text, int k, const std::string& sourcePath,
                         const std::string& contentFolder, const PageOptions& options) {
    PageComposer composer(k, contentFolder, options);
    Paragraphs paragraphs(options.paragraphs, composer);
    LineClassifier lines(options.chapters, options.tocLabels == TocLabels::FirstLine, paragraphs);
    LineSplitter splitter(lines);
    text([&](std::string_view piece) { splitter.feed(piece); });
    splitter.finish();
    paragraphs.finish();

    TextPages result;
    result.pages = composer.finish();
    std::string label = "page" + std::to_string(k);
    if (options.tocLabels == TocLabels::File) {
        std::string name = fileLabel(sourcePath);
        if (!name.empty()) label = std::move(name);
    } else if (options.tocLabels == TocLabels::FirstLine && lines.firstLine().done()) {
        label = lines.firstLine().text();
    }
    result.toc = fileEntries(result.pages, composer.headings(), std::move(label));
    return result;
}

SourceText::SourceText(const std::string& path, const std::string& charset)
    : m_path(path), m_bytes(readFileBytes(path)), m_plan(planDecoding(m_bytes, charset, path)) {}

}  // namespace qb
