#include "cli/cli_options.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <iostream>
#include <limits>

#include "book/chapter_headings.h"
#include "package/deflate_pool.h"
#include "platform/ascii.h"
#include "platform/build_info.h"
#include "platform/iconv_converter.h"
#include "platform/language.h"
#include "platform/locale.h"

namespace qb {
namespace {

bool usageError(const std::string& text) {
    std::cerr << "quirebind-cli: " << text << "\n";
    return false;
}

// A choice among fixed words, or a usage error that lists them.
template <typename T>
bool readChoice(const char* option, const std::string& typed,
                std::initializer_list<std::pair<const char*, T>> choices, T& target) {
    std::string names;
    for (const auto& [name, value] : choices) {
        if (typed == name) {
            target = value;
            return true;
        }
        names += (names.empty() ? "" : choices.size() == 2 ? " nor " : ", ") + std::string(name);
    }
    return usageError(std::string(option) + ": \"" + typed + "\" is " +
                      (choices.size() == 2 ? "neither " : "not one of ") + names);
}

// The reading choices, each checked here so that a wrong one is a usage error before any work.
bool readBookChoices(BookProject& project, const std::string& paragraphs,
                     const std::string& chapters, const std::string& tocLabels,
                     const std::optional<std::string>& language,
                     const std::optional<std::string>& maxPageKb, const std::string& epubVersion) {
    if (!readChoice("--paragraphs", paragraphs,
                    {{"lines", ParagraphMode::Lines}, {"blocks", ParagraphMode::Blocks}},
                    project.paragraphs))
        return false;

    if (chapters == "off") {
        project.chapters.clear();
    } else if (chapters == "auto") {
        project.chapters = "auto";
    } else {
        const std::string why = ChapterHeadings::patternError(chapters);
        if (!why.empty())
            return usageError("--chapters: invalid pattern \"" + chapters + "\": " + why);
        project.chapters = chapters;
    }

    if (!readChoice("--toc-labels", tocLabels,
                    {{"page", TocLabels::Page},
                     {"file", TocLabels::File},
                     {"first-line", TocLabels::FirstLine}},
                    project.tocLabels))
        return false;

    // Tags ignore case, and "AUTO" would pass as one: it means auto all the same.
    if (language && lowerAscii(*language) == "auto") {
        project.language = "auto";
    } else if (language) {
        if (!isLanguageTag(*language))
            return usageError("--language: \"" + *language +
                              "\" is not a language tag such as de, zh-CN or pt-BR, nor auto");
        project.language = *language;
    }

    if (maxPageKb) {
        const std::string& text = *maxPageKb;
        std::size_t kib = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), kib);
        if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
            kib > std::numeric_limits<std::size_t>::max() / 1024)
            return usageError("--max-page-kb: \"" + text +
                              "\" is not a whole number of KiB (0 for no limit)");
        project.maxPageBytes = kib * 1024;
    }

    return readChoice("--epub-version", epubVersion, {{"2", 2}, {"3", 3}}, project.epubVersion);
}

}  // namespace

