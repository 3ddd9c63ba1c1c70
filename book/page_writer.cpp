#include "book/page_writer.h"

#include <algorithm>
#include <iterator>
#include <optional>

#include "book/aozora.h"
#include "book/text_blanks.h"
#include "book/text_conventions.h"
#include "book/text_survey.h"
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

// The most bytes of escaped text a page's title holds: a chapter heading may be a long line,
// and the room a page leaves for its text must not depend on it.
constexpr std::size_t kMaxPageTitleBytes = 240;

std::string pageHead(const std::string& title, const PageOptions& options) {
    std::vector<std::string> lines = pagePrologLines(options.epubVersion);
    const std::string rest[] = {pageRootStartTag(options.languageTag, options.epubVersion),
                                "<head>", "<title> " + title + " </title> ", kStylesheetLink};
    lines.insert(lines.end(), std::begin(rest), std::end(rest));
    if (options.userStylesheet) lines.push_back(kUserStylesheetLink);
    for (const char* line : {"</head>", "<body>", "<div>"}) lines.push_back(line);
    std::string head;
    for (const std::string& line : lines) {
        head += line;
        head += "\r\n";
    }
    return head;
}

std::string numberTitle(int k) {
    return "page" + std::to_string(k);
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
    // Nor inside "<em>" or "</em>" (text itself never holds a bare "<").
    const std::size_t tagFrom = cut >= 5 ? cut - 5 : 0;
    const std::size_t lt = text.substr(tagFrom, cut - tagFrom).rfind('<');
    if (lt != std::string_view::npos &&
        text.substr(tagFrom + lt, cut - tagFrom - lt).find('>') == std::string_view::npos)
        cut = tagFrom + lt;
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

// A label as a page's title: escaped and, when long, cut between words.
std::string pageTitle(std::string_view label) {
    std::string title;
    appendEscapedText(title, xmlChars(label));
    if (title.size() > kMaxPageTitleBytes) title.resize(cutPoint(title, kMaxPageTitleBytes));
    while (!title.empty() && title.back() == ' ') title.pop_back();
    return title;
}

// The biggest head a page of text file k can have: its room for text is measured from it.
std::size_t largestHeadSize(int k, const PageOptions& options) {
    if (!options.chapterTitles) return pageHead(numberTitle(k), options).size();
    return pageHead(std::string(kMaxPageTitleBytes, 'x'), options).size();
}

bool hasInk(std::string_view text) {
    return text.find_first_not_of(" \t") != std::string_view::npos;
}

// Where to cut a paragraph's markup so that the first piece has at most limit bytes: between
// elements and characters, never inside a tag, an element or a character reference. 0 when
// there is no such place (one element larger than the limit).
std::size_t markupCutPoint(std::string_view html, std::size_t limit) {
    std::size_t best = 0;
    int depth = 0;
    bool inTag = false;
    bool closing = false;
    bool inReference = false;
    for (std::size_t i = 0; i < html.size() && i <= limit; ++i) {
        const char c = html[i];
        if (i > 0 && depth == 0 && !inTag && !inReference && !isUtf8Continuation(c)) best = i;
        if (c == '<') {
            inTag = true;
            closing = i + 1 < html.size() && html[i + 1] == '/';
        } else if (c == '>' && inTag) {
            inTag = false;
            if (closing) {
                --depth;
            } else if (html[i - 1] != '/') {
                ++depth;
            }
        } else if (c == '&') {
            inReference = true;
        } else if (c == ';') {
            inReference = false;
        }
    }
    return best;
}

std::string_view headingTag(HeadingLevel level) {
    switch (level) {
        case HeadingLevel::Volume:
            return "h1";
        case HeadingLevel::Section:
            return "h3";
        default:
            return "h2";
    }
}

std::string classAttribute(std::string_view cssClass) {
    if (cssClass.empty()) return {};
    return " class=\"" + std::string(cssClass) + "\"";
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
          m_options(options),
          m_chapterTitles(options.chapterTitles),
          m_title(options.chapterTitles ? options.pageTitle : numberTitle(k)),
          m_extension(pageFileExtension(options.epubVersion)),
          m_pageOpened(options.pageOpened) {
        if (options.maxPageBytes > 0) {
            m_cap = std::max(options.maxPageBytes, smallestPageCap(k, options));
            m_room = m_cap - largestHeadSize(k, options) - kPageTail.size();
        }
        m_scratch.reserve(256 * 1024);
    }

    // Part of the current paragraph's text.
    void text(std::string_view raw) {
        if (!m_paragraphInk) m_paragraphInk = !isBlank(raw);
        m_scratch.clear();
        appendParagraphChars(m_scratch, raw);
        append();
    }

    // Markup inside the current paragraph: "<em>" or "</em>", always in pairs.
    void markup(std::string_view tag) {
        m_scratch.assign(tag);
        m_markup = true;
        append();
    }

    // A scene break: a paragraph of its own, centred by the stylesheet.
    void scene(std::string_view trimmed) {
        m_scratch.clear();
        appendParagraphChars(m_scratch, trimmed);
        placeLine("<p class=\"scene\">", m_scratch, " </p> \r\n");
        m_pageHasInk = true;
    }

    // What follows begins a page of its own: the back matter after the story.
    void newSection() {
        if (m_file && (m_pageHasInk || m_pageHasHeading)) newPage();
    }

  private:
    // Puts m_scratch (escaped text or markup) into the current paragraph.
    void append() {
        if (m_cap == 0) {
            // Without a cap nothing needs measuring: the text goes straight out, so that a
            // huge line is never held twice.
            if (!m_streaming) {
                ensurePage();
                write("<p>");
                m_streaming = true;
            }
            if (m_paragraphInk) writeHead();
            write(m_scratch);
            return;
        }
        m_paragraph += m_scratch;
        // Room for the "</em>" that closes emphasis a cut leaves open.
        const std::size_t limit = m_room - kParagraphExtra - (m_markup ? 5 : 0);
        // The placed parts are dropped once at the end: dropping each from the front would
        // move the rest every time, quadratic in a long piece.
        std::size_t placed = 0;
        while (m_paragraph.size() - placed > limit) {
            const std::string_view rest = std::string_view(m_paragraph).substr(placed);
            const std::size_t cut = cutPoint(rest, limit);
            const std::string_view piece = rest.substr(0, cut);
            placed += cut;
            if (!m_markup) {
                placeLine("<p>", piece, " </p> \r\n");
                continue;
            }
            // Emphasis open across the cut is closed before it and opened again after it.
            bool open = m_emphasisOpen;
            for (std::size_t at = piece.find('<'); at != std::string_view::npos;
                 at = piece.find('<', at + 1))
                open = piece.substr(at, 4) == "<em>";
            std::string closed(piece);
            if (open) closed += "</em>";
            placeLine("<p>", closed, " </p> \r\n");
            m_emphasisOpen = false;
            if (open) {
                m_paragraph.erase(0, placed);
                placed = 0;
                m_paragraph.insert(0, "<em>");
            }
        }
        m_paragraph.erase(0, placed);
    }

  public:
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
        m_emphasisOpen = false;
    }

    void heading(HeadingLevel level, std::string_view trimmed) {
        // Each heading opens a page file of its own, so that its contents entry leads to it;
        // only blank paragraphs before it may share that page.
        if (m_pageHasInk || m_pageHasHeading) newPage();
        m_scratch.clear();
        appendParagraphChars(m_scratch, trimmed);
        // The page's head waits for its first ink, so the heading that opens it names it.
        if (m_chapterTitles) m_title = std::string(trimmed);
        const std::string tag(headingTag(level));
        const std::string open = "<" + tag + ">";
        const std::string close = " </" + tag + "> \r\n";
        std::string_view text = m_scratch;
        std::optional<std::size_t> page;
        // Only a cap below a few hundred bytes cuts a heading.
        while (m_cap > 0 && text.size() + kHeadingExtra > m_room) {
            const std::size_t cut = cutPoint(text, m_room - kHeadingExtra);
            placeLine(open, text.substr(0, cut), close, true);
            if (!page) page = m_pages.size() - 1;
            text.remove_prefix(cut);
        }
        placeLine(open, text, close, true);
        if (!page) page = m_pages.size() - 1;
        m_headings.push_back({level, std::string(trimmed), *page});
        m_pageHasHeading = true;
    }

    // A paragraph of ready markup, cut between elements where it passes the cap.
    void markupParagraph(std::string_view html, std::string_view cssClass) {
        const std::string open = "<p" + classAttribute(cssClass) + ">";
        m_paragraphInk = hasInk(html);
        if (m_cap > 0) {
            const std::size_t extra = open.size() + kParagraphExtra;
            const std::size_t limit = m_room > extra ? m_room - extra : 0;
            while (html.size() > limit) {
                const std::size_t cut = markupCutPoint(html, limit);
                if (cut == 0) break;
                placeLine(open, html.substr(0, cut), " </p> \r\n");
                html.remove_prefix(cut);
            }
        }
        placeLine(open, html, " </p> \r\n");
        m_paragraphInk = false;
    }

    // A heading of ready markup, on a page of its own as every heading is; label is its
    // contents entry.
    void markupHeading(HeadingLevel level, std::string_view html, std::string_view cssClass,
                       const std::string& label) {
        if (m_pageHasInk || m_pageHasHeading) newPage();
        if (m_chapterTitles) m_title = label;
        const std::string tag(headingTag(level));
        m_paragraphInk = true;
        placeLine("<" + tag + classAttribute(cssClass) + ">", html, " </" + tag + "> \r\n");
        m_paragraphInk = false;
        m_headings.push_back({level, label, m_pages.size() - 1});
        m_pageHasHeading = true;
    }

    // True until the current page has something to read.
    bool pageEmpty() const { return !m_pageHasInk && !m_pageHasHeading; }

    // What follows starts a new page, unless the page so far holds nothing to read.
    void pageBreak() {
        if (m_pageHasInk || m_pageHasHeading) newPage();
    }

    const std::vector<PlacedHeading>& headings() const { return m_headings; }
    // The title of the last page, which the pages of the next text file continue under.
    const std::string& title() const { return m_title; }

    std::vector<PageFile> finish() {
        ensurePage();
        closePage();
        return std::move(m_pages);
    }

  private:
    // Puts one whole element on the current page, or on a new one when it would pass the cap.
    // A heading counts as ink.
    void placeLine(std::string_view open, std::string_view text, std::string_view close,
                   bool heading = false) {
        const std::size_t size = open.size() + text.size() + close.size();
        if (m_file && m_cap > 0 && m_used > 0 && m_used + size > m_room) newPage();
        ensurePage();
        if (heading || m_paragraphInk) writeHead();
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
        if (m_pageOpened) m_pageOpened();
        const std::size_t n = m_pages.size() + 1;
        std::string id = "page" + std::to_string(m_k);
        if (n > 1) id += "-" + std::to_string(n);
        std::string href = id + m_extension;
        m_path = m_folder + "/" + href;
        m_file = std::make_unique<OutputFile>(m_path);
        m_pages.push_back({std::move(id), std::move(href)});
        m_headWritten = false;
        // A page titled by number can take its head at once; one titled by its chapter holds
        // back what comes before its first ink (blank paragraphs), since a heading may follow.
        if (!m_chapterTitles) writeHead();
        m_used = 0;
        m_pageHasInk = false;
        m_pageHasHeading = false;
    }

    void writeHead() {
        if (m_headWritten) return;
        m_headWritten = true;
        std::string title = pageTitle(m_title);
        if (title.find_first_not_of(' ') == std::string::npos) title = numberTitle(m_k);
        m_file->write(pageHead(title, m_options));
        m_file->write(m_held);
        m_held.clear();
    }

    void closePage() {
        writeHead();
        write(kPageTail);
        m_file->close();
        m_file.reset();
        if (m_options.pageClosed) m_options.pageClosed(m_path);
    }

    void write(std::string_view bytes) {
        if (m_headWritten) {
            m_file->write(bytes);
        } else {
            m_held.append(bytes);
        }
    }

    int m_k;
    std::string m_folder;
    const PageOptions& m_options;
    bool m_chapterTitles;
    std::string m_title;  // of the current page, as its label reads
    const char* m_extension;
    std::function<void()> m_pageOpened;
    std::size_t m_cap = 0;   // 0: no cap
    std::size_t m_room = 0;  // bytes a page has for its paragraphs and headings
    std::unique_ptr<OutputFile> m_file;
    std::string m_path;  // of the page under way
    bool m_headWritten = false;
    std::string m_held;  // what the page holds before its head is written
    std::vector<PageFile> m_pages;
    std::vector<PlacedHeading> m_headings;
    std::size_t m_used = 0;  // paragraph and heading bytes on the current page
    bool m_pageHasInk = false;
    bool m_pageHasHeading = false;
    std::string m_paragraph;  // escaped text of the paragraph under way (with a cap)
    bool m_paragraphInk = false;
    bool m_streaming = false;     // "<p>" written, the paragraph's end not yet (without a cap)
    bool m_markup = false;        // paragraphs may hold emphasis
    bool m_emphasisOpen = false;  // at the start of m_paragraph
    std::string m_scratch;
};

