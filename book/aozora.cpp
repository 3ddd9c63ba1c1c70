#include "book/aozora.h"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <vector>

#include "book/chapter_headings.h"
#include "book/xml/xml_text.h"
#include "platform/blank.h"
#include "platform/iconv_converter.h"
#include "platform/utf8.h"

namespace qb {
namespace {

constexpr std::string_view kAnnotationOpen = "［＃";
constexpr std::string_view kGaijiOpen = "※［＃";
constexpr std::string_view kSquareOpen = "［";
constexpr std::string_view kSquareClose = "］";
constexpr std::string_view kRubyOpen = "《";
constexpr std::string_view kRubyClose = "》";
constexpr std::string_view kRubyBar = "｜";
constexpr std::string_view kLegendTitle = "【テキスト中に現れる記号について】";
constexpr std::string_view kColophonStart = "底本：";
// Lines above the legend that can be the title block; more means the dashes are no legend.
constexpr std::size_t kMaxTitleLines = 10;
// Indents beyond this many characters are set at this many.
constexpr int kMaxIndent = 20;
// The deepest nesting of styles and ruby: each level copies what it wraps, so without a
// bound 50,000 annotations on the same word would take quadratic time.
constexpr int kMaxDepth = 8;

std::size_t charLength(std::string_view s, std::size_t pos) {
    const std::size_t n = utf8SequenceLength(s, pos);
    return n == 0 ? 1 : n;
}

// The characters a reading without ｜ belongs to: kanji and the marks that stand among them.
bool isRubyBaseChar(std::uint32_t cp) {
    return (cp >= 0x4E00 && cp <= 0x9FFF) || (cp >= 0x3400 && cp <= 0x4DBF) ||
           (cp >= 0xF900 && cp <= 0xFAFF) || (cp >= 0x20000 && cp <= 0x3FFFF) || cp == 0x3005 ||
           cp == 0x3006 || cp == 0x3007 || cp == 0x30F6 || cp == 0x30F5 || cp == 0x303B;
}

// A dashed line: the legend's frame.
bool isDashedLine(std::string_view line) {
    std::size_t dashes = 0;
    for (const char c : line) {
        if (c == '-') {
            ++dashes;
        } else if (c != ' ' && c != '\t') {
            return false;
        }
    }
    return dashes >= 10;
}

// A number in half-width or full-width digits at the start of text; its length in bytes goes
// to used.
std::optional<int> leadingNumber(std::string_view text, std::size_t& used) {
    int value = 0;
    std::size_t pos = 0;
    bool any = false;
    while (pos < text.size()) {
        int digit = -1;
        if (text[pos] >= '0' && text[pos] <= '9') {
            digit = text[pos] - '0';
            pos += 1;
        } else if (text.substr(pos, 2) == "\xEF\xBC" && pos + 2 < text.size() &&
                   static_cast<unsigned char>(text[pos + 2]) >= 0x90 &&
                   static_cast<unsigned char>(text[pos + 2]) <= 0x99) {
            digit = static_cast<unsigned char>(text[pos + 2]) - 0x90;
            pos += 3;
        } else {
            break;
        }
        any = true;
        value = std::min(value * 10 + digit, 10000);
    }
    used = pos;
    if (!any) return std::nullopt;
    return value;
}

// "N" + suffix exactly, for "２字下げ" and kin.
std::optional<int> numberBefore(std::string_view text, std::string_view suffix) {
    std::size_t used = 0;
    const std::optional<int> n = leadingNumber(text, used);
    if (!n || text.substr(used) != suffix) return std::nullopt;
    return std::min(*n, kMaxIndent);
}

// The kind of an annotation as the progress output names it: quoted text and numbers
// generalised, so that 500 unknown annotations of one kind make one line.
std::string annotationKind(std::string_view annotation) {
    std::string kind;
    std::size_t pos = 0;
    int quoted = 0;
    while (pos < annotation.size() && kind.size() < 90) {
        const std::size_t n = charLength(annotation, pos);
        const std::string_view c = annotation.substr(pos, n);
        if (c == "「") {
            if (quoted++ == 0) kind += "「…";
        } else if (c == "」") {
            if (quoted > 0 && --quoted == 0) kind += "」";
        } else if (quoted == 0) {
            std::size_t used = 0;
            if (leadingNumber(annotation.substr(pos), used)) {
                kind += "N";
                pos += used;
                continue;
            }
            kind += c;
        }
        pos += n;
    }
    if (quoted > 0) kind += "」";
    return kind;
}

struct Style {
    std::string_view open;
    std::string_view close;
};

// The inline styles, by the annotation that asks for them.
std::optional<Style> inlineStyle(std::string_view command) {
    static const std::pair<std::string_view, Style> kStyles[] = {
        {"傍点", {"<em class=\"sesame\">", "</em>"}},
        {"白ゴマ傍点", {"<em class=\"open-sesame\">", "</em>"}},
        {"丸傍点", {"<em class=\"circle\">", "</em>"}},
        {"白丸傍点", {"<em class=\"open-circle\">", "</em>"}},
        {"黒丸傍点", {"<em class=\"circle\">", "</em>"}},
        {"黒三角傍点", {"<em class=\"triangle\">", "</em>"}},
        {"白三角傍点", {"<em class=\"open-triangle\">", "</em>"}},
        {"二重丸傍点", {"<em class=\"double-circle\">", "</em>"}},
        {"蛇の目傍点", {"<em class=\"open-double-circle\">", "</em>"}},
        {"ばつ傍点", {"<em class=\"cross\">", "</em>"}},
        {"傍線", {"<span class=\"underline\">", "</span>"}},
        {"二重傍線", {"<span class=\"double-underline\">", "</span>"}},
        {"鎖線", {"<span class=\"dotted-underline\">", "</span>"}},
        {"破線", {"<span class=\"dashed-underline\">", "</span>"}},
        {"波線", {"<span class=\"wavy-underline\">", "</span>"}},
        {"太字", {"<b>", "</b>"}},
        {"斜体", {"<i>", "</i>"}},
        {"縦中横", {"<span class=\"tcy\">", "</span>"}},
        {"上付き小文字", {"<sup>", "</sup>"}},
        {"下付き小文字", {"<sub>", "</sub>"}},
    };
    // Marks on the left of a vertical line are set like those on the right: readers differ
    // too much in what they do with the left side.
    if (command.starts_with("左に")) command.remove_prefix(std::string_view("左に").size());
    for (const auto& [name, style] : kStyles)
        if (command == name) return style;
    return std::nullopt;
}

// 1, 2 or 3 for a heading annotation (with its 同行 and 窓 variants), else 0.
int headingLevel(std::string_view command) {
    for (const std::string_view prefix : {"同行", "窓"})
        if (command.starts_with(prefix)) command.remove_prefix(prefix.size());
    if (command == "大見出し") return 1;
    if (command == "中見出し") return 2;
    if (command == "小見出し") return 3;
    return 0;
}

bool isEditorialNote(std::string_view a) {
    return a.find("底本では") != std::string_view::npos || a == "ママ" || a.ends_with("」はママ") ||
           a.ends_with("」のママ") || a.starts_with("ルビの") || a.ends_with("はママ");
}

bool isPageBreak(std::string_view a) {
    return a == "改ページ" || a == "改丁" || a == "改見開き" || a == "改段";
}

// The text of a line cut into pieces, so that a later annotation can wrap the text it names.
struct Piece {
    std::string plain;  // the text a back-reference matches: a ruby's base, without its reading
    std::string html;   // empty for plain text, which is escaped when it is wrapped or written
    bool text = true;
    int depth = 0;  // elements nested in html
};

struct OpenStyle {
    std::string command;
    std::size_t piece;  // the first piece the style covers
};

// JIS X 0213 characters through glibc's EUC-JISX0213 table, remembered once looked up.
class JisTable {
  public:
    std::string character(int plane, int row, int cell) {
        if (plane < 1 || plane > 2 || row < 1 || row > 94 || cell < 1 || cell > 94) return {};
        const int key = plane * 10000 + row * 100 + cell;
        if (const auto it = m_known.find(key); it != m_known.end()) return it->second;
        std::string result;
        try {
            if (!m_converter) m_converter = std::make_unique<IconvConverter>("EUC-JISX0213");
            std::string bytes;
            if (plane == 2) bytes += '\x8F';
            bytes += static_cast<char>(0xA0 + row);
            bytes += static_cast<char>(0xA0 + cell);
            result = m_converter->convert(bytes);
            // Unassigned cells come back as U+FFFD.
            if (result.find("\xEF\xBF\xBD") != std::string::npos) result.clear();
        } catch (const std::exception&) {
            result.clear();
        }
        m_known.emplace(key, result);
        return result;
    }

