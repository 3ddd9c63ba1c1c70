#pragma once
#include <string>

namespace qb {

// Writes the cover page that shows pictureName (a bare file name beside the page), in the
// book's language, as XHTML 1.1 for EPUB 2 and XHTML5 for EPUB 3. Raises EFCreateError or
// EWriteError, like the other writers of the book's files. A styled page's body and picture
// take the stylesheet's cover rules, which let the picture fill the screen.
void writeCoverPage(const std::string& coverPagePath, const std::string& pictureName,
                    const std::string& languageTag, int epubVersion = 2, bool styled = false);

}  // namespace qb
