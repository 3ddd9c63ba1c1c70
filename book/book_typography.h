#pragma once
// The steps of a run that bring in the typesetting layer: the cover drawn for a book given none,
// and the user's font embedded for the body text.

#include <cstdint>
#include <set>
#include <string>

#include "book/book_project.h"

namespace qb {

class ReadingReport;
class BodyFont;

// The drawn cover's JPEG bytes. Characters that no installed font could show are drawn as boxes
// and named in a warning: the cover is made all the same.
std::string drawnCoverPicture(const BookProject& project, const std::string& languageTag,
                              ReadingReport& ui);

struct EmbeddedFontFile {
    std::string name;       // beside the pages
    std::string mediaType;  // for the manifest
};

// Writes the body font beside the pages of contentFolder, subset to the characters they hold,
// appends its @font-face rule and the body's font-family to their stylesheet.css (so the
// stylesheet's own rules need not know of it, and a user's stylesheet linked after it still
// wins), and reports the embedded size. Raises Error.
EmbeddedFontFile embedBodyFont(const BodyFont& font, const std::string& contentFolder,
                               int epubVersion, ReadingReport& ui);

// Every character of the text of the pages (.html, .xhtml) in folder, as a reader shows it:
// entities resolved, markup left out.
std::set<char32_t> pageCharacters(const std::string& folder);

}  // namespace qb