  private:
    std::unique_ptr<IconvConverter> m_converter;
    std::unordered_map<int, std::string> m_known;
};

// The character an outside-the-charset annotation names: by JIS X 0213 plane-row-cell or by
// "U+XXXX"; empty when it names neither or names nothing that exists.
std::string gaijiCharacter(std::string_view annotation, JisTable& jis) {
    std::size_t from = 0;
    // Quoted descriptions may hold "、" of their own.
    if (annotation.starts_with("「")) {
        const std::size_t close = annotation.rfind("」");
        if (close != std::string_view::npos) from = close;
    }
    while (from < annotation.size()) {
        std::size_t end = annotation.find("、", from);
        if (end == std::string_view::npos) end = annotation.size();
        std::string_view field = annotation.substr(from, end - from);
        from = end + std::string_view("、").size();
        for (const std::string_view level : {"第3水準", "第4水準", "第３水準", "第４水準"})
            if (field.starts_with(level)) field.remove_prefix(level.size());
        if (field.starts_with("U+") || field.starts_with("u+")) {
            std::uint32_t cp = 0;
            std::size_t digits = 0;
            for (const char c : field.substr(2)) {
                const int v = c >= '0' && c <= '9'   ? c - '0'
                              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                     : -1;
                if (v < 0 || ++digits > 6) break;
                cp = cp * 16 + static_cast<std::uint32_t>(v);
            }
            if (digits >= 4 && digits <= 6 && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF) &&
                cp >= 0x20) {
                std::string out;
                appendUtf8(out, cp);
                return xmlChars(out);
            }
            continue;
        }
        // plane-row-cell in ASCII digits: "1-85-54".
        int numbers[3] = {0, 0, 0};
        std::size_t pos = 0;
        bool ok = true;
        for (int i = 0; i < 3 && ok; ++i) {
            std::size_t count = 0;
            while (pos < field.size() && field[pos] >= '0' && field[pos] <= '9' && count < 3) {
                numbers[i] = numbers[i] * 10 + (field[pos] - '0');
                ++pos;
                ++count;
            }
            ok = count > 0 &&
                 (i == 2 ? pos == field.size() : pos < field.size() && field[pos] == '-');
            ++pos;
        }
        if (ok) return jis.character(numbers[0], numbers[1], numbers[2]);
    }
    return {};
}

// What a description of an outside-the-charset character shows: its quoted text, if any.
std::string_view gaijiDescription(std::string_view annotation) {
    if (annotation.starts_with("「")) {
        const std::size_t close = annotation.rfind("」");
        if (close != std::string_view::npos && close > 3) return annotation.substr(3, close - 3);
    }
    return annotation.substr(0, annotation.find("、"));
}

// The positions of bracket pairs on a line, found in one pass so that no unclosed bracket makes
// the line's reading quadratic. Closes[i] is the position of the bracket that closes the one
// opened at opens[i]; opens are ascending.
class BracketPairs {
  public:
    void find(std::string_view line, std::string_view open, std::string_view close) {
        m_pairs.clear();
        m_stack.clear();
        for (std::size_t pos = 0; pos < line.size();) {
            if (line[pos] != open[0] && line[pos] != close[0]) {
                ++pos;
            } else if (line.compare(pos, open.size(), open) == 0) {
                m_stack.push_back(pos);
                pos += open.size();
            } else if (line.compare(pos, close.size(), close) == 0) {
                if (!m_stack.empty()) {
                    m_pairs.emplace_back(m_stack.back(), pos);
                    m_stack.pop_back();
                }
                pos += close.size();
            } else {
                pos += 1;
            }
        }
        std::sort(m_pairs.begin(), m_pairs.end());
    }

