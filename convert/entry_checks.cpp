#include "convert/entry_checks.h"

#include "convert/book_choices.h"
#include "platform/blank.h"
#include "platform/folders.h"

namespace qb {

std::string entryProblem(const BookProject& project, const std::string& workFolder,
                         const std::string& templateFolder) {
    if (project.outputFolder.empty()) return "Please set the saving path!";
    if (isBlank(project.title)) return "Please set the book title!";
    if (project.author.empty()) return "Please set the author name!";
    if (const std::string place =
            outputPlaceProblem(project.outputFolder, workFolder, templateFolder);
        !place.empty())
        return "The output folder " + place;
    // The command line refuses these as it reads them; the window's may come from a settings
    // file written by hand.
    if (const ChoiceProblem choice = choicesProblem(project))
        return std::string(choiceLabel(choice.choice)) + ": " + choice.text;
    return {};
}

std::string outputPlaceProblem(const std::string& outputFolder, const std::string& workFolder,
                               const std::string& templateFolder) {
    if (outputFolder.empty()) return {};
    if (!workFolder.empty() && liesWithin(outputFolder, workFolder)) {
        return "\"" + outputFolder + "\" lies inside the work folder \"" + workFolder +
               "\", which every run empties. Please choose another folder.";
    }
    if (!templateFolder.empty() && liesWithin(outputFolder, templateFolder)) {
        return "\"" + outputFolder + "\" lies inside the book template \"" + templateFolder +
               "\"; please choose another folder";
    }
    return {};
}

}  // namespace qb
