#pragma once
// A folder given where text files are expected: the .txt files directly in it, in the order a
// file manager shows them.

#include <string>
#include <vector>

namespace qb {

// File names in a file manager's order: ASCII letters compared without case, and runs of
// digits compared as numbers, so that "2 two.txt" comes before "10 ten.txt" whatever the
// locale's collation. Names equal but for case or leading zeros are ordered bytewise, so the
// order is total and the same on every machine.
bool naturalLess(const std::string& a, const std::string& b);

// The paths of the text files directly in folder, in natural order of their names: entries
// whose name ends in ".txt" (any case) that are not folders. Subfolders are not entered. A link
// that leads nowhere (or round a loop) is kept, so that the conversion says what is wrong with
// it instead of the file going missing quietly. Raises Error when the folder cannot be listed.
std::vector<std::string> textFilesIn(const std::string& folder);

// The inputs with every folder among them replaced by textFilesIn(folder), in place; files stay
// as given. Raises Error for a folder that cannot be listed or holds no text file: a folder
// that adds nothing is a mistyped name more often than a wish.
std::vector<std::string> expandTextFolders(const std::vector<std::string>& inputs);

}  // namespace qb
