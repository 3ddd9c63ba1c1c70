#include "book/text_survey.h"

#include <algorithm>

#include "book/text_blanks.h"
#include "book/text_conventions.h"
#include "platform/utf8.h"

namespace qb {
namespace {

// Only a line's first bytes can make it a heading, a marker or a title.
constexpr std::size_t kKeptBytes = 1024;
// A Gutenberg header is short; a "*** START" line deep in a text quotes one.
constexpr std::size_t kMaxHeaderLines = 1000;
constexpr std::size_t kMaxHeaderBytes = 128 * 1024;
// A run of this many heading-like lines with no text between them is a contents list.
constexpr std::size_t kContentsRun = 3;
// The longest title line a heading takes into its label.
constexpr std::size_t kMaxTitleChars = 60;

bool endsSentence(char32_t c) {
    static const std::u32string ends = U".!?\"')]:;。！？」』”’）…—－";
    return ends.find(c) != std::u32string::npos;
}

// A short line in capitals ("THE SHADOW", "MARLEY'S GHOST"), no sentence and no note.
bool looksLikeTitleLine(std::string_view trimmed) {
    if (trimmed.empty() || utf8CharCount(trimmed) > kMaxTitleChars) return false;
    const char last = trimmed.back();
    if (last == '.' || last == ',' || last == ';' || last == ':') return false;
    std::size_t letters = 0;
    for (const char c : trimmed) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x80) return false;  // CJK titles are not guessed from the next line
        if (c == '[' || c == ']' || (u >= 'a' && u <= 'z')) return false;
        if (u >= 'A' && u <= 'Z') ++letters;
    }
    return letters >= 2;
}

// A heading that gives no title of its own: "Chapter II.", "STAVE I".
bool isBareHeading(std::string_view heading) {
    std::size_t words = 1;
    for (const char c : heading) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
        if (c == ' ') ++words;
    }
    return words <= 2;
}

}  // namespace

std::string withoutAozoraNotes(std::string_view line) {
    constexpr std::string_view open = "［＃";
    constexpr std::string_view close = "］";
    std::string out;
    std::size_t pos = 0;
    while (pos < line.size()) {
        const std::size_t at = line.find(open, pos);
        if (at == std::string_view::npos) break;
        const std::size_t end = line.find(close, at + open.size());
        if (end == std::string_view::npos) break;
        out.append(line.substr(pos, at - pos));
        pos = end + close.size();
    }
    out.append(line.substr(pos));
    return out;
}

void TextSurvey::lineText(std::string_view text) {
    if (!text.empty()) m_lastChar = lastUtf8Char(text);
    m_bytes += text.size();
    if (m_overflow) return;
    m_line.append(text);
    if (m_line.size() > kKeptBytes) {
        m_overflow = true;
        m_line.resize(utf8CutBefore(m_line, kKeptBytes));
    }
}

void TextSurvey::lineEnd() {
    const std::size_t line = m_lineCount++;
    const std::string_view trimmed = trimBlanks(m_line);
    const bool ink = !trimmed.empty() || m_overflow;

    if (ink) {
        ++m_inkLines;
        if (m_lastLineInk) {
            ++m_runOnLines;
            if (!endsSentence(m_lastLineEnd)) ++m_midSentenceBreaks;
        }
        m_lastLineEnd = m_overflow ? m_lastChar : lastUtf8Char(trimmed);
    } else {
        ++m_blankLines;
    }
    m_lastLineInk = ink;

    if (m_options.conventions && !m_overflow && ink &&
        m_reading.storyEnd == static_cast<std::size_t>(-1)) {
        const GutenbergMark mark = gutenbergMark(trimmed);
        if (mark == GutenbergMark::Start && m_reading.storyBegin == 0 && line < kMaxHeaderLines &&
            m_bytes < kMaxHeaderBytes) {
            // What came before was the header: none of it is a chapter.
            m_reading.storyBegin = line + 1;
            m_candidates.clear();
            m_bodySinceCandidate = true;
            m_contentsOpen = false;
        } else if (mark == GutenbergMark::End) {
            m_reading.storyEnd = line;
        }
    }
    if (m_reading.storyEnd == static_cast<std::size_t>(-1) && ink) {
        if (m_overflow) {
            m_bodySinceCandidate = true;
            m_contentsOpen = false;
        } else {
            classify(line, trimmed);
        }
    } else if (!ink) {
        ++m_blanksSinceCandidate;
    }
    m_line.clear();
    m_overflow = false;
    m_lastChar = 0;
}