// How lines become paragraphs.
enum class Shape {
    Lines,       // each line one paragraph, as it is
    Blocks,      // blank lines separate paragraphs; the lines between them are joined
    LineBlocks,  // each line with ink one paragraph, trimmed; blank lines only separate
};

// A paragraph longer than this is not searched for emphasis: it goes out as it comes.
constexpr std::size_t kMaxEmphasisBytes = 1 << 20;

// Lines into paragraphs, with the text's _emphasis_ set when asked.
class Paragraphs {
  public:
    Paragraphs(Shape shape, bool emphasis, PageComposer& out)
        : m_shape(shape), m_emphasis(emphasis), m_out(out) {}

    void lineText(std::string_view text) {
        if (m_shape == Shape::Lines) {
            emit(text);
            return;
        }
        std::size_t from = 0;
        if (!m_lineInk) {
            from = leadingBlankBytes(text);
            if (from == text.size()) return;  // leading blanks are dropped
            if (m_blockOpen) {
                // Wrapped CJK text runs on without a space.
                std::size_t length = 0;
                const char32_t next = utf8At(text, from, length);
                if (!isCjkChar(m_lastChar) || !isCjkChar(next)) emit(" ");
            }
            m_lineInk = true;
            m_blockOpen = true;
        }
        const std::string_view rest = text.substr(from);
        const std::size_t trailing = trailingBlankBytes(rest);
        if (trailing == rest.size()) {
            // Blanks that are dropped if the line ends after them.
            m_pendingBlanks.append(rest);
            return;
        }
        if (!m_pendingBlanks.empty()) {
            // In pieces, as the text itself comes: a run of blanks can be as long as the file.
            constexpr std::size_t kPiece = 64 * 1024;
            const std::string_view blanks = m_pendingBlanks;
            for (std::size_t at = 0; at < blanks.size(); at += kPiece)
                emit(blanks.substr(at, kPiece));
            m_pendingBlanks.clear();
        }
        const std::string_view body = rest.substr(0, rest.size() - trailing);
        emit(body);
        m_lastChar = lastUtf8Char(body);
        m_pendingBlanks.assign(rest.substr(body.size()));
    }

