#pragma once
// The file name a book's archive gets from its title.

#include <string>

namespace qb {

// The archive's file name for a title: characters that e-reader file systems cannot hold
// (/ \ : * ? " < > | and controls) become "_"; "." and ".." become "_"; ".epub" is added. A
// name that would pass 255 bytes is shortened at a character boundary.
std::string archiveFileName(const std::string& title);

}  // namespace qb
