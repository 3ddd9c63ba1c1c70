#pragma once
// The lines that pages and the cover page share.

#include <string>

namespace qb {

// Line 1 of a page: the XML declaration.
inline constexpr const char* kPageDeclaration = "<?xml version='1.0' encoding='utf-8'?>";
// Line 5 of a page: the book's stylesheet.
inline constexpr const char* kStylesheetLink =
    "<link href=\"stylesheet.css\" type=\"text/css\" rel=\"stylesheet\"/>";

// Line 2 of a page: the root start tag with the language tag, ending in ">" and one space.
std::string pageRootStartTag(const std::string& languageTag);

}  // namespace qb
