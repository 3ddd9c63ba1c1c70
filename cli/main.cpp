// quirebind-cli: turns text files into one EPUB book (or, with --each, a book of each) from the
// command line, through the same conversion run as the window.

#include <unistd.h>

#include <csignal>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/book_defaults.h"
#include "cli/child_process.h"
#include "cli/cli_options.h"
#include "cli/each_book.h"
#include "cli/interruption.h"
#include "cli/terminal_ui.h"
#include "convert/conversion_run.h"
#include "convert/work_folder.h"
#include "platform/build_info.h"
#include "platform/failure_message.h"
#include "platform/paths.h"

namespace {

int convert(const qb::CliOptions& options, const std::string& workFolder) {
    const bool progress = !options.quiet && isatty(STDERR_FILENO) != 0;
    qb::TerminalUi ui(options.assumeYes, progress, !options.quiet);
    qb::ConversionRun run(workFolder);
    qb::installInterruptionHandlers();
    const qb::RunResult result = run.run(options.project, ui);
    ui.endProgress();
    if (const int signal = qb::pendingInterruption()) qb::endBySignal(signal);
    if (result != qb::RunResult::Built) return qb::kExitNotBuilt;
    // The book is made whoever reads this line: a reader that has gone (| true, | head -0)
    // makes the write fail with EPIPE, which changes nothing about the book.
    std::cout << run.targetArchive() << std::endl;
    return qb::kExitBuilt;
}

}  // namespace

int main(int argc, char** argv) {
    // A closed pipe on stdout or stderr must not kill a run that has made, or is making, its
    // book; writes there fail with EPIPE instead, and the run goes on. The child inherits this.
    std::signal(SIGPIPE, SIG_IGN);

    int status = qb::kExitUsage;
    std::optional<qb::CliOptions> options = qb::parseCommandLine(argc, argv, status);
    if (!options) return status;
    // With --each every book settles its own, once its worker reads it.
    if (!options->each) {
        const std::vector<std::string> defaults = qb::fillBookDefaults(*options);
        if (!options->quiet && isatty(STDERR_FILENO) != 0) {
            for (const std::string& line : defaults) std::cerr << "quirebind-cli: " << line << "\n";
        }
    }

    const std::string templateFolder = qb::findTemplateFolder();
    if (templateFolder.empty()) {
        std::cerr << "quirebind-cli: the book template (epubfiles/mimetype) is in none of these "
                     "folders:";
        for (const std::string& folder :
             qb::templateFolderCandidates(qb::programFolder(), qb::kConfiguredTemplateFolder))
            std::cerr << "\n  " << folder;
        std::cerr << "\n";
        return qb::kExitNotBuilt;
    }

    qb::ChildEnd end;
    try {
        if (options->each) {
            // A work folder per worker, each removed here however the child ends.
            std::vector<std::unique_ptr<qb::WorkFolder>> work;
            std::vector<std::string> paths;
            for (int w = qb::eachWorkers(*options); w > 0; --w) {
                work.push_back(
                    std::make_unique<qb::WorkFolder>(templateFolder, qb::temporaryFolderBase()));
                paths.push_back(work.back()->path());
            }
            end = qb::runInChild([&] { return qb::makeEachBook(*options, paths); });
        } else {
            const qb::WorkFolder work(templateFolder, qb::temporaryFolderBase());
            end = qb::runInChild([&] { return convert(*options, work.path()); });
        }
    } catch (const std::exception& e) {
        std::cerr << "quirebind-cli: " << qb::failureMessage(e, "preparing the work folder")
                  << "\n";
        return qb::kExitNotBuilt;
    }
    // The work folder is gone by now, whatever ended the child.
    switch (end.signal) {
        case 0:
            return end.exitStatus;
        case SIGINT:
        case SIGTERM:
        case SIGHUP:
        case SIGQUIT:
        case SIGPIPE:
            qb::endBySignal(end.signal);
        default:
            std::cerr << "quirebind-cli: the conversion ended abnormally: " << strsignal(end.signal)
                      << "\n";
            return qb::kExitNotBuilt;
    }
}
