#pragma once
// What the command line settles that the user did not type: the title, the author and the
// language, from the first text file's own words or its name.

#include <string>
#include <vector>

#include "cli/cli_options.h"

namespace qb {

// Fills what the user did not type, as settleBookDefaults (convert/book_defaults.h) says, and
// returns the progress lines that say where each came from.
std::vector<std::string> fillBookDefaults(CliOptions& options);

}  // namespace qb
