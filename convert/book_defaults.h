#pragma once
// What a book takes from its first text file when the user did not say: the title, the author
// and the language, from the text's own words or its file name. The command line does this for
// its one book, and a library run for each of its books.

#include <string>
#include <vector>

#include "book/book_project.h"

namespace qb {

// Which of the fields the user gave, and so must be left as they are.
struct TypedFields {
    bool title = false;
    bool author = false;
    bool language = false;
};

// Fills the title, author and (with conventions) language the user did not give, from the
// first text file: its own metadata, then its file name; an author nothing names is "Unknown".
// Returns the lines that say where each came from ("Title: Dracula (from the text)"). Only a
// regular file is read here: a pipe yields its bytes once, to the conversion.
std::vector<std::string> settleBookDefaults(BookProject& project, const TypedFields& typed);

}  // namespace qb
