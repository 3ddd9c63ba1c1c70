#include "convert/entry_checks.h"

#include "convert/book_choices.h"
#include "platform/blank.h"
#include "platform/folders.h"

namespace qb {

std::string entryProblem(const BookProject& project, const std::string& workFolder) {
    if (project.outputFolder.empty()) return "Please set the saving path!";
    if (isBlank(project.title)) return "Please set the book title!";
    if (project.author.empty()) return "Please set the author name!";
    // Every run replaces the work folder's content: a book kept below it would be deleted by
    // the next run, or packed into itself.
    if (liesWithin(project.outputFolder, workFolder)) {
        return "The output folder \"" + project.outputFolder + "\" lies inside the work folder \"" +
               workFolder + "\", which every run empties. Please choose another folder.";
    }
    // The command line refuses these as it reads them; the window's may come from a settings
    // file written by hand.
    if (const ChoiceProblem choice = choicesProblem(project))
        return std::string(choiceLabel(choice.choice)) + ": " + choice.text;
    return {};
}

}  // namespace qb
