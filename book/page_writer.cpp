#include "book/page_writer.h"

#include <algorithm>
#include <iterator>
#include <optional>

#include "book/text_blanks.h"
#include "book/text_conventions.h"
#include "book/text_survey.h"
#include "book/xhtml_page.h"
#include "book/xml/xml_text.h"
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

bool hasInk(std::string_view text) {
    return text.find_first_not_of(" \t") != std::string_view::npos;
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
        if (!m_paragraphInk) m_paragraphInk = hasInk(raw);
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
            write(m_scratch);
            return;
        }
        m_paragraph += m_scratch;
        // Room for the "</em>" that closes emphasis a cut leaves open.
        const std::size_t limit = m_room - kParagraphExtra - (m_markup ? 5 : 0);
        while (m_paragraph.size() > limit) {
            const std::size_t cut = cutPoint(m_paragraph, limit);
            std::string_view piece = std::string_view(m_paragraph).substr(0, cut);
            if (!m_markup) {
                placeLine("<p>", piece, " </p> \r\n");
                m_paragraph.erase(0, cut);
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
            m_paragraph.erase(0, cut);
            if (open) m_paragraph.insert(0, "<em>");
            m_emphasisOpen = false;
        }
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
            emit(m_pendingBlanks);
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
        std::string_view trimmed = trimHeadingBlanks(m_text);
        if (trimmed.empty()) {
            m_text.clear();
            return;
        }
        std::size_t chars = 0;
        std::size_t end = 0;
        while (end < trimmed.size() && chars < kMaxHeadingChars) {
            ++end;
            while (end < trimmed.size() && isUtf8Continuation(trimmed[end])) ++end;
            ++chars;
        }
        m_text = std::string(trimHeadingBlanks(trimmed.substr(0, end)));
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
            const std::string_view trimmed = trimHeadingBlanks(m_line);
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
    : m_path(path), m_bytes(readFileBytes(path)), m_plan(planDecoding(m_bytes, charset, path)) {}

TextPages writeTextFile(const std::string& sourcePath, int k, const std::string& contentFolder,
                        const PageOptions& options, const std::string& charset) {
    const SourceText source(sourcePath, charset);
    return writeTextPages([&](const TextSink& sink) { source.decode(sink); }, k, sourcePath,
                          contentFolder, options);
}

}  // namespace qb
