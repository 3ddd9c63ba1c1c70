#pragma once
// Whole files and folder listings for the tests. Each fails loudly: a test that reads back a
// file which was never written must not see an empty one.

#include <string>
#include <vector>

namespace qb::test {

// The bytes of a file (or of what a pipe gives until its end). Throws std::runtime_error naming
// the path and the cause when it cannot be opened or read.
std::string readFile(const std::string& path);
// Creates or replaces a file with the bytes. Throws std::runtime_error as readFile does.
void writeFile(const std::string& path, const std::string& bytes);

// The names in a folder, hidden ones included, sorted. Throws when it cannot be listed.
std::vector<std::string> folderNames(const std::string& folder);

}  // namespace qb::test
