#pragma once
// The book project as the user entered it, handed to the converter core by the window or the
// command line at the moment a conversion starts.

#include <string>
#include <vector>

namespace qb {

struct BookProject {
    std::vector<std::string> sourceFiles;  // text files in page order; row k becomes page k
    std::string title;                     // as typed, not trimmed
    std::string author;                    // as typed, not trimmed
    std::string coverPath;                 // empty: no cover
    std::string outputFolder;              // folder that receives the .epub
    std::string charset;                   // empty: decide per file; else decode every file in it
};

}  // namespace qb
