#include "convert/book_choices.h"

#include <charconv>
#include <initializer_list>
#include <limits>
#include <utility>

#include "book/chapter_headings.h"
#include "platform/ascii.h"
#include "platform/iconv_converter.h"
#include "platform/language.h"

namespace qb {

namespace {

std::string notALanguageTag(const std::string& tag) {
    return "\"" + tag + "\" is not a language tag such as de, zh-CN or pt-BR, nor auto";
}

std::string unknownCharset(const std::string& name) {
    return "unknown charset \"" + name + "\"";
}

// A choice among fixed words, or the problem that lists them.
template <typename T>
std::string readFixedWord(const std::string& typed,
                          std::initializer_list<std::pair<const char*, T>> choices, T& target) {
    std::string names;
    for (const auto& [name, value] : choices) {
        if (equalsIgnoringAsciiCase(typed, name)) {
            target = value;
            return {};
        }
        names += (names.empty() ? "" : choices.size() == 2 ? " nor " : ", ") + std::string(name);
    }
    return "\"" + typed + "\" is " + (choices.size() == 2 ? "neither " : "not one of ") + names;
}

std::string readPageCap(const std::string& text, std::size_t& maxPageBytes) {
    std::size_t kib = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), kib);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        kib > std::numeric_limits<std::size_t>::max() / 1024)
        return "\"" + text + "\" is not a whole number of KiB (0 for no limit)";
    maxPageBytes = kib * 1024;
    return {};
}

std::string readWord(BookChoice choice, const std::string& word, BookProject& project) {
    switch (choice) {
        case BookChoice::Paragraphs:
            return readFixedWord(word,
                                 {{"lines", ParagraphMode::Lines},
                                  {"blocks", ParagraphMode::Blocks},
                                  {"auto", ParagraphMode::Auto}},
                                 project.paragraphs);
        case BookChoice::Conventions:
            return readFixedWord(word, {{"auto", true}, {"none", false}}, project.conventions);
        case BookChoice::Chapters:
            readChapterWord(word, project);
            return {};
        case BookChoice::TocLabels:
            return readFixedWord(word,
                                 {{"page", TocLabels::Page},
                                  {"file", TocLabels::File},
                                  {"first-line", TocLabels::FirstLine}},
                                 project.tocLabels);
        case BookChoice::Language:
            // The project's empty language is the locale's; a word names one, or auto. Tags
            // ignore case, and "AUTO" would pass as one: it means auto all the same.
            if (word.empty()) return notALanguageTag(word);
            project.language = equalsIgnoringAsciiCase(word, "auto") ? "auto" : word;
            return {};
        case BookChoice::MaxPageKb:
            return readPageCap(word, project.maxPageBytes);
        case BookChoice::Encoding:
            // The project's empty charset is decided per file; a word names one.
            if (word.empty()) return unknownCharset(word);
            project.charset = word;
            return {};
        case BookChoice::WritingMode:
            return readFixedWord(word,
                                 {{"horizontal", WritingMode::Horizontal},
                                  {"vertical", WritingMode::Vertical},
                                  {"auto", WritingMode::Auto}},
                                 project.writingMode);
        case BookChoice::EpubVersion:
            return readFixedWord(word, {{"2", 2}, {"3", 3}}, project.epubVersion);
        case BookChoice::ParagraphStyle:
            return readFixedWord(word,
                                 {{"indent", BookStyle::Indent}, {"spaced", BookStyle::Spaced}},
                                 project.style);
    }
    return {};
}

}  // namespace

const char* choiceOption(BookChoice choice) {
    switch (choice) {
        case BookChoice::Paragraphs:
            return "--paragraphs";
        case BookChoice::Conventions:
            return "--conventions";
        case BookChoice::Chapters:
            return "--chapters";
        case BookChoice::TocLabels:
            return "--toc-labels";
        case BookChoice::Language:
            return "--language";
        case BookChoice::MaxPageKb:
            return "--max-page-kb";
        case BookChoice::Encoding:
            return "--encoding";
        case BookChoice::WritingMode:
            return "--writing-mode";
        case BookChoice::EpubVersion:
            return "--epub-version";
        case BookChoice::ParagraphStyle:
            return "--paragraph-style";
    }
    return "";
}

const char* choiceLabel(BookChoice choice) {
    switch (choice) {
        case BookChoice::Paragraphs:
            return "Paragraphs";
        case BookChoice::Conventions:
            return "Text conventions";
        case BookChoice::Chapters:
            return "Chapters";
        case BookChoice::TocLabels:
            return "Contents entries";
        case BookChoice::Language:
            return "Language";
        case BookChoice::MaxPageKb:
            return "Page size cap";
        case BookChoice::Encoding:
            return "Text encoding";
        case BookChoice::WritingMode:
            return "Writing mode";
        case BookChoice::EpubVersion:
            return "EPUB version";
        case BookChoice::ParagraphStyle:
            return "Paragraph style";
    }
    return "";
}

void readChapterWord(const std::string& word, BookProject& project) {
    project.chapterPattern.clear();
    if (word == "off") {
        project.chapterMode = ChapterMode::Off;
    } else if (word == "auto") {
        project.chapterMode = ChapterMode::Auto;
    } else {
        project.chapterMode = ChapterMode::Pattern;
        project.chapterPattern = word;
    }
}

ChoiceProblem readChoiceWords(const ChoiceWords& words, BookProject& project) {
    for (const auto& [choice, word] : words) {
        if (std::string text = readWord(choice, word, project); !text.empty())
            return {choice, std::move(text)};
    }
    return choicesProblem(project);
}

ChoiceProblem choicesProblem(const BookProject& project) {
    if (project.chapterMode == ChapterMode::Pattern) {
        const std::string& pattern = project.chapterPattern;
        // It would match only blank lines, which are never headings: no chapter at all.
        if (pattern.empty()) return {BookChoice::Chapters, "an empty pattern matches no heading"};
        if (const std::string why = ChapterHeadings::patternError(pattern); !why.empty())
            return {BookChoice::Chapters, "invalid pattern \"" + pattern + "\": " + why};
    }
    const std::string& language = project.language;
    if (!language.empty() && language != "auto" && !isLanguageTag(language))
        return {BookChoice::Language, notALanguageTag(language)};
    // A misspelt charset would otherwise surface only after the first page was read, as an
    // error about that file rather than about the choice.
    if (!project.charset.empty() && !IconvConverter::knows(project.charset))
        return {BookChoice::Encoding, unknownCharset(project.charset)};
    return {};
}

}  // namespace qb
