#pragma once
#include <string>

namespace qb {

// Writes the book's small default stylesheet.css. Raises EFCreateError or EWriteError.
void writeStylesheet(const std::string& path);

}  // namespace qb