    void lineEnd() {
        if (m_shape == Shape::Lines) {
            flushEmphasis();
            m_out.endParagraph();
            return;
        }
        if (!m_lineInk || m_shape == Shape::LineBlocks) endBlock();
        m_lineInk = false;
        m_pendingBlanks.clear();
    }

    void heading(HeadingLevel level, std::string_view trimmed) {
        endLine();
        m_out.heading(level, trimmed);
    }

    void scene(std::string_view trimmed) {
        endLine();
        m_out.scene(trimmed);
    }

    // Ends the paragraph under way, in the shapes where a line alone does not.
    void breakParagraph() { endLine(); }

    // The back matter: a page of its own, its text as written.
    void backMatter() {
        endLine();
        m_out.newSection();
        m_emphasis = false;
    }

    void finish() {
        if (m_shape != Shape::Lines) endBlock();
    }

  private:
    void endLine() {
        if (m_shape == Shape::Lines) return;
        endBlock();
        m_lineInk = false;
        m_pendingBlanks.clear();
    }

    void endBlock() {
        if (!m_blockOpen) return;
        flushEmphasis();
        m_out.endParagraph();
        m_blockOpen = false;
    }

    void emit(std::string_view text) {
        if (!m_emphasis) {
            m_out.text(text);
            return;
        }
        if (!m_tooLong && m_held.size() + text.size() <= kMaxEmphasisBytes) {
            m_held.append(text);
            return;
        }
        if (!m_held.empty()) m_out.text(m_held);
        m_held.clear();
        m_tooLong = true;
        m_out.text(text);
    }

