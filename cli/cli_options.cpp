#include "cli/cli_options.h"

#include <CLI/CLI.hpp>
#include <iostream>

#include "platform/iconv_converter.h"

namespace qb {

std::optional<CliOptions> parseCommandLine(int argc, char** argv, int& exitStatus) {
    CliOptions options;
    BookProject& project = options.project;
    std::string charset;

    CLI::App app{
        "Turns plain-text files into one EPUB book: each file becomes one page, in the "
        "order given, each line one paragraph.",
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
    app.add_option("--jobs", project.jobs,
                   "Compress the book on N threads at once (default: QB_JOBS, else one per "
                   "processor)")
        ->type_name("N")
        ->check(CLI::Range(1, 64));
    app.add_flag("-q,--quiet", options.quiet, "Show no progress");
    app.set_version_flag("--version", std::string("quirebind-cli ") + QB_VERSION);
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
    exitStatus = kExitBuilt;
    return options;
}

}  // namespace qb
