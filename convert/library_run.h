#pragma once
// A library run: every text file becomes its own book, several books made at once.
//
// Each book is one ConversionRun as a single book would be, with the same checks, the same rule
// that an existing book is replaced only with consent, and the same publication: the archive
// takes its name only once it is whole. Each worker has a work folder of its own. A book that
// fails is reported and the others go on.

#include <cstddef>
#include <string>
#include <vector>

#include "book/book_project.h"
#include "convert/book_defaults.h"
#include "convert/conversion_run.h"

namespace qb {

// One book of a library, settled before any is made.
struct LibraryBook {
    std::string source;       // the text file, as given
    BookProject project;      // its own title, author and language; the rest as shared
    std::string archiveName;  // its file name in the output folder
    bool numbered = false;    // "(n)" was added: an earlier input would have had its name
};

// The books for the text files of shared.sourceFiles, in that order: each with its own title,
// author and language as settleBookDefaults gives them (except the fields typed), and a file
// name no other book of the library has, ignoring ASCII case so that the books can go side by
// side onto a card that ignores it. The first input to want a name gets it; a later one gets
// "Title (2).epub", or the next number free. The texts are read on up to `jobs` threads, and the
// result is the same for any number.
std::vector<LibraryBook> planLibrary(const BookProject& shared, const TypedFields& typed, int jobs);

// How one book ended.
struct BookOutcome {
    RunResult result = RunResult::Failed;
    std::string archive;                // the path of the book made, or meant
    std::string message;                // why it was not made, on one line
    bool keptExisting = false;          // a book was at its path, and replacing it was refused
    std::vector<std::string> warnings;  // what the user should know of a book made
    double seconds = 0;
};

struct LibrarySummary {
    int made = 0;
    int failed = 0;
    int notStarted = 0;  // left when the run was cancelled
    int numbered = 0;    // books whose name got a number
};

// "38 books made, 2 failed", and what else the user should know of the run.
std::string summaryLine(const LibrarySummary& summary);

// What a library run tells and asks. Every member but bookDone may be called from several
// worker threads at once.
class LibraryUi {
  public:
    virtual ~LibraryUi() = default;
    // One book has ended, whichever way. Called from one thread at a time, as books end.
    virtual void bookDone(const LibraryBook& book, const BookOutcome& outcome) = 0;
    // Whether a book at the archive's path may be replaced.
    virtual bool replaceExisting(const std::string& archive) = 0;
    // True ends the run: no more books start, each book being made stops as a cancelled single
    // book does (an old book kept, no unfinished archive left) and is not reported.
    virtual bool cancelRequested() { return false; }
    // A book's unfinished archive is about to lie in the output folder, and no longer does (its
    // bookDone has been called by then). Between these, ending the process abruptly could
    // leave it behind.
    virtual void packingStarted() {}
    virtual void packingEnded() {}
};

class LibraryRun {
  public:
    // One worker per work folder; each folder holds the template, as a ConversionRun's does.
    explicit LibraryRun(std::vector<std::string> workFolders);

    // Makes the books on min(workers, books) threads, the largest texts first. Each book's
    // archive is packed on packJobs threads.
    LibrarySummary run(const std::vector<LibraryBook>& books, int packJobs, LibraryUi& ui);

  private:
    std::vector<std::string> m_workFolders;
};

// How many of `jobs` threads each book's packing gets when `workers` books are made at once:
// the books share the processors, so that a library of two books on eight still uses them all.
int packJobsPerBook(int jobs, int workers);

}  // namespace qb