void TextSurvey::classify(std::size_t line, std::string_view trimmed) {
    if (m_options.conventions && isSceneBreak(trimmed)) {
        setRole(line, LineRole::SceneBreak);
        m_bodySinceCandidate = true;
        m_contentsOpen = false;
        return;
    }
    if (m_options.conventions && isContentsHeading(trimmed)) {
        m_contentsOpen = true;
        m_bodySinceCandidate = true;
        return;
    }
    std::string stripped;
    std::string_view heading = trimmed;
    if (trimmed.find("［＃") != std::string_view::npos) {
        stripped = withoutAozoraNotes(trimmed);
        heading = trimBlanks(stripped);
    }
    HeadingLevel level = HeadingLevel::None;
    NumberedHeading numbered;
    // "Chapter I.]" ends an illustration's caption that gives the chapter's heading: the
    // heading counts without the bracket. A line that closes any other note is no heading.
    if (heading.size() > 1 && heading.back() == ']' && heading.find('[') == std::string_view::npos)
        heading = trimBlanks(heading.substr(0, heading.size() - 1));
    const bool closesNote = (heading.find(']') != std::string_view::npos &&
                             heading.find('[') == std::string_view::npos) ||
                            (heading.find(')') != std::string_view::npos &&
                             heading.find('(') == std::string_view::npos);
    if (m_options.chapters != nullptr && !heading.empty() && !closesNote) {
        level = m_options.chapters->classify(heading);
        if (level == HeadingLevel::None && m_options.autoChapters) {
            numbered = numberedHeading(heading);
            level = numbered.level;
        }
    }
    if (level == HeadingLevel::None) {
        // The first short line after a heading may be its title; other text is body.
        if (!m_candidates.empty() && !m_bodySinceCandidate && m_blanksSinceCandidate <= 2 &&
            m_candidates.back().titleLine == static_cast<std::size_t>(-1) &&
            isBareHeading(m_candidates.back().label) &&
            m_candidates.back().line + 1 + m_blanksSinceCandidate == line &&
            looksLikeTitleLine(trimmed)) {
            m_candidates.back().titleLine = line;
            m_candidates.back().title = std::string(trimmed);
        } else {
            m_bodySinceCandidate = true;
            m_contentsOpen = false;
        }
        return;
    }
    m_candidates.push_back({line, level, numbered.form, numbered.number, m_bodySinceCandidate,
                            m_contentsOpen, m_blanksSinceCandidate, std::string(heading),
                            static_cast<std::size_t>(-1), std::string()});
    m_bodySinceCandidate = false;
    m_contentsOpen = false;
    m_blanksSinceCandidate = 0;
}

void TextSurvey::setRole(std::size_t line, LineRole role) {
    if (m_reading.roles.size() <= line) m_reading.roles.resize(line + 1, LineRole::Text);
    m_reading.roles[line] = role;
}

TextReading TextSurvey::finish() {
    if (m_options.judgeShape) {
        // Hard-wrapped prose: blank lines between blocks, and lines that run on into the next
        // mostly break in mid-sentence (one paragraph a line ends its lines with a sentence),
        // and are not rare in the whole text.
        m_reading.blocks = m_blankLines > 0 && m_midSentenceBreaks * 2 >= m_runOnLines &&
                           m_midSentenceBreaks * 6 >= m_inkLines;
        m_reading.describedShape = true;
    }
    std::vector<Candidate>& all = m_candidates;
    std::vector<bool> keep(all.size(), true);
    if (m_options.conventions) {
        // A contents list: a run of heading-like lines with no text between them, or any run
        // under a "Contents" line.
        for (std::size_t begin = 0; begin < all.size();) {
            // Entries stand as close together as the first two do; the chapter after the list
            // stands further off.
            std::size_t end = begin + 1;
            std::size_t spacing = 2;
            if (end < all.size() && !all[end].bodyBefore) spacing = std::min(spacing, all[end].gap);
            while (end < all.size() && !all[end].bodyBefore && all[end].gap <= spacing) ++end;
            if (end - begin >= kContentsRun || all[begin].afterContents) {
                for (std::size_t i = begin; i < end; ++i) {
                    keep[i] = false;
                    setRole(all[i].line, LineRole::OwnLine);
                }
            }
            begin = end;
        }
    }
    // The numbered forms count where they number upward: each is the next of its form, or
    // a new count from 1 (a new part). A form with fewer than two such lines counts nowhere.
    for (const NumberedForm form :
         {NumberedForm::Roman, NumberedForm::Numeral, NumberedForm::JapanesePart}) {
        int expected = 1;
        std::size_t taken = 0;
        std::vector<std::size_t> members;
        for (std::size_t i = 0; i < all.size(); ++i) {
            if (all[i].form != form || !keep[i]) continue;
            if (all[i].number == expected || all[i].number == 1) {
                expected = all[i].number + 1;
                ++taken;
                members.push_back(i);
            } else {
                keep[i] = false;
            }
        }
        if (taken < 2) {
            for (const std::size_t i : members) keep[i] = false;
        }
    }
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (!keep[i]) continue;
        Candidate& c = all[i];
        setRole(c.line, LineRole::Heading);
        std::string label = std::move(c.label);
        if (c.titleLine != static_cast<std::size_t>(-1)) {
            setRole(c.titleLine, LineRole::HeadingPart);
            // Joined with a space only: the heading keeps the text's own words and marks.
            label += ' ';
            label += c.title;
        }
        m_reading.headings.emplace(c.line, PlannedHeading{c.level, std::move(label)});
    }
    return std::move(m_reading);
}

}  // namespace qb
