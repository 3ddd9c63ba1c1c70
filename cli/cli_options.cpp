#include "cli/cli_options.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <iostream>
#include <limits>

#include "book/chapter_headings.h"
#include "book/metadata_values.h"
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

// The texts the user typed about the book, as they arrived.
struct TypedDetails {
    std::vector<std::string> authors;
    std::optional<std::string> paragraphStyle;
    bool noTitlePage = false;
};

// The look and the details, each value checked here so that a wrong one is a usage error.
bool readLookAndDetails(CliOptions& options, const TypedDetails& typed) {
    BookProject& project = options.project;
    BookDetails& details = project.details;
    if (!typed.authors.empty()) {
        project.author = typed.authors.front();
        details.otherAuthors.assign(typed.authors.begin() + 1, typed.authors.end());
    }
    // The command line makes a book that looks printed; --plain gives back the first
    // program's look, though a style named beside it still applies.
    project.style = options.plain ? BookStyle::Plain : BookStyle::Indent;
    if (typed.paragraphStyle &&
        !readChoice("--paragraph-style", *typed.paragraphStyle,
                    {{"indent", BookStyle::Indent}, {"spaced", BookStyle::Spaced}}, project.style))
        return false;
    project.titlePage = !options.plain && !typed.noTitlePage;

    if (!details.date.empty() && !isPublicationDate(details.date))
        return usageError("--date: \"" + details.date +
                          "\" is not a date such as 1897, 1897-05 or 1897-05-26");
    if (!details.isbn.empty()) {
        const std::optional<std::string> isbn = normalizedIsbn(details.isbn);
        if (!isbn)
            return usageError("--isbn: \"" + details.isbn +
                              "\" is not an ISBN-10 or ISBN-13 with a right check digit");
        details.isbn = *isbn;
    }
    if (!details.seriesIndex.empty()) {
        if (!isSeriesIndex(details.seriesIndex))
            return usageError("--series-index: \"" + details.seriesIndex +
                              "\" is not a number such as 3 or 2.5");
        if (details.series.empty()) return usageError("--series-index: no --series to number");
    }
    return true;
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
    TypedDetails given;
    BookDetails& details = project.details;
    app.add_option("-a,--author", given.authors,
                   "Author name; give it again for each further author")
        ->type_name("TEXT")
        ->allow_extra_args(false);
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
        ->check(CLI::Range(1, 64));
    app.add_option("--epub-version", epubVersion,
                   "2: EPUB 2, which every reader opens (default); 3: EPUB 3, which some "
                   "stores require, with fb.ncx kept for older readers")
        ->type_name("2|3");
    app.add_flag("--plain", options.plain,
                 "The first program's book: no indents, a gap after every paragraph, pages "
                 "titled by number, no title page");
    app.add_option("--paragraph-style", given.paragraphStyle,
                   "indent: first lines indented, as printed books (default); spaced: a gap "
                   "between paragraphs instead. Chinese, Japanese and Korean books always indent")
        ->type_name("indent|spaced");
    app.add_flag("--no-title-page", given.noTitlePage,
                 "Leave out the page with the title and author that follows the cover");
    app.add_option("--css", project.stylesheetPath,
                   "Your own stylesheet (at most 1 MiB of UTF-8), linked after the book's own "
                   "so that its rules win")
        ->type_name("FILE");
    app.add_option("--description", details.description, "What the book is about")
        ->type_name("TEXT");
    // One value each time, so that the text files after it are not taken for more.
    app.add_option("--subject", details.subjects, "A subject or tag; give it again for more")
        ->type_name("TEXT")
        ->allow_extra_args(false);
    app.add_option("--publisher", details.publisher, "The publisher")->type_name("TEXT");
    app.add_option("--date", details.date,
                   "Publication date (the book's modification date stays today)")
        ->type_name("YYYY[-MM[-DD]]");
    app.add_option("--rights", details.rights,
                   "Rights statement (default: \"All rights reserved by the author.\")")
        ->type_name("TEXT");
    app.add_option("--isbn", details.isbn,
                   "ISBN-10 or ISBN-13, hyphens allowed; carried besides the book's own UUID")
        ->type_name("ISBN");
    app.add_option("--series", details.series, "The series the book belongs to")->type_name("NAME");
    app.add_option("--series-index", details.seriesIndex, "The book's number in the series")
        ->type_name("N");
    app.add_option("--title-sort", details.titleSort,
                   "The title as libraries file it (\"Hobbit, The\")")
        ->type_name("TEXT");
    app.add_option("--author-sort", details.authorSort,
                   "The first author as libraries file them (\"Tolkien, J. R. R.\")")
        ->type_name("TEXT");
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
            for (std::string* text :
                 {&project.title, &chapters, &details.description, &details.publisher,
                  &details.rights, &details.series, &details.titleSort, &details.authorSort})
                *text = fromLocale.convert(*text);
            for (std::vector<std::string>* texts : {&given.authors, &details.subjects})
                for (std::string& text : *texts) text = fromLocale.convert(text);
        } catch (const std::exception& e) {
            std::cerr << "quirebind-cli: cannot read the options in the locale's charset \""
                      << typed << "\": " << e.what() << "\n";
            exitStatus = kExitNotBuilt;
            return std::nullopt;
        }
    }
    if (!readBookChoices(project, paragraphs, chapters, tocLabels, language, maxPageKb,
                         epubVersion) ||
        !readLookAndDetails(options, given)) {
        exitStatus = kExitUsage;
        return std::nullopt;
    }
    exitStatus = kExitBuilt;
    return options;
}

}  // namespace qb