    // The close of the bracket opened at pos, or npos.
    std::size_t closeOf(std::size_t pos) const {
        const auto it =
            std::lower_bound(m_pairs.begin(), m_pairs.end(), std::make_pair(pos, std::size_t{0}));
        if (it == m_pairs.end() || it->first != pos) return std::string_view::npos;
        return it->second;
    }

  private:
    std::vector<std::pair<std::size_t, std::size_t>> m_pairs;
    std::vector<std::size_t> m_stack;
};

}  // namespace

class AozoraText::Impl {
  public:
    Impl(const AozoraOptions& options, AozoraSink& sink) : m_options(options), m_sink(sink) {}

    void line(std::string_view text) {
        switch (m_state) {
            case State::Head:
                headLine(text);
                return;
            case State::Legend:
                if (isDashedLine(text)) m_state = State::Body;
                return;
            case State::Body:
                if (text.starts_with(kColophonStart) && m_blockHeading == 0) {
                    m_sink.pageBreak();
                    m_state = State::Colophon;
                }
                bodyLine(text);
                return;
            case State::Colophon:
                bodyLine(text);
                return;
        }
    }

    void finish() {
        if (m_state == State::Head) replayHead();
        if (m_blockHeading != 0) endBlockHeading();
    }

    std::string m_title;
    std::size_t m_rubyCount = 0;
    std::map<std::string, std::size_t> m_unapplied;

  private:
    enum class State { Head, Legend, Body, Colophon };

    // Lines are held until the legend shows whether they are the title block.
    void headLine(std::string_view text) {
        if (isDashedLine(text)) {
            m_state = State::Legend;
            titleBlock();
            return;
        }
        m_head.emplace_back(text);
        // The legend names its marks in its first line after the dashes; a text with markup
        // before any dashes, or too many lines, has no legend.
        if (m_head.size() > kMaxTitleLines || text.find(kAnnotationOpen) != std::string::npos ||
            text.find(kRubyOpen) != std::string::npos)
            replayHead();
    }

    void replayHead() {
        m_state = State::Body;
        std::vector<std::string> lines;
        lines.swap(m_head);
        for (const std::string& l : lines) line(l);
    }

