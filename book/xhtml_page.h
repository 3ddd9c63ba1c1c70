#pragma once
// The lines that pages, the cover page and the navigation document share.

#include <string>
#include <vector>

namespace qb {

// Line 1 of a page: the XML declaration.
inline constexpr const char* kPageDeclaration = "<?xml version='1.0' encoding='utf-8'?>";
// Line 2 of an EPUB 3 page, before the root start tag: XHTML5 readers expect it.
inline constexpr const char* kHtml5Doctype = "<!DOCTYPE html>";
// Line 5 of a page: the book's stylesheet.
inline constexpr const char* kStylesheetLink =
    "<link href=\"stylesheet.css\" type=\"text/css\" rel=\"stylesheet\"/>";
// The user's own stylesheet, copied into the book under this name and linked after the book's.
inline constexpr const char* kUserStylesheetName = "user.css";
inline constexpr const char* kUserStylesheetLink =
    "<link href=\"user.css\" type=\"text/css\" rel=\"stylesheet\"/>";
inline constexpr const char* kOpsNamespace = "http://www.idpf.org/2007/ops";

// The root start tag with the language tag, ending in ">" and one space. For EPUB 3 it also
// declares the epub: prefix and repeats the tag in lang, which HTML readers go by.
std::string pageRootStartTag(const std::string& languageTag, int epubVersion = 2);

// The extension of page files: EPUB 3 checkers warn about XHTML pages named .html.
inline const char* pageFileExtension(int epubVersion) {
    return epubVersion == 3 ? ".xhtml" : ".html";
}
// The cover page's file name beside the pages.
inline std::string coverPageName(int epubVersion) {
    return std::string("cover") + pageFileExtension(epubVersion);
}

// The title page's file name beside the pages.
inline std::string titlePageName(int epubVersion) {
    return std::string("titlepage") + pageFileExtension(epubVersion);
}

// The lines before the root start tag: the declaration, and for EPUB 3 the doctype.
std::vector<std::string> pagePrologLines(int epubVersion);

}  // namespace qb
