#pragma once
// What the package document and the table of contents are written from (their writers are
// in package_document.h and navigation_control_file.h).

#include <ctime>
#include <string>

#include "book/book_outline.h"
#include "book/book_project.h"

namespace qb {

struct BookMetadata {
    BookOutline outline;      // the page files and contents entries, as the pages made them
    std::string languageTag;  // dc:language and the NCX's xml:lang, the pages' own tag
    std::string title;        // UTF-8, as typed
    std::string author;       // UTF-8, as typed
    std::string coverPath;    // empty: no cover; else its file name part is the picture
    std::string coverMediaType = "image/jpeg";
    std::string contentFolder;    // fb.opf and fb.ncx are written here
    std::string identifier;       // "urn:uuid:..." (see newBookIdentifier)
    std::string date;             // YYYY-MM-DD (see todayDate)
    std::string modified;         // EPUB 3: YYYY-MM-DDThh:mm:ssZ (see modifiedTimestamp)
    int epubVersion = 2;          // 2 or 3
    BookDetails details;          // what the user told about the book besides title and author
    bool titlePage = false;       // titlePageName(epubVersion) follows the cover
    bool userStylesheet = false;  // kUserStylesheetName is in the book
    std::string fontPath;         // empty: no embedded font; else its file name beside the pages
    std::string fontMediaType;
    bool rightToLeft = false;  // EPUB 3: pages turn to the left, as vertical books do
};

// The title as the files of a book give it: as typed, or "untitled" when nothing of it could be
// shown (controls, blanks, U+FFFE), since EPUB 3 checkers reject an empty title and EPUB 2 ones
// warn of it. Named for the version that first required it; both use it.
std::string epub3Title(const std::string& title);

// A fresh random version-4 UUID as "urn:uuid:xxxxxxxx-xxxx-4xxx-yxxx-xxxxxxxxxxxx".
std::string newBookIdentifier();
// The local date of a clock reading as YYYY-MM-DD.
std::string todayDate(std::time_t now);
// A clock reading in UTC as YYYY-MM-DDThh:mm:ssZ, the form dcterms:modified takes.
std::string modifiedTimestamp(std::time_t now);

}  // namespace qb
