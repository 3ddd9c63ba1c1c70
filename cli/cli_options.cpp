#include "cli/cli_options.h"

#include <sys/stat.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <filesystem>
#include <iostream>

#include "book/metadata_values.h"
#include "convert/archive_name.h"
#include "convert/book_choices.h"
#include "convert/entry_checks.h"
#include "package/deflate_pool.h"
#include "platform/ascii.h"
#include "platform/build_info.h"
#include "platform/failure_message.h"
#include "platform/iconv_converter.h"
#include "platform/locale.h"
#include "platform/paths.h"
#include "platform/text_file.h"
#include "platform/text_folders.h"

namespace qb {
namespace {

// A list of files is only names: 64 MiB holds hundreds of thousands of them.
constexpr std::uint64_t kMaxListBytes = std::uint64_t{64} << 20;

bool usageError(const std::string& text) {
    std::cerr << "quirebind-cli: " << text << "\n";
    return false;
}

// The reading choices, read and checked by the same core function as the window's, so that a
// wrong one is a usage error before any work and says what the window would say.
bool readBookChoices(BookProject& project, const ChoiceWords& words) {
    if (const ChoiceProblem problem = readChoiceWords(words, project))
        return usageError(std::string(choiceOption(problem.choice)) + ": " + problem.text);
    return true;
}

// The texts the user typed about the book, as they arrived.
struct TypedDetails {
    std::vector<std::string> authors;
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

// "--max-page-kb=" with nothing after "=" would take the next word as its value: a file name
// that then goes missing from the book, or a wrong number.
bool emptyValuesRefused(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--") break;
        if (arg.size() > 3 && arg.substr(0, 2) == "--" && arg.find('=') == arg.size() - 1)
            return usageError(std::string(arg.substr(0, arg.size() - 1)) +
                              ": no value after \"=\"");
    }
    return true;
}

// The paths a --files-from list names: one a line (a CR before the LF is no part of the name,
// empty lines are skipped), or NUL-separated with -0, since a name may hold a line break.
// "-" reads standard input.
std::vector<std::string> listedFiles(const std::string& list, bool nulSeparated) {
    const std::string bytes = readFileBytes(list == "-" ? "/dev/stdin" : list, kMaxListBytes);
    std::vector<std::string> paths;
    const char separator = nulSeparated ? '\0' : '\n';
    for (std::size_t from = 0; from < bytes.size();) {
        std::size_t end = bytes.find(separator, from);
        if (end == std::string::npos) end = bytes.size();
        std::string path = bytes.substr(from, end - from);
        if (!nulSeparated && !path.empty() && path.back() == '\r') path.pop_back();
        if (!path.empty()) paths.push_back(std::move(path));
        from = end + 1;
    }
    return paths;
}

// What is wrong with the place the book would go, said before any work: a dangling link as
// the output folder (the system would only say "Not a directory"), and a folder standing
// where the archive would be (no answer to the overwrite question could replace it).
std::string outputFault(const BookProject& project) {
    if (project.outputFolder.empty()) return {};  // the run asks for one
    const std::string& folder = project.outputFolder;
    struct stat st {};
    if (::lstat(folder.c_str(), &st) == 0 && S_ISLNK(st.st_mode) &&
        ::stat(folder.c_str(), &st) != 0 && errno == ENOENT) {
        std::error_code ec;
        const std::string target = std::filesystem::read_symlink(folder, ec).string();
        return "-o: \"" + folder + "\" is a symbolic link to \"" + target +
               "\", which does not exist";
    }
    // The run checks this too, for the window; said here, it costs no work folder. The work
    // folder is made later, and each run's is new.
    if (const std::string place = outputPlaceProblem(folder, {}, findTemplateFolder());
        !place.empty())
        return "-o: " + place;
    if (project.title.empty()) return {};
    const std::string archive = folder + "/" + archiveFileName(project.title, localeCharset());
    if (::stat(archive.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return "\"" + archive + "\" is a folder, which no book can replace; rename it, or " +
               "choose another title or output folder";
    return {};
}

}  // namespace

std::optional<CliOptions> parseCommandLine(int argc, char** argv, int& exitStatus) {
    CliOptions options;
    BookProject& project = options.project;
    std::string charset;

    CLI::App app{
        "Turns plain-text files into one EPUB book: each file becomes one or more pages, in "
        "the order given; paragraphs, chapters, language and the text's conventions are read "
        "from the text unless --plain or the options below say otherwise.",
        "quirebind-cli"};
    app.add_option("-t,--title", project.title,
                   "Book title; also names the archive (default: the one the first file names in "
                   "its text or its file name, else its file name)")
        ->type_name("TEXT");
    TypedDetails given;
    BookDetails& details = project.details;
    app.add_option("-a,--author", given.authors,
                   "Author name; give it again for each further author")
        ->type_name("TEXT")
        ->allow_extra_args(false);
    std::string cover;
    auto* coverOption =
        app.add_option("-c,--cover", cover,
                       "Cover picture (JPEG, PNG or GIF), or auto: one drawn with the title and "
                       "the author (default, unless --plain); a picture called auto is ./auto")
            ->type_name("PICTURE|auto");
    bool noCover = false;
    app.add_flag("--no-cover", noCover, "A book without a cover")->excludes(coverOption);
    app.add_option("--font", project.fontPath,
                   "TrueType or OpenType font for the body text, embedded with only the "
                   "characters the book uses; FILE#N takes font N (from 0) of a collection")
        ->type_name("FILE[#N]");
    app.add_option("-o,--output", project.outputFolder,
                   "Folder that receives TITLE.epub; created when missing (default: the current "
                   "folder)")
        ->type_name("FOLDER");
    app.add_flag("-y,--yes", options.assumeYes, "Replace an existing archive without asking");
    app.add_option("--encoding", charset,
                   "Decode every text file in CHARSET instead of choosing per file")
        ->type_name("CHARSET");
    // The command line reads the text by default; --plain gives the window's book.
    std::optional<std::string> paragraphs;
    std::optional<std::string> chapters;
    std::optional<std::string> conventions;
    std::string tocLabels = "page";
    std::optional<std::string> language;
    std::optional<std::string> maxPageKb;
    std::optional<std::string> epubVersion;
    std::string writingMode = "auto";
    std::optional<std::string> paragraphStyle;
    app.add_option("--paragraphs", paragraphs,
                   "auto: chosen per file from its shape (default); lines: each line one "
                   "paragraph (--plain); blocks: blank lines separate paragraphs and the lines "
                   "between them are joined, as hard-wrapped prose needs")
        ->type_name("auto|lines|blocks");
    app.add_option("--chapters", chapters,
                   "auto (default): lines such as \"Chapter 12\", \"Part One\", "
                   "\"Prologue\", \"第十二章\", \"卷三\" begin a new page and a contents entry; "
                   "off (--plain); or a PCRE2 pattern that matches a whole heading line (trimmed, "
                   "at most 80 characters)")
        ->type_name("auto|off|REGEX");
    app.add_option("--conventions", conventions,
                   "auto (default): a Project Gutenberg header and footer go to the last page, "
                   "_words_ are set in italics, lines such as \"* * *\" are scene breaks, a "
                   "contents list stays text, Aozora Bunko markup becomes ruby, headings, page "
                   "breaks, indents and emphasis; none (--plain): the text as it is")
        ->type_name("auto|none");
    app.add_option("--toc-labels", tocLabels,
                   "Contents label of each text file: page (\"page3\", default), file (its "
                   "name without extension) or first-line (its first non-blank line)")
        ->type_name("page|file|first-line");
    app.add_option("--language", language,
                   "Language of the book: a BCP 47 tag (de, zh-CN, pt-BR) or auto to detect it "
                   "from the text (default; --plain: the locale's)")
        ->type_name("TAG|auto");
    app.add_option("--max-page-kb", maxPageKb,
                   "Largest page file in KiB (default 256); longer texts continue in more page "
                   "files; 0: no limit; a limit below one page's head and tail is raised to that")
        ->type_name("N");
    app.add_option("--jobs", project.jobs,
                   "Compress the book on N threads at once; with --each, make N books at once "
                   "(default: QB_JOBS, else one per processor)")
        ->type_name("N")
        ->check(CLI::Range(1, kMaxJobs));
    app.add_option("--epub-version", epubVersion,
                   "2: EPUB 2, which every reader opens; 3: EPUB 3, which some stores require, "
                   "with fb.ncx kept for older readers; default: 2, or 3 for a book with ruby "
                   "or vertical pages")
        ->type_name("2|3");
    app.add_flag("--plain", options.plain,
                 "The book of the window's defaults: each line one paragraph, no chapters, the "
                 "locale's language, no conventions, no indents, no title page, no drawn cover; "
                 "reading options given beside it still apply");
    app.add_option("--paragraph-style", paragraphStyle,
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
    app.add_option("--writing-mode", writingMode,
                   "horizontal; vertical (EPUB 3: lines top to bottom, pages turned to the left); "
                   "auto: vertical for a Japanese Aozora Bunko book (default)")
        ->type_name("horizontal|vertical|auto");
    app.add_flag("--each", options.each,
                 "Make one book of each text file instead of one of all, on --jobs books at "
                 "once; each takes its title, author and language from its own text or file "
                 "name as a lone file would. Prints a line per book and a summary; exit status "
                 "0 only when every book was made");
    app.add_flag("-q,--quiet", options.quiet, "Show no progress");
    app.set_version_flag("--version", std::string("quirebind-cli ") + kVersion);
    app.add_option("FILE", project.sourceFiles,
                   "Text files, in page order; a folder stands for the .txt files directly in "
                   "it, in natural order (2 before 10)")
        ->type_name("FILE");
    std::string filesFrom;
    bool nulSeparated = false;
    app.add_option("--files-from", filesFrom,
                   "Also the text files (or folders) named in LIST, one a line, after any FILE; "
                   "- reads standard input. For more files than a command line holds")
        ->type_name("LIST");
    app.add_flag("-0,--null", nulSeparated,
                 "The names in the --files-from list end with a NUL byte instead of a line break");
    app.footer(
        "Prints the path of the book it made (with --each, a line per book and a summary). Exit "
        "status: 0 built, 1 not built, 2 wrong usage.");

    if (!emptyValuesRefused(argc, argv)) {
        exitStatus = kExitUsage;
        return std::nullopt;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        exitStatus = app.exit(e);  // --help or --version: printed on stdout
        return std::nullopt;
    } catch (const CLI::ExtrasError& e) {
        // A file named "-notes.txt" reads as options; say how to name it.
        std::string dashed;
        for (int i = 1; i < argc && dashed.empty(); ++i) {
            const std::string_view arg = argv[i];
            if (arg == "--") break;
            if (arg.size() > 1 && arg[0] == '-' && e.what() != nullptr &&
                std::string_view(e.what()).find(arg) != std::string_view::npos)
                dashed = arg;
        }
        if (dashed.empty()) dashed = "?";
        std::cerr << "quirebind-cli: \"" << dashed
                  << "\" is no option; a file whose name begins with \"-\" is given as ./" << dashed
                  << " or after --\n"
                  << "Run with --help for more information.\n";
        exitStatus = kExitUsage;
        return std::nullopt;
    } catch (const CLI::ParseError& e) {
        std::cerr << "quirebind-cli: " << e.what() << "\n"
                  << "Run with --help for more information.\n";
        exitStatus = kExitUsage;
        return std::nullopt;
    }
    if (cover == "auto") {
        project.generatedCover = true;
    } else if (!cover.empty()) {
        project.coverPath = cover;
    } else {
        project.generatedCover = !noCover && !options.plain;
    }

    if (!filesFrom.empty()) {
        try {
            for (std::string& path : listedFiles(filesFrom, nulSeparated))
                project.sourceFiles.push_back(std::move(path));
        } catch (const std::exception& e) {
            std::cerr << "quirebind-cli: --files-from: "
                      << failureMessage(e, "reading the list \"" + filesFrom + "\"") << "\n";
            exitStatus = kExitNotBuilt;
            return std::nullopt;
        }
    } else if (nulSeparated) {
        usageError("-0 goes with --files-from");
        exitStatus = kExitUsage;
        return std::nullopt;
    }
    try {
        project.sourceFiles = expandTextFolders(project.sourceFiles);
    } catch (const std::exception& e) {
        std::cerr << "quirebind-cli: " << e.what() << "\n";
        exitStatus = kExitNotBuilt;
        return std::nullopt;
    }
    if (project.sourceFiles.empty()) {
        std::cerr << "quirebind-cli: "
                  << (filesFrom.empty() ? "FILE is required"
                                        : "--files-from: \"" + filesFrom + "\" names no file")
                  << "\n"
                  << "Run with --help for more information.\n";
        exitStatus = kExitUsage;
        return std::nullopt;
    }

    // What the user types arrives in the locale's charset (GBK, ISO-8859-1, ...); the book holds
    // UTF-8. Only texts are converted: paths go to the file system as the bytes they are.
    const std::string typed = localeCharset();
    if (!isUtf8CharsetName(typed)) {
        try {
            IconvConverter fromLocale(typed);
            for (std::string* text :
                 {&project.title, &details.description, &details.publisher, &details.rights,
                  &details.series, &details.titleSort, &details.authorSort})
                *text = fromLocale.convert(*text);
            if (chapters) *chapters = fromLocale.convert(*chapters);
            for (std::vector<std::string>* texts : {&given.authors, &details.subjects})
                for (std::string& text : *texts) text = fromLocale.convert(text);
        } catch (const std::exception& e) {
            std::cerr << "quirebind-cli: cannot read the options in the locale's charset \""
                      << typed << "\": " << e.what() << "\n";
            exitStatus = kExitNotBuilt;
            return std::nullopt;
        }
    }
    // What names one book cannot name each of several.
    if (options.each) {
        for (const char* option : {"--title", "--title-sort", "--isbn", "--series-index"}) {
            if (app.count(option) == 0) continue;
            usageError(std::string(option) +
                       " names one book; with --each every book takes its own from its text or "
                       "file name");
            exitStatus = kExitUsage;
            return std::nullopt;
        }
        // Every book reads these files anew, and a pipe (-c <(curl ...)) gives its bytes to
        // the first book only: the others would fail, or get no cover.
        std::string font = project.fontPath.substr(0, project.fontPath.rfind('#'));
        for (const auto& [option, file] :
             {std::pair<const char*, const std::string*>{"--cover", &project.coverPath},
              {"--css", &project.stylesheetPath},
              {"--font", &font}}) {
            struct stat st {};
            // A missing file: each book says so, as a lone book would.
            if (file->empty() || ::stat(file->c_str(), &st) != 0) continue;
            if (!S_ISFIFO(st.st_mode) && !S_ISCHR(st.st_mode) && !S_ISSOCK(st.st_mode)) continue;
            usageError(std::string(option) + ": \"" + *file +
                       "\" can be read once only, and --each reads it for every book; save it "
                       "to a file first");
            exitStatus = kExitUsage;
            return std::nullopt;
        }
    }
    options.titleGiven = app.count("--title") > 0;
    options.authorGiven = app.count("--author") > 0;
    // "--language auto" names none: a Gutenberg header's may still fill it.
    options.languageGiven = language && lowerAscii(*language) != "auto";
    if (!options.plain && !language) language = "auto";
    if (project.outputFolder.empty() && app.count("--output") == 0) project.outputFolder = ".";
    ChoiceWords words{
        {BookChoice::Paragraphs, paragraphs.value_or(options.plain ? "lines" : "auto")},
        {BookChoice::Conventions, conventions.value_or(options.plain ? "none" : "auto")},
        {BookChoice::Chapters, chapters.value_or(options.plain ? "off" : "auto")},
        {BookChoice::TocLabels, tocLabels},
        {BookChoice::WritingMode, writingMode},
    };
    if (language) words[BookChoice::Language] = *language;
    if (maxPageKb) words[BookChoice::MaxPageKb] = *maxPageKb;
    if (app.count("--encoding") > 0) words[BookChoice::Encoding] = charset;
    if (epubVersion) words[BookChoice::EpubVersion] = *epubVersion;
    // The command line makes a book that looks printed; --plain gives back the first
    // program's look, though a style named beside it still applies.
    project.style = options.plain ? BookStyle::Plain : BookStyle::Indent;
    project.fastDeflate = !options.plain;
    if (paragraphStyle) words[BookChoice::ParagraphStyle] = *paragraphStyle;
    // Not chosen: EPUB 2, unless the book has ruby or vertical pages, which only EPUB 3 has.
    project.epubVersionChosen = epubVersion.has_value();
    if (!readBookChoices(project, words) || !readLookAndDetails(options, given)) {
        exitStatus = kExitUsage;
        return std::nullopt;
    }
    if (const std::string fault = outputFault(project); !fault.empty()) {
        std::cerr << "quirebind-cli: " << fault << "\n";
        exitStatus = kExitNotBuilt;
        return std::nullopt;
    }
    exitStatus = kExitBuilt;
    return options;
}

}  // namespace qb