    void flushEmphasis() {
        m_tooLong = false;
        if (m_held.empty()) return;
        const std::string_view held = m_held;
        std::size_t pos = 0;
        for (const auto& [open, close] : emphasisPairs(held)) {
            if (open > pos) m_out.text(held.substr(pos, open - pos));
            m_out.markup("<em>");
            m_out.text(held.substr(open + 1, close - open - 1));
            m_out.markup("</em>");
            pos = close + 1;
        }
        if (pos < held.size()) m_out.text(held.substr(pos));
        m_held.clear();
    }

    Shape m_shape;
    bool m_emphasis;
    PageComposer& m_out;
    bool m_lineInk = false;    // the line so far holds more than blanks
    bool m_blockOpen = false;  // a paragraph has begun and not ended
    char32_t m_lastChar = 0;   // the last character of the paragraph's text so far
    std::string m_pendingBlanks;
    std::string m_held;  // the paragraph's text, held until its emphasis is known
    bool m_tooLong = false;
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

// The lines of an Aozora Bunko text, whole, through its converter onto the pages.
class AozoraLines : public LineHandler, private AozoraSink {
  public:
    AozoraLines(const PageOptions& options, PageComposer& out)
        : m_out(out), m_text(AozoraOptions{options.epubVersion == 3, options.vertical}, *this) {}

