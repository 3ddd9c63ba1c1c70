#pragma once
// The user's entries, checked before a run writes anything.

#include <string>

#include "book/book_project.h"

namespace qb {

// What is wrong with the entries, as the "Note!" box says it, or empty when nothing is: a
// missing output folder, title or author, an output folder inside the work folder or the book
// template (see outputPlaceProblem), or a choice the reader could not use (see choicesProblem).
std::string entryProblem(const BookProject& project, const std::string& workFolder,
                         const std::string& templateFolder);

// Why the output folder cannot hold books, from its quoted name on, so that each program puts
// its own name for it in front ("The output folder ", "-o: "); empty when it can. Every run
// empties the work folder, which would delete a book kept below it or pack it into itself;
// the template is copied into every work folder, so a book kept there would travel into every
// later book. An empty folder name is no folder and is not checked.
std::string outputPlaceProblem(const std::string& outputFolder, const std::string& workFolder,
                               const std::string& templateFolder);

}  // namespace qb
