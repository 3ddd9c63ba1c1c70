#pragma once
// Texts in the Aozora Bunko format, the plain-text form most Japanese e-texts follow.
//
// Readings follow their base in 《》 (the base is the run of kanji before them, or starts at
// ｜), annotations stand in ［＃…］ (headings, page breaks, indents, emphasis, characters the
// file's charset lacks as ※［＃…、第3水準1-85-54］), a legend between dashed lines near the top
// explains the marks, and a colophon from "底本：" on names the edition. AozoraText turns such a
// text, line by line, into XHTML paragraphs, headings and page breaks: markup is applied, never
// printed, and what it cannot apply is dropped from the text and counted.

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace qb {

struct AozoraOptions {
    // EPUB 3 pages take <ruby>; EPUB 2's vocabulary has none, so there the reading follows its
    // base in full-width parentheses.
    bool rubyElements = true;
    // Vertical pages: numbers of two half-width digits are set upright.
    bool vertical = false;
};

// Where the converted text goes. Every html is inline XHTML content, well-formed on its own.
class AozoraSink {
  public:
    virtual ~AozoraSink() = default;
    // A paragraph; html is empty for a blank line. cssClass: space-separated classes or empty.
    virtual void paragraph(std::string_view html, std::string_view cssClass) = 0;
    // A heading: level 1 (大見出し), 2 (中見出し) or 3 (小見出し); label is its plain text.
    virtual void heading(int level, std::string_view html, std::string_view cssClass,
                         const std::string& label) = 0;
    // What follows begins a new page.
    virtual void pageBreak() = 0;
};

class AozoraText {
  public:
    AozoraText(const AozoraOptions& options, AozoraSink& sink);
    ~AozoraText();
    AozoraText(const AozoraText&) = delete;
    AozoraText& operator=(const AozoraText&) = delete;

    // One line of the text, without its line end.
    void line(std::string_view text);
    // After the last line: closes what is still open.
    void finish();

    // The first line above the legend, or empty when the text has no legend.
    const std::string& title() const;
    // How many readings became ruby.
    std::size_t rubyCount() const;
    // Annotations dropped because they are not understood (or refer to text that is not
    // there), by kind: the annotation with quoted text as "…" and numbers as "N".
    const std::map<std::string, std::size_t>& unapplied() const;

  private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

// True when a text's beginning (a few tens of KB are enough) is in the Aozora Bunko format:
// it has the legend, or a ［＃…］ annotation.
bool looksLikeAozora(std::string_view head);

// True when the text has a reading in 《》 that will become ruby.
bool hasAozoraRuby(std::string_view head);

// The character of JIS X 0213 plane-row-cell as UTF-8, or empty when there is none.
std::string jisX0213Character(int plane, int row, int cell);

// The stylesheet rules the converted pages use; vertical adds the rules of vertical writing.
std::string aozoraStylesheetRules(bool vertical);
// Only the rules of vertical writing, for a vertical book that is not in the Aozora format.
std::string verticalStylesheetRules();

}  // namespace qb
