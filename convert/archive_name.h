#pragma once
// The file name a book's archive gets from its title.

#include <string>

namespace qb {

// The archive's file name for a title: characters that e-reader file systems cannot hold
// (/ \ : * ? " < > | and controls) become "_"; "." and ".." become "_"; ".epub" is added. A
// name that would pass 255 bytes is shortened at a character boundary.
std::string archiveFileName(const std::string& title);

// archiveFileName(title) with " (n)" before ".epub", for the n-th book of a library that would
// have the same name. The title is cut shorter, never the number, should the name pass 255
// bytes.
std::string numberedArchiveName(const std::string& title, int n);

}  // namespace qb