    // The lines above the legend: the title, any subtitle, the author; a page of their own.
    void titleBlock() {
        std::vector<std::string_view> lines;
        for (const std::string& l : m_head)
            if (!trimBlanks(l).empty()) lines.push_back(trimBlanks(l));
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const char* cls = i == 0                                      ? "book-title"
                              : i + 1 == lines.size() && lines.size() > 1 ? "book-author"
                                                                          : "book-subtitle";
            parse(lines[i]);
            if (i == 0) m_title = std::string(trimBlanks(plainText()));
            m_sink.paragraph(m_html, cls);
        }
        if (!lines.empty()) m_sink.pageBreak();
        m_head.clear();
    }

    void bodyLine(std::string_view text) {
        m_lineHeading = 0;
        m_lineClass.clear();
        m_breakBefore = false;
        m_breakAfter = false;
        m_hadAnnotation = false;
        parse(text);
        const bool empty = m_pieces.empty();

        if (m_breakBefore) {
            m_sink.pageBreak();
            m_pageMiddle = false;
        }
        if (m_blockHeading != 0) {
            if (!empty) {
                if (!m_blockHeadingHtml.empty()) {
                    m_blockHeadingHtml += "<br/>";
                    m_blockHeadingLabel += ' ';
                }
                m_blockHeadingHtml += m_html;
                m_blockHeadingLabel += trimBlanks(plainText());
            }
        } else if (m_lineHeading != 0 && !empty) {
            m_sink.heading(m_lineHeading, m_html, lineClasses(),
                           std::string(trimBlanks(plainText())));
        } else if (!empty || !m_hadAnnotation) {
            m_sink.paragraph(m_html, lineClasses());
        }
        if (m_endBlockHeading) {
            m_endBlockHeading = false;
            endBlockHeading();
        }
        if (m_breakAfter) {
            m_sink.pageBreak();
            m_pageMiddle = false;
        }
    }

    void endBlockHeading() {
        if (!m_blockHeadingHtml.empty())
            m_sink.heading(m_blockHeading, m_blockHeadingHtml, m_blockIndentClass,
                           m_blockHeadingLabel);
        m_blockHeading = 0;
        m_blockHeadingHtml.clear();
        m_blockHeadingLabel.clear();
    }

    std::string lineClasses() const {
        std::string cls = m_lineClass.empty() ? m_blockIndentClass : m_lineClass;
        const auto add = [&cls](std::string_view c) {
            if (c.empty()) return;
            if (!cls.empty()) cls += ' ';
            cls += c;
        };
        add(m_blockAlignClass);
        if (m_state == State::Colophon) add("colophon");
        if (m_pageMiddle) add("page-middle");
        return cls;
    }

    // Reads one line into m_pieces and renders it into m_html.
    void parse(std::string_view text) {
        m_pieces.clear();
        m_open.clear();
        m_textOpen = false;
        m_rubyMark.reset();
        m_squares.find(text, kSquareOpen, kSquareClose);
        m_rubies.find(text, kRubyOpen, kRubyClose);
        std::size_t pos = 0;
        while (pos < text.size()) {
            const std::string_view rest = text.substr(pos);
            if (rest.starts_with(kGaijiOpen)) {
                const std::size_t open = pos + std::string_view("※").size();
                const std::size_t close = m_squares.closeOf(open);
                if (close != std::string_view::npos) {
                    gaiji(text.substr(open + kAnnotationOpen.size(),
                                      close - open - kAnnotationOpen.size()));
                    pos = close + kSquareClose.size();
                    continue;
                }
            }
            if (rest.starts_with(kAnnotationOpen)) {
                const std::size_t close = m_squares.closeOf(pos);
                m_hadAnnotation = true;
                if (close == std::string_view::npos) {
                    // Unclosed: the mark goes, the text after it stays.
                    ++m_unapplied["［＃ without ］"];
                    pos += kAnnotationOpen.size();
                } else {
                    annotation(text.substr(pos + kAnnotationOpen.size(),
                                           close - pos - kAnnotationOpen.size()));
                    pos = close + kSquareClose.size();
                }
                continue;
            }
            if (rest.starts_with(kRubyBar)) {
                closeText();
                m_rubyMark = m_pieces.size();
                pos += kRubyBar.size();
                continue;
            }
            if (rest.starts_with(kRubyOpen)) {
                const std::size_t close = m_rubies.closeOf(pos);
                if (close != std::string_view::npos) {
                    ruby(text.substr(pos + kRubyOpen.size(), close - pos - kRubyOpen.size()));
                    pos = close + kRubyClose.size();
                    continue;
                }
            }
            // Anything else is text, a lone 《 or 》 among it.
            std::size_t end = pos + charLength(text, pos);
            while (end < text.size() && !isMarkStart(text, end)) end += charLength(text, end);
            appendText(text.substr(pos, end - pos));
            pos = end;
        }
        // Styles left open at the line's end cover the rest of it.
        while (!m_open.empty()) {
            const OpenStyle open = m_open.back();
            m_open.pop_back();
            if (const std::optional<Style> style = inlineStyle(open.command))
                wrap(open.piece, *style);
        }
        m_html.clear();
        for (const Piece& p : m_pieces) appendHtml(m_html, p);
    }

    static bool isMarkStart(std::string_view text, std::size_t pos) {
        const char c = text[pos];
        if (c != '\xE2' && c != '\xEF' && c != '\xE3') return false;
        const std::string_view rest = text.substr(pos);
        return rest.starts_with(kGaijiOpen) || rest.starts_with(kAnnotationOpen) ||
               rest.starts_with(kRubyBar) || rest.starts_with(kRubyOpen);
    }

    void appendText(std::string_view text) {
        if (!m_textOpen) {
            m_pieces.push_back({});
            m_textOpen = true;
        }
        m_pieces.back().plain += text;
    }

    void closeText() { m_textOpen = false; }

    std::string plainText() const {
        std::string plain;
        for (const Piece& p : m_pieces) plain += p.plain;
        return plain;
    }

    void appendHtml(std::string& out, const Piece& p, bool upright = true) const {
        if (!p.text) {
            out += p.html;
            return;
        }
        if (!m_options.vertical || !upright) {
            appendParagraphChars(out, p.plain);
            return;
        }
        // Two half-width digits stand upright in one character's space, as in print.
        const std::string_view s = p.plain;
        std::size_t from = 0;
        for (std::size_t pos = 0; pos < s.size();) {
            if (s[pos] < '0' || s[pos] > '9') {
                ++pos;
                continue;
            }
            std::size_t end = pos;
            while (end < s.size() && s[end] >= '0' && s[end] <= '9') ++end;
            if (end - pos == 2) {
                appendParagraphChars(out, s.substr(from, pos - from));
                out += "<span class=\"tcy\">";
                out += s.substr(pos, 2);
                out += "</span>";
                from = end;
            }
            pos = end;
        }
        appendParagraphChars(out, s.substr(from));
    }

    int depthFrom(std::size_t first) const {
        int depth = 0;
        for (std::size_t i = first; i < m_pieces.size(); ++i)
            depth = std::max(depth, m_pieces[i].depth);
        return depth + 1;
    }

    // Wraps pieces [first, end) in one element.
    void wrap(std::size_t first, const Style& style) {
        if (first >= m_pieces.size()) return;
        const int depth = depthFrom(first);
        if (depth > kMaxDepth) {
            ++m_unapplied["styles nested too deep"];
            return;
        }
        Piece wrapped;
        wrapped.text = false;
        wrapped.depth = depth;
        wrapped.html = style.open;
        const bool upright = style.open != "<span class=\"tcy\">";
        for (std::size_t i = first; i < m_pieces.size(); ++i) {
            wrapped.plain += m_pieces[i].plain;
            appendHtml(wrapped.html, m_pieces[i], upright);
        }
        wrapped.html += style.close;
        m_pieces.resize(first);
        m_pieces.push_back(std::move(wrapped));
        closeText();
        if (m_rubyMark && *m_rubyMark > first) m_rubyMark = first;
    }

    // The index of the first piece of the line's text that ends with quoted, splitting a piece
    // of plain text where needed; nullopt when the text before does not end so.
    std::optional<std::size_t> findBack(std::string_view quoted) {
        if (quoted.empty()) return std::nullopt;
        std::size_t j = m_pieces.size();
        std::string_view rest = quoted;
        while (!rest.empty() && j > 0) {
            Piece& p = m_pieces[j - 1];
            if (p.plain.size() <= rest.size() && rest.ends_with(p.plain)) {
                rest.remove_suffix(p.plain.size());
                --j;
            } else if (p.text && p.plain.ends_with(rest)) {
                Piece tail;
                tail.plain = p.plain.substr(p.plain.size() - rest.size());
                p.plain.resize(p.plain.size() - rest.size());
                m_pieces.insert(m_pieces.begin() + static_cast<std::ptrdiff_t>(j), std::move(tail));
                rest = {};
            } else {
                return std::nullopt;
            }
        }
        if (!rest.empty()) return std::nullopt;
        closeText();
        return j;
    }

    void ruby(std::string_view rawReading) {
        const std::string reading = inlineText(rawReading);
        std::size_t first = m_pieces.size();
        if (m_rubyMark) {
            first = *m_rubyMark;
            m_rubyMark.reset();
        } else if (!m_pieces.empty() && m_pieces.back().text && m_textOpen) {
            // The run of kanji that ends the text before.
            Piece& p = m_pieces.back();
            std::size_t start = p.plain.size();
            std::size_t pos = 0;
            while (pos < p.plain.size()) {
                std::size_t n = 0;
                if (!isRubyBaseChar(utf8At(p.plain, pos, n)))
                    start = p.plain.size();
                else if (start == p.plain.size())
                    start = pos;
                pos += n;
            }
            if (start < p.plain.size()) {
                if (start > 0) {
                    Piece tail;
                    tail.plain = p.plain.substr(start);
                    p.plain.resize(start);
                    m_pieces.push_back(std::move(tail));
                }
                first = m_pieces.size() - 1;
            }
        }
        if (first < m_pieces.size() && depthFrom(first) > kMaxDepth) first = m_pieces.size();
        if (first >= m_pieces.size() || reading.empty()) {
            // A reading with nothing to stand over stays in the text, in parentheses.
            ++m_unapplied["《…》 without a base"];
            appendText("（" + reading + "）");
            return;
        }
        Piece piece;
        piece.text = false;
        piece.depth = depthFrom(first);
        std::string base;
        for (std::size_t i = first; i < m_pieces.size(); ++i) {
            piece.plain += m_pieces[i].plain;
            appendHtml(base, m_pieces[i]);
        }
        std::string rt;
        appendParagraphChars(rt, reading);
        if (m_options.rubyElements) {
            piece.html = "<ruby>" + base + "<rp>（</rp><rt>" + rt + "</rt><rp>）</rp></ruby>";
        } else {
            piece.html = base + "（" + rt + "）";
        }
        m_pieces.resize(first);
        m_pieces.push_back(std::move(piece));
        closeText();
        ++m_rubyCount;
    }

    // Text inside a reading or a quotation: outside-the-charset characters resolved, other
    // annotations and marks left out.
    std::string inlineText(std::string_view text) {
        std::string out;
        std::size_t pos = 0;
        while (pos < text.size()) {
            const std::string_view rest = text.substr(pos);
            if (rest.starts_with(kGaijiOpen) || rest.starts_with(kAnnotationOpen)) {
                const bool isGaiji = rest.starts_with(kGaijiOpen);
                const std::size_t from = isGaiji ? kGaijiOpen.size() : kAnnotationOpen.size();
                const std::size_t close = rest.find(kSquareClose, from);
                if (close != std::string_view::npos) {
                    const std::string_view a = rest.substr(from, close - from);
                    if (isGaiji) {
                        const std::string c = gaijiCharacter(a, m_jis);
                        out += c.empty() ? std::string(gaijiDescription(a)) : c;
                    }
                    pos += close + kSquareClose.size();
                    continue;
                }
            }
            if (rest.starts_with(kRubyBar)) {
                pos += kRubyBar.size();
                continue;
            }
            const std::size_t n = charLength(text, pos);
            out += text.substr(pos, n);
            pos += n;
        }
        return out;
    }

    void gaiji(std::string_view annotation) {
        const std::string c = gaijiCharacter(annotation, m_jis);
        if (!c.empty()) {
            appendText(c);
            return;
        }
        // Named by neither code: its description, marked, stands for it.
        closeText();
        Piece piece;
        piece.text = false;
        piece.plain = std::string(gaijiDescription(annotation));
        piece.html = "<span class=\"gaiji\">";
        appendParagraphChars(piece.html, piece.plain);
        piece.html += "</span>";
        m_pieces.push_back(std::move(piece));
        ++m_unapplied["※［＃…］ without a character code"];
    }

    void unknown(std::string_view annotation) { ++m_unapplied[annotationKind(annotation)]; }

    void annotation(std::string_view a) {
        if (isEditorialNote(a)) return;
        if (a.starts_with("「") && backReference(a)) return;
        if (isPageBreak(a)) {
            (m_pieces.empty() ? m_breakBefore : m_breakAfter) = true;
            return;
        }
        if (a == "ページの左右中央") {
            m_pageMiddle = true;
            return;
        }
        if (const std::optional<int> n = numberBefore(a, "字下げ")) {
            m_lineClass = "jisage-" + std::to_string(*n);
            return;
        }
        if (a == "地付き") {
            m_lineClass = "chitsuki";
            return;
        }
        if (a.starts_with("地から")) {
            if (const std::optional<int> n = numberBefore(a.substr(9), "字上げ")) {
                m_lineClass = "chiage-" + std::to_string(*n);
                return;
            }
        }
        if (a.starts_with("ここから")) {
            blockStart(a.substr(std::string_view("ここから").size()), a);
            return;
        }
        if (a.starts_with("ここで")) {
            blockEnd(a.substr(std::string_view("ここで").size()), a);
            return;
        }
        if (a.ends_with("終わり")) {
            const std::string_view command =
                a.substr(0, a.size() - std::string_view("終わり").size());
            for (std::size_t i = m_open.size(); i > 0; --i) {
                if (m_open[i - 1].command != command) continue;
                const OpenStyle open = m_open[i - 1];
                m_open.erase(m_open.begin() + static_cast<std::ptrdiff_t>(i - 1));
                if (const std::optional<Style> style = inlineStyle(command))
                    wrap(open.piece, *style);
                return;
            }
            if (headingLevel(command) != 0) return;  // its start made the line a heading
            unknown(a);
            return;
        }
        if (const int level = headingLevel(a)) {
            m_lineHeading = level;
            return;
        }
        if (inlineStyle(a)) {
            if (m_open.size() >= kMaxDepth) {
                ++m_unapplied["styles nested too deep"];
                return;
            }
            closeText();
            m_open.push_back({std::string(a), m_pieces.size()});
            return;
        }
        unknown(a);
    }

    // "「X」は中見出し", "「X」に傍点" and their kin: applied to the X that ends the text before.
    bool backReference(std::string_view a) {
        for (std::size_t close = a.rfind("」"); close != std::string_view::npos && close > 0;
             close = a.rfind("」", close - 1)) {
            const std::string_view after = a.substr(close + std::string_view("」").size());
            std::string_view command;
            for (const std::string_view particle : {"は", "に", "の"}) {
                if (after.starts_with(particle)) command = after.substr(particle.size());
            }
            const int level = headingLevel(command);
            const std::optional<Style> style = inlineStyle(command);
            if (level == 0 && !style) continue;
            const std::string quoted = inlineText(a.substr(3, close - 3));
            const std::optional<std::size_t> first = findBack(quoted);
            if (!first) {
                ++m_unapplied[annotationKind(a) + " (text not found before it)"];
                return true;
            }
            if (level != 0) {
                m_lineHeading = level;
            } else {
                wrap(*first, *style);
            }
            return true;
        }
        return false;
    }

    void blockStart(std::string_view what, std::string_view whole) {
        if (const int level = headingLevel(what)) {
            if (m_blockHeading != 0) endBlockHeading();
            m_blockHeading = level;
            return;
        }
        if (const std::optional<int> n = numberBefore(what, "字下げ")) {
            m_blockIndentClass = "jisage-" + std::to_string(*n);
            return;
        }
        // "ここからN字下げ、折り返してM字下げ" and "ここから改行天付き、折り返してM字下げ":
        // the first line of each paragraph at N, the lines it wraps into at M.
        const std::size_t comma = what.find("、折り返して");
        if (comma != std::string_view::npos) {
            const std::string_view first = what.substr(0, comma);
            const std::optional<int> m = numberBefore(
                what.substr(comma + std::string_view("、折り返して").size()), "字下げ");
            const std::optional<int> n =
                first == "改行天付き" ? std::optional<int>(0) : numberBefore(first, "字下げ");
            if (m && n) {
                m_blockIndentClass = "jisage-" + std::to_string(*m) + " indent-" +
                                     (*n < *m ? "m" : "") + std::to_string(std::abs(*n - *m));
                return;
            }
        }
        if (what == "地付き") {
            m_blockAlignClass = "chitsuki";
            return;
        }
        if (what.starts_with("地から")) {
            if (const std::optional<int> n = numberBefore(what.substr(9), "字上げ")) {
                m_blockAlignClass = "chiage-" + std::to_string(*n);
                return;
            }
        }
        unknown(whole);
    }

    void blockEnd(std::string_view what, std::string_view whole) {
        if (what == "字下げ終わり") {
            m_blockIndentClass.clear();
        } else if (what == "地付き終わり" || what == "字上げ終わり") {
            m_blockAlignClass.clear();
        } else if (what.ends_with("終わり") &&
                   headingLevel(what.substr(0, what.size() - std::string_view("終わり").size()))) {
            // Ends after this line, which belongs to the heading when it has text.
            if (m_blockHeading != 0) m_endBlockHeading = true;
        } else {
            unknown(whole);
        }
    }

    const AozoraOptions m_options;
    AozoraSink& m_sink;
    State m_state = State::Head;
    std::vector<std::string> m_head;
    JisTable m_jis;
    BracketPairs m_squares;
    BracketPairs m_rubies;

    // The line under way.
    std::vector<Piece> m_pieces;
    std::vector<OpenStyle> m_open;
    bool m_textOpen = false;
    std::optional<std::size_t> m_rubyMark;  // the piece a ｜ starts
    std::string m_html;
    int m_lineHeading = 0;
    std::string m_lineClass;
    bool m_breakBefore = false;
    bool m_breakAfter = false;
    bool m_hadAnnotation = false;

    // Blocks that span lines.
    std::string m_blockIndentClass;
    std::string m_blockAlignClass;
    int m_blockHeading = 0;
    std::string m_blockHeadingHtml;
    std::string m_blockHeadingLabel;
    bool m_endBlockHeading = false;
    bool m_pageMiddle = false;  // "ページの左右中央" until the page ends
};

