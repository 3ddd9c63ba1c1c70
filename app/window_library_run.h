#pragma once
// "One book per text file" in the window: Convert makes a book of each listed text, on the
// window's worker thread, as the command line's --each does.
//
// Each book takes its own title, author (and, with the text's conventions, language) from its
// own text or file name; the window's title and author fields are left out, since they name one
// book and every book here has its own. The other entries (cover, output folder, book options)
// are shared, as --each shares the command line's.
//
// A book already in the output folder is asked about once for all, before any book starts:
// books are made several at once, and a question per book would stop every worker on its own
// box, and a library of hundreds would ask hundreds of times. A book refused replacement is
// kept and the others are made. One box at the end tells the whole run: "Congratulation" when
// no book failed, the error box otherwise, listing each failure with its cause.

#include <functional>
#include <string>
#include <vector>

#include "convert/conversion_run.h"
#include "convert/library_run.h"

namespace qb {

class RunBridge;

// How the run ended, for the window.
struct WindowLibraryEnd {
    RunResult result = RunResult::Failed;
    std::string cancelledNote;  // the footer's words after a cancelled run
};

// What the window needs to make the books.
struct WindowLibrarySetup {
    BookProject shared;          // the texts and the shared entries
    bool languageTyped = false;  // the book options name a language: no text's own replaces it
    std::string workFolder;      // the window's own; the first worker's
    std::string templateFolder;  // for the other workers' folders, made beside the window's
    int jobs = 0;                // 0: one per processor
};

// Worker thread. Asks and shows through bridge; progress(done, total) as books end.
WindowLibraryEnd runWindowLibrary(const WindowLibrarySetup& setup, RunBridge& bridge,
                                  const std::function<void(int done, int total)>& progress);

// The ended books as the summary box lists them.
struct LibraryListing {
    std::vector<std::string> failures;  // "source: cause"
    std::vector<std::string> kept;      // "archive name": refused replacement
    std::vector<std::string> warnings;  // "archive name: warning", of books made
};

// The summary box's text: the core's summary line, the folder, then what went wrong, at most
// kMaxListedLines lines of it so that the box stays on the screen, and how many more.
std::string librarySummaryText(const LibrarySummary& summary, const LibraryListing& listing,
                               const std::string& folder);
inline constexpr std::size_t kMaxListedLines = 20;

}  // namespace qb
