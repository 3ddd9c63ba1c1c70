#pragma once
#include <string>

namespace qb {

// Writes the cover page that shows pictureName (a bare file name beside the page), in the
// book's language. False when the file could not be written; never raises.
bool writeCoverPage(const std::string& coverPagePath, const std::string& pictureName,
                    const std::string& languageTag);

}  // namespace qb
