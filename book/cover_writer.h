#pragma once
#include <string>

namespace qb {

// Writes the cover page that shows pictureName (a bare file name beside the page).
// False when the file could not be written; never raises.
bool writeCoverPage(const std::string& coverPagePath, const std::string& pictureName);

}  // namespace qb