    AozoraText& text() { return m_text; }

    void lineText(std::string_view text) override { m_line.append(text); }
    void lineEnd() override {
        m_text.line(m_line);
        m_line.clear();
    }

  private:
    void paragraph(std::string_view html, std::string_view cssClass) override {
        // The indent a line opens with is the stylesheet's to give, as in every other text.
        const std::size_t ink = firstNonBlank(html);
        html.remove_prefix(ink == std::string_view::npos ? html.size() : ink);
        // Blank lines after a page break would only push the page's text away from its start.
        if (html.empty() && m_out.pageEmpty()) return;
        m_out.markupParagraph(html, cssClass);
    }
    void heading(int level, std::string_view html, std::string_view cssClass,
                 const std::string& label) override {
        const HeadingLevel kind = level == 1   ? HeadingLevel::Volume
                                  : level == 2 ? HeadingLevel::Chapter
                                               : HeadingLevel::Section;
        m_out.markupHeading(kind, html, cssClass, label);
    }
    void pageBreak() override { m_out.pageBreak(); }

    PageComposer& m_out;
    AozoraText m_text;
    std::string m_line;
};

// Hands lines on as the survey planned them: headings, the title lines they took, scene
// breaks, and a Project Gutenberg header and footer moved behind the story.
class PlannedLines : public LineHandler {
  public:
    PlannedLines(const TextReading& reading, bool wantFirstLine, Paragraphs& out)
        : m_reading(reading), m_wantFirstLine(wantFirstLine), m_out(out) {}