AozoraText::AozoraText(const AozoraOptions& options, AozoraSink& sink)
    : m_impl(std::make_unique<Impl>(options, sink)) {}
AozoraText::~AozoraText() = default;
void AozoraText::line(std::string_view text) {
    m_impl->line(text);
}
void AozoraText::finish() {
    m_impl->finish();
}
const std::string& AozoraText::title() const {
    return m_impl->m_title;
}
std::size_t AozoraText::rubyCount() const {
    return m_impl->m_rubyCount;
}
const std::map<std::string, std::size_t>& AozoraText::unapplied() const {
    return m_impl->m_unapplied;
}

bool looksLikeAozora(std::string_view head) {
    if (head.find(kLegendTitle) != std::string_view::npos) return true;
    const std::size_t open = head.find(kAnnotationOpen);
    if (open == std::string_view::npos) return false;
    const std::size_t close = head.find(kSquareClose, open);
    const std::size_t lineEnd = head.find('\n', open);
    return close != std::string_view::npos &&
           (lineEnd == std::string_view::npos || close < lineEnd);
}

bool hasAozoraRuby(std::string_view head) {
    const std::size_t open = head.find(kRubyOpen);
    return open != std::string_view::npos && head.find(kRubyClose, open) != std::string_view::npos;
}

std::string jisX0213Character(int plane, int row, int cell) {
    JisTable table;
    return table.character(plane, row, cell);
}

