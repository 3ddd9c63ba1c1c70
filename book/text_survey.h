#pragma once
// The first reading of a text file, before any page is written from it: the shape of its
// paragraphs, where a Project Gutenberg header ends and its footer begins, and which lines are
// chapter headings once contents lists, numbering and title lines are taken into account.
//
// Lines are counted from 0 in the order the line splitter gives them, so that the pass that
// writes the pages finds each decision at the same line. Only what concerns a few lines is
// kept per line (one byte each): a file of any length is surveyed in one pass, in linear time.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "book/chapter_headings.h"
#include "platform/line_splitter.h"

namespace qb {

enum class LineRole : std::uint8_t {
    Text,
    Heading,      // a chapter or volume heading: see TextReading::headings
    HeadingPart,  // a title line the heading above it took into its label
    SceneBreak,
    OwnLine,  // an entry of a contents list: text, a paragraph of its own
};

struct PlannedHeading {
    HeadingLevel level;
    std::string label;  // the heading's text, with its title line when it took one
};

struct TextReading {
    bool blocks = false;          // hard-wrapped prose: blank lines separate paragraphs
    bool describedShape = false;  // the shape was judged (paragraphs auto)
    // Where the story begins and ends; the lines before and after belong on the last page.
    std::size_t storyBegin = 0;
    std::size_t storyEnd = static_cast<std::size_t>(-1);
    std::vector<LineRole> roles;  // per line; lines past the end are Text
    std::unordered_map<std::size_t, PlannedHeading> headings;

    LineRole role(std::size_t line) const {
        return line < roles.size() ? roles[line] : LineRole::Text;
    }
};

struct SurveyOptions {
    const ChapterHeadings* chapters = nullptr;  // null: no headings
    bool autoChapters = false;                  // the built-in forms, numbering included
    bool conventions = false;
    bool judgeShape = false;  // decide between blocks and lines
};

class TextSurvey : public LineHandler {
  public:
    explicit TextSurvey(const SurveyOptions& options) : m_options(options) {}

    void lineText(std::string_view text) override;
    void lineEnd() override;
    TextReading finish();

  private:
    struct Candidate {
        std::size_t line;
        HeadingLevel level;
        NumberedForm form;
        int number;
        bool bodyBefore;     // text other than headings since the candidate before
        bool afterContents;  // a "Contents" line came just before, with no text between
        std::size_t gap;     // blank lines since the candidate before
        std::string label;
        std::size_t titleLine = static_cast<std::size_t>(-1);
        std::string title;
    };

    void classify(std::size_t line, std::string_view trimmed);
    void setRole(std::size_t line, LineRole role);

    SurveyOptions m_options;
    TextReading m_reading;
    std::string m_line;  // the line's first bytes
    bool m_overflow = false;
    char32_t m_lastChar = 0;  // of the line under way
    std::size_t m_lineCount = 0;
    std::size_t m_bytes = 0;
    std::vector<Candidate> m_candidates;
    bool m_bodySinceCandidate = true;
    bool m_contentsOpen = false;
    std::size_t m_blanksSinceCandidate = 0;
    // Paragraph shape: lines with ink, blank lines, and lines with ink that break in
    // mid-sentence into a next line with ink.
    std::size_t m_inkLines = 0;
    std::size_t m_blankLines = 0;
    std::size_t m_runOnLines = 0;  // lines with ink followed by one
    std::size_t m_midSentenceBreaks = 0;
    bool m_lastLineInk = false;
    char32_t m_lastLineEnd = 0;
};

// Aozora Bunko's notes ("［＃５字下げ］一［＃「一」は中見出し］") left out of a line, for telling
// its heading.
std::string withoutAozoraNotes(std::string_view line);

}  // namespace qb