    const FirstLine& firstLine() const { return m_firstLine; }

    void lineText(std::string_view text) override {
        if (m_index < m_reading.storyBegin) {
            m_header.back().append(text);
            return;
        }
        if (m_index >= m_reading.storyEnd) {
            if (!m_inBackMatter) startBackMatter();
            m_out.lineText(text);
            return;
        }
        if (m_wantFirstLine && !m_firstLine.done()) m_firstLine.lineText(text);
        const LineRole role = m_reading.role(m_index);
        if (role == LineRole::OwnLine && !m_ownLineOpen) {
            m_out.breakParagraph();
            m_ownLineOpen = true;
        }
        if (role == LineRole::Text || role == LineRole::OwnLine) {
            m_out.lineText(text);
        } else if (m_line.size() < kMaxHeadingBytes) {
            m_line.append(text);
        }
    }

    void lineEnd() override {
        const std::size_t index = m_index++;
        if (index < m_reading.storyBegin) {
            m_header.emplace_back();
            return;
        }
        if (index >= m_reading.storyEnd) {
            if (!m_inBackMatter) startBackMatter();
            m_out.lineEnd();
            return;
        }
        if (m_wantFirstLine && !m_firstLine.done()) m_firstLine.lineEnd();
        switch (m_reading.role(index)) {
            case LineRole::Text:
                m_out.lineEnd();
                break;
            case LineRole::OwnLine:
                if (!m_ownLineOpen) m_out.breakParagraph();
                m_out.lineEnd();
                m_out.breakParagraph();
                m_ownLineOpen = false;
                break;
            case LineRole::Heading: {
                const PlannedHeading& heading = m_reading.headings.at(index);
                m_out.heading(heading.level, heading.label);
                break;
            }
            case LineRole::HeadingPart:
                break;
            case LineRole::SceneBreak:
                m_out.scene(trimBlanks(m_line));
                break;
        }
        m_line.clear();
    }

    void finish() {
        if (!m_inBackMatter && m_header.size() > 1) startBackMatter();
    }

  private:
    // The header goes first on the back matter's page, then the footer as it comes.
    void startBackMatter() {
        m_inBackMatter = true;
        m_out.backMatter();
        m_header.pop_back();  // the line under way when the header ended
        for (const std::string& line : m_header) {
            if (!line.empty()) m_out.lineText(line);
            m_out.lineEnd();
        }
        m_out.breakParagraph();
        m_header.clear();
    }

    const TextReading& m_reading;
    bool m_wantFirstLine;
    Paragraphs& m_out;
    FirstLine m_firstLine;
    std::size_t m_index = 0;  // of the line under way
    std::string m_line;       // a heading or scene-break line under way
    std::vector<std::string> m_header{std::string()};
    bool m_inBackMatter = false;
    bool m_ownLineOpen = false;
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
    // Each heading goes under the last one of a higher level: chapters under their volume,
    // sections under their chapter.
    std::vector<std::pair<int, std::vector<TocEntry>*>> open{{0, &toc}};
    for (const PlacedHeading& h : headings) {
        const int rank = h.level == HeadingLevel::Volume    ? 1
                         : h.level == HeadingLevel::Chapter ? 2
                                                            : 3;
        while (open.back().first >= rank) open.pop_back();
        std::vector<TocEntry>* into = open.back().second;
        into->push_back({h.label, pages[h.page].href, pages[h.page].id, {}});
        open.emplace_back(rank, &into->back().children);
    }
    return toc;
}

std::string defaultLabel(int k, const std::string& sourcePath, const PageOptions& options) {
    if (options.tocLabels == TocLabels::File) {
        std::string name = fileLabel(sourcePath);
        if (!name.empty()) return name;
    }
    return "page" + std::to_string(k);
}

TextPages writeAozoraPages(const TextFeed& text, int k, const std::string& sourcePath,
                           PageComposer& composer, const PageOptions& options) {
    AozoraLines lines(options, composer);
    LineSplitter splitter(lines);
    text([&](std::string_view piece) { splitter.feed(piece); });
    splitter.finish();
    lines.text().finish();

    TextPages result;
    result.pages = composer.finish();
    // The book's title page stands for the file in the contents.
    std::string label = lines.text().title();
    if (label.empty()) label = defaultLabel(k, sourcePath, options);
    result.toc = fileEntries(result.pages, composer.headings(), std::move(label));
    result.rubyCount = lines.text().rubyCount();
    result.unapplied = lines.text().unapplied();
    return result;
}

}  // namespace