std::string verticalStylesheetRules() {
    return "html { writing-mode: vertical-rl; -webkit-writing-mode: vertical-rl; "
           "-epub-writing-mode: vertical-rl; }\n"
           "body { line-break: strict; -webkit-line-break: strict; -epub-line-break: strict; "
           "word-break: normal; }\n"
           ".tcy { text-combine-upright: all; -webkit-text-combine: horizontal; "
           "-epub-text-combine: horizontal; }\n";
}

std::string aozoraStylesheetRules(bool vertical) {
    // Indents run from where lines start: the top in vertical writing, the left otherwise.
    const char* start = vertical ? "top" : "left";
    const char* end = vertical ? "bottom" : "right";
    std::string css = vertical ? verticalStylesheetRules() : std::string();
    css += "rt { font-size: 50%; }\n";
    css += "h1, h2, h3 { font-weight: bold; }\n";
    css += "h1 { font-size: 1.6em; } h2 { font-size: 1.3em; } h3 { font-size: 1.1em; }\n";
    css += ".book-title { font-size: 1.8em; font-weight: bold; margin-" + std::string(start) +
           ": 3em; }\n";
    css += ".book-subtitle { font-size: 1.3em; margin-" + std::string(start) + ": 3em; }\n";
    css += ".book-author { font-size: 1.2em; margin-" + std::string(start) + ": 6em; }\n";
    css += ".colophon { font-size: 80%; }\n";
    css += ".page-middle { margin-" + std::string(vertical ? "right" : "top") + ": 30%; }\n";
    css += ".gaiji { font-size: 80%; }\n";
    for (int n = 1; n <= kMaxIndent; ++n) {
        const std::string em = std::to_string(n) + "em";
        css += ".jisage-" + std::to_string(n) + " { margin-" + start + ": " + em + "; }\n";
        css += ".indent-" + std::to_string(n) + " { text-indent: " + em + "; }\n";
        css += ".indent-m" + std::to_string(n) + " { text-indent: -" + em + "; }\n";
        css += ".chiage-" + std::to_string(n) + " { text-align: right; margin-" + end + ": " + em +
               "; }\n";
    }
    css += ".chitsuki { text-align: right; }\n";
    const std::pair<const char*, const char*> marks[] = {
        {"sesame", "filled sesame"},
        {"open-sesame", "open sesame"},
        {"circle", "filled circle"},
        {"open-circle", "open circle"},
        {"triangle", "filled triangle"},
        {"open-triangle", "open triangle"},
        {"double-circle", "filled double-circle"},
        {"open-double-circle", "open double-circle"},
        {"cross", "\"\\00D7\""},
    };
    for (const auto& [cls, style] : marks) {
        css += std::string("em.") + cls + " { font-style: normal; text-emphasis-style: " + style +
               "; -webkit-text-emphasis-style: " + style + "; -epub-text-emphasis-style: " + style +
               "; }\n";
    }
    const std::pair<const char*, const char*> lines[] = {
        {"underline", "solid"},         {"double-underline", "double"},
        {"dotted-underline", "dotted"}, {"dashed-underline", "dashed"},
        {"wavy-underline", "wavy"},
    };
    // In vertical writing the line stands to the right of the characters, as print sets it.
    for (const auto& [cls, style] : lines) {
        css += std::string(".") + cls +
               " { text-decoration: underline; text-decoration-style: " + style +
               "; -webkit-text-decoration-style: " + style + ";" +
               (vertical ? " text-underline-position: right;" : "") + " }\n";
    }
    return css;
}

}  // namespace qb
