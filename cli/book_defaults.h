#pragma once
// What the command line settles that the user did not type: the title, the author and the
// language, from the first text file's own words or its name.

#include <string>
#include <vector>

#include "cli/cli_options.h"

namespace qb {

// Fills the title, author and (with conventions) language the user did not give, from the
// first text file: its own metadata, then its file name; an author nothing names is "Unknown".
// Returns the progress lines that say where each came from ("Title: Dracula (from the text)").
// Only a regular file is read here: a pipe yields its bytes once, to the conversion.
std::vector<std::string> fillBookDefaults(CliOptions& options);

}  // namespace qb
