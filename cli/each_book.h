#pragma once
// quirebind-cli --each: one book per text file, several at once, a line for each as it ends.

#include <string>
#include <vector>

#include "cli/cli_options.h"

namespace qb {

// The number of books made at once: --jobs (else QB_JOBS, else one per processor), never more
// than there are books.
int eachWorkers(const CliOptions& options);

// Makes the books, one worker per work folder, and returns the exit status: kExitBuilt when
// every book was made. Runs in the conversion's child process: a signal stops every worker,
// waits for those packing to remove their unfinished archives, and ends the process by it.
int makeEachBook(const CliOptions& options, const std::vector<std::string>& workFolders);

}  // namespace qb