std::size_t smallestPageCap(int k, const PageOptions& options) {
    return largestHeadSize(k, options) + kPageTail.size() + kHeadingExtra + kWidestChar;
}

std::size_t smallestPageCap(int k, const std::string& languageTag, int epubVersion) {
    PageOptions options;
    options.languageTag = languageTag;
    options.epubVersion = epubVersion;
    return smallestPageCap(k, options);
}

TextPages writeTextPages(const TextFeed& text, int k, const std::string& sourcePath,
                         const std::string& contentFolder, const PageOptions& options) {
    PageComposer composer(k, contentFolder, options);
    if (options.aozora) return writeAozoraPages(text, k, sourcePath, composer, options);
    const bool wantFirstLine = options.tocLabels == TocLabels::FirstLine;
    const bool autoChapters = options.chapters != nullptr && options.chapters->builtIn();
    std::optional<FirstLine> firstLine;
    TextPages result;
    if (!options.conventions && !options.judgeParagraphs && !autoChapters) {
        Paragraphs paragraphs(
            options.paragraphs == ParagraphMode::Blocks ? Shape::Blocks : Shape::Lines, false,
            composer);
        LineClassifier lines(options.chapters, wantFirstLine, paragraphs);
        LineSplitter splitter(lines);
        text([&](std::string_view piece) { splitter.feed(piece); });
        splitter.finish();
        paragraphs.finish();
        firstLine = lines.firstLine();
    } else {
        // Read twice: once to plan (the shape of the paragraphs, where the story begins and
        // which lines are headings), once to write.
        SurveyOptions plan;
        plan.chapters = options.chapters;
        plan.autoChapters = autoChapters;
        plan.conventions = options.conventions;
        plan.judgeShape = options.judgeParagraphs;
        TextSurvey survey(plan);
        {
            LineSplitter splitter(survey);
            text([&](std::string_view piece) { splitter.feed(piece); });
            splitter.finish();
        }
        const TextReading reading = survey.finish();
        Shape shape = options.paragraphs == ParagraphMode::Blocks ? Shape::Blocks : Shape::Lines;
        if (options.judgeParagraphs) {
            shape = reading.blocks ? Shape::Blocks : Shape::LineBlocks;
            result.shape = reading.blocks
                               ? "paragraphs: blocks (hard-wrapped prose; blank lines separate)"
                               : "paragraphs: lines (one paragraph a line)";
        }
        Paragraphs paragraphs(shape, options.conventions, composer);
        PlannedLines lines(reading, wantFirstLine, paragraphs);
        LineSplitter splitter(lines);
        text([&](std::string_view piece) { splitter.feed(piece); });
        splitter.finish();
        lines.finish();
        paragraphs.finish();
        firstLine = lines.firstLine();
    }

    result.pages = composer.finish();
    result.lastTitle = composer.title();
    std::string label = "page" + std::to_string(k);
    if (options.tocLabels == TocLabels::File) {
        std::string name = fileLabel(sourcePath);
        if (!name.empty()) label = std::move(name);
    } else if (wantFirstLine && firstLine->done()) {
        label = firstLine->text();
    }
    result.toc = fileEntries(result.pages, composer.headings(), std::move(label));
    return result;
}

SourceText::SourceText(const std::string& path, const std::string& charset)
    : m_path(path),
      m_bytes(readFileBytes(path)),
      m_size(m_bytes.size()),
      m_plan(planDecoding(m_bytes, charset, path)) {}

}  // namespace qb
