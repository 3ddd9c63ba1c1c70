#pragma once
// What the command line asks for, and how it is read.

#include <optional>
#include <string>
#include <vector>

#include "book/book_project.h"

namespace qb {

struct CliOptions {
    BookProject project;
    bool assumeYes = false;  // -y: replace an existing archive without asking
    bool quiet = false;      // -q: no progress lines
    bool plain = false;      // --plain: the first program's book
    bool each = false;       // --each: one book per text file
    // What the user typed; the rest may come from the text.
    bool titleGiven = false;
    bool authorGiven = false;
    bool languageGiven = false;
};

// Exit statuses of quirebind-cli.
inline constexpr int kExitBuilt = 0;
inline constexpr int kExitNotBuilt = 1;
inline constexpr int kExitUsage = 2;

// Reads the command line. On --help, --version or wrong usage it prints what is due and returns
// nothing, with the status to exit with in exitStatus.
std::optional<CliOptions> parseCommandLine(int argc, char** argv, int& exitStatus);

}  // namespace qb
