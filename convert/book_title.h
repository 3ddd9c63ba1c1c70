#pragma once
// The title of a book that is already at the archive's path, so that a run about to replace
// it can say which book that is.

#include <string>

namespace qb {

// The dc:title of the EPUB at archivePath, from the package document its container names; ""
// when the file is no readable EPUB or has no title. Never raises: a damaged or foreign file
// only means the book is not named.
std::string titleOfBook(const std::string& archivePath);

}  // namespace qb
