#pragma once
// The user's entries, checked before a run writes anything.

#include <string>

#include "book/book_project.h"

namespace qb {

// What is wrong with the entries, as the "Note!" box says it, or empty when nothing is: a
// missing output folder, title or author, an output folder inside the work folder (which
// every run empties), or a choice the reader could not use (see choicesProblem).
std::string entryProblem(const BookProject& project, const std::string& workFolder);

}  // namespace qb