std::optional<CliOptions> parseCommandLine(int argc, char** argv, int& exitStatus) {
    CliOptions options;
    BookProject& project = options.project;
    std::string charset;

    CLI::App app{
        "Turns plain-text files into one EPUB book: each file becomes one or more pages, in "
        "the order given, each line one paragraph unless --paragraphs says otherwise.",
        "quirebind-cli"};
    app.add_option("-t,--title", project.title, "Book title; also names the archive")
        ->type_name("TEXT");
    app.add_option("-a,--author", project.author, "Author name");
    app.add_option("-c,--cover", project.coverPath, "Cover picture (JPEG, PNG or GIF)")
        ->type_name("PICTURE");
    app.add_option("-o,--output", project.outputFolder,
                   "Folder that receives TITLE.epub; created when missing")
        ->type_name("FOLDER");
    app.add_flag("-y,--yes", options.assumeYes, "Replace an existing archive without asking");
    app.add_option("--encoding", charset,
                   "Decode every text file in CHARSET instead of choosing per file")
        ->type_name("CHARSET");
    std::string paragraphs = "lines";
    std::string chapters = "off";
    std::string tocLabels = "page";
    std::optional<std::string> language;
    std::optional<std::string> maxPageKb;
    std::string epubVersion = "2";
    app.add_option("--paragraphs", paragraphs,
                   "lines: each line one paragraph (default); blocks: blank lines separate "
                   "paragraphs and the lines between them are joined, as hard-wrapped prose needs")
        ->type_name("lines|blocks");
    app.add_option("--chapters", chapters,
                   "off (default); auto: lines such as \"Chapter 12\", \"Part One\", "
                   "\"Prologue\", \"第十二章\", \"卷三\" begin a new page and a contents entry; "
                   "or a PCRE2 pattern that matches a whole heading line (trimmed, at most 80 "
                   "characters)")
        ->type_name("off|auto|REGEX");
    app.add_option("--toc-labels", tocLabels,
                   "Contents label of each text file: page (\"page3\", default), file (its "
                   "name without extension) or first-line (its first non-blank line)")
        ->type_name("page|file|first-line");
    app.add_option("--language", language,
                   "Language of the book: a BCP 47 tag (de, zh-CN, pt-BR) or auto to detect it "
                   "from the text; default: the locale's")
        ->type_name("TAG|auto");
    app.add_option("--max-page-kb", maxPageKb,
                   "Largest page file in KiB (default 256); longer texts continue in more page "
                   "files; 0: no limit; a limit below one page's head and tail is raised to that")
        ->type_name("N");
    app.add_option("--jobs", project.jobs,
                   "Compress the book on N threads at once (default: QB_JOBS, else one per "
                   "processor)")
        ->type_name("N")
        ->check(CLI::Range(1, kMaxJobs));
    app.add_option("--epub-version", epubVersion,
                   "2: EPUB 2, which every reader opens (default); 3: EPUB 3, which some "
                   "stores require, with fb.ncx kept for older readers")
        ->type_name("2|3");
    app.add_flag("-q,--quiet", options.quiet, "Show no progress");
    app.set_version_flag("--version", std::string("quirebind-cli ") + kVersion);
    app.add_option("FILE", project.sourceFiles, "Text files, in page order")
        ->type_name("FILE")
        ->required();
    app.footer(
        "Prints the path of the book it made. Exit status: 0 built, 1 not built, 2 wrong usage.");

    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        exitStatus = app.exit(e);  // --help or --version: printed on stdout
        return std::nullopt;
    } catch (const CLI::ParseError& e) {
        std::cerr << "quirebind-cli: " << e.what() << "\n"
                  << "Run with --help for more information.\n";
        exitStatus = kExitUsage;
        return std::nullopt;
    }
    // A misspelt charset would otherwise surface only after the first page was read, as an
    // error about that file rather than about the option.
    if (!charset.empty() && !IconvConverter::knows(charset)) {
        std::cerr << "quirebind-cli: --encoding: unknown charset \"" << charset << "\"\n";
        exitStatus = kExitUsage;
        return std::nullopt;
    }
    project.charset = charset;

    // What the user types arrives in the locale's charset (GBK, ISO-8859-1, ...); the book holds
    // UTF-8. Only texts are converted: paths go to the file system as the bytes they are.
    const std::string typed = localeCharset();
    if (!isUtf8CharsetName(typed)) {
        try {
            IconvConverter fromLocale(typed);
            for (std::string* text : {&project.title, &project.author, &chapters})
                *text = fromLocale.convert(*text);
        } catch (const std::exception& e) {
            std::cerr << "quirebind-cli: cannot read the options in the locale's charset \""
                      << typed << "\": " << e.what() << "\n";
            exitStatus = kExitNotBuilt;
            return std::nullopt;
        }
    }
    if (!readBookChoices(project, paragraphs, chapters, tocLabels, language, maxPageKb,
                         epubVersion)) {
        exitStatus = kExitUsage;
        return std::nullopt;
    }
    exitStatus = kExitBuilt;
    return options;
}

}  // namespace qb
