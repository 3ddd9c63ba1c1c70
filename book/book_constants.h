#pragma once
// Fixed texts that every book carries.

namespace qb {

// dc:source of every book: the program's home page.
inline constexpr const char* kBookSourceAddress = "https://quirebind.example/";
// dc:rights of every book.
inline constexpr const char* kBookRightsStatement = "All rights reserved by the author.";

// The EPUB 3 navigation document, beside the pages; no other file of the book may take its name.
inline constexpr const char* kNavigationDocumentName = "nav.xhtml";

inline constexpr const char* kOpfNamespace = "http://www.idpf.org/2007/opf";
inline constexpr const char* kDublinCoreNamespace = "http://purl.org/dc/elements/1.1/";
inline constexpr const char* kNcxNamespace = "http://www.daisy.org/z3986/2005/ncx/";

}  // namespace qb
