#include "app/book_options.h"

#include <QFileInfo>
#include <QString>

#include <charconv>

#include "convert/book_choices.h"
#include "platform/ini_file.h"

namespace qb {

namespace {

bool sameWord(const std::string& value, const char* word) {
    return QString::fromStdString(value).compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

bool holdsControl(const std::string& text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
    return false;
}

}  // namespace

void BookOptions::applyTo(BookProject& project) const {
    project.paragraphs = paragraphs;
    project.chapterMode = chapterMode;
    project.chapterPattern = chapterMode == ChapterMode::Pattern ? chapterPattern : std::string();
    project.tocLabels = tocLabels;
    project.language = language;
    project.maxPageBytes = maxPageBytes;
    project.charset = charset;
    project.epubVersion = epubVersion;
    project.conventions = conventions;
    project.style = style;
    project.titlePage = titlePage;
    project.stylesheetPath = stylesheetPath;
    project.writingMode = writingMode;
    project.generatedCover = generatedCover;
    project.fontPath = fontPath;
}

std::string chapterPatternStorageProblem(const std::string& pattern) {
    // The settings file keeps one value per line.
    if (holdsControl(pattern)) return "A pattern cannot hold a line break or a tab.";
    return {};
}

std::string stylesheetProblem(const std::string& path) {
    if (path.empty()) return "Choose the stylesheet file, or no stylesheet.";
    // The settings file keeps one value per line.
    if (holdsControl(path)) return "A file name cannot hold a line break or a tab.";
    const QFileInfo file(QString::fromStdString(path));
    if (!file.isFile() || !file.isReadable())
        return "The stylesheet \"" + path + "\" is not a file that can be read.";
    return {};
}

// Whether the file is a usable font is for the run to say, with the file's own reason; here
// only what the settings file could not keep.
std::string fontPathProblem(const std::string& path) {
    if (holdsControl(path)) return "A font file's name cannot hold a line break or a tab.";
    return {};
}

BookOptions readBookOptions(const IniFile& settings) {
    BookOptions options;
    const auto read = [&](const char* key) {
        return settings.readString(kBookOptionsSection, key, "");
    };

    // Each value goes through the reading both programs share; one that does not pass keeps
    // its default.
    BookProject chosen;
    const auto take = [&](BookChoice choice, const std::string& word) {
        BookProject trial = chosen;
        if (!readChoiceWords({{choice, word}}, trial)) chosen = trial;
    };
    take(BookChoice::Paragraphs, read("Paragraphs"));
    take(BookChoice::Conventions, read("Conventions"));
    take(BookChoice::TocLabels, read("TocLabels"));
    // Empty, "system" and "auto" stand for the choices without a tag or a charset.
    const std::string language = read("Language");
    if (!language.empty() && !sameWord(language, "system")) take(BookChoice::Language, language);
    const std::string charset = read("Encoding");
    if (!charset.empty() && !sameWord(charset, "auto")) take(BookChoice::Encoding, charset);
    // Chapters=pattern with the pattern in a key of its own, so that any word can be one;
    // before that the pattern stood in Chapters itself, beside the words off and auto.
    const std::string chapters = read("Chapters");
    const std::string pattern = read("ChapterPattern");
    if (!chapters.empty()) {
        BookProject trial = chosen;
        readChapterWord(chapters, trial);
        if (chapters == "pattern" && !pattern.empty()) trial.chapterPattern = pattern;
        if (!choicesProblem(trial)) chosen = trial;
    }
    options.paragraphs = chosen.paragraphs;
    options.conventions = chosen.conventions;
    options.tocLabels = chosen.tocLabels;
    options.language = chosen.language;
    options.charset = chosen.charset;
    options.chapterMode = chosen.chapterMode;
    options.chapterPattern = chosen.chapterPattern;

    const std::string cap = read("MaxPageKB");
    int kib = -1;
    const auto [end, error] = std::from_chars(cap.data(), cap.data() + cap.size(), kib);
    if (error == std::errc() && end == cap.data() + cap.size() && kib >= 0 && kib <= kMaxPageKiB)
        options.maxPageBytes = static_cast<std::size_t>(kib) * 1024;

    if (read("EpubVersion") == "3") options.epubVersion = 3;

    const std::string style = read("ParagraphStyle");
    if (sameWord(style, "indent"))
        options.style = BookStyle::Indent;
    else if (sameWord(style, "spaced"))
        options.style = BookStyle::Spaced;
    options.titlePage = sameWord(read("TitlePage"), "yes");
    // A stylesheet that has gone since is still named: the run says that it is missing.
    const std::string stylesheet = read("Stylesheet");
    if (!holdsControl(stylesheet)) options.stylesheetPath = stylesheet;
    // Vertical pages are remembered only with the version that can have them.
    if (sameWord(read("WritingMode"), "vertical") && options.epubVersion == 3)
        options.writingMode = WritingMode::Vertical;
    options.generatedCover = sameWord(read("GeneratedCover"), "yes");
    const std::string font = read("Font");
    if (fontPathProblem(font).empty()) options.fontPath = font;
    options.oneBookPerFile = sameWord(read("OneBookPerFile"), "yes");
    return options;
}

std::vector<std::pair<std::string, std::string>> bookOptionEntries(const BookOptions& options) {
    std::vector<std::pair<std::string, std::string>> entries;
    const auto write = [&](const char* key, const std::string& value) {
        entries.emplace_back(key, value);
    };
    write("Paragraphs", options.paragraphs == ParagraphMode::Blocks ? "blocks"
                        : options.paragraphs == ParagraphMode::Auto ? "auto"
                                                                    : "lines");
    write("Conventions", options.conventions ? "auto" : "none");
    write("Chapters", options.chapterMode == ChapterMode::Auto      ? "auto"
                      : options.chapterMode == ChapterMode::Pattern ? "pattern"
                                                                    : "off");
    write("ChapterPattern",
          options.chapterMode == ChapterMode::Pattern ? options.chapterPattern : "");
    write("TocLabels", options.tocLabels == TocLabels::File        ? "file"
                       : options.tocLabels == TocLabels::FirstLine ? "first-line"
                                                                   : "page");
    write("Language", options.language.empty() ? "system" : options.language);
    write("MaxPageKB", std::to_string(options.maxPageBytes / 1024));
    write("Encoding", options.charset.empty() ? "auto" : options.charset);
    write("EpubVersion", std::to_string(options.epubVersion == 3 ? 3 : 2));
    write("ParagraphStyle", options.style == BookStyle::Indent   ? "indent"
                            : options.style == BookStyle::Spaced ? "spaced"
                                                                 : "plain");
    write("TitlePage", options.titlePage ? "yes" : "no");
    write("Stylesheet", options.stylesheetPath);
    write("WritingMode", options.writingMode == WritingMode::Vertical ? "vertical" : "horizontal");
    write("GeneratedCover", options.generatedCover ? "yes" : "no");
    write("Font", options.fontPath);
    write("OneBookPerFile", options.oneBookPerFile ? "yes" : "no");
    return entries;
}

}  // namespace qb
