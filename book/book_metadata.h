#pragma once
// What the package document and the table of contents are written from.

#include <ctime>
#include <string>

#include "book/book_outline.h"

namespace qb {

struct BookMetadata {
    BookOutline outline;      // the page files and contents entries, as the pages made them
    std::string languageTag;  // dc:language and the NCX's xml:lang, the pages' own tag
    std::string title;        // UTF-8, as typed
    std::string author;       // UTF-8, as typed
    std::string coverPath;    // empty: no cover; else its file name part is the picture
    std::string coverMediaType = "image/jpeg";
    std::string contentFolder;  // fb.opf and fb.ncx are written here
    std::string identifier;     // "urn:uuid:..." (see newBookIdentifier)
    std::string date;           // YYYY-MM-DD (see todayDate)
    std::string modified;       // EPUB 3: YYYY-MM-DDThh:mm:ssZ (see modifiedTimestamp)
    int epubVersion = 2;        // 2 or 3
};

// Writes contentFolder + "/fb.opf", in the package format of book.epubVersion.
void writePackageDocument(const BookMetadata& book);
// Writes contentFolder + "/fb.ncx".
void writeNavigationControlFile(const BookMetadata& book);

// The title as the files of an EPUB 3 book give it: as typed, or "untitled" when nothing of it
// could be shown (controls, blanks), since EPUB 3 checkers reject an empty title.
std::string epub3Title(const std::string& title);

// A fresh random version-4 UUID as "urn:uuid:xxxxxxxx-xxxx-4xxx-yxxx-xxxxxxxxxxxx".
std::string newBookIdentifier();
// The local date of a clock reading as YYYY-MM-DD.
std::string todayDate(std::time_t now);
// A clock reading in UTC as YYYY-MM-DDThh:mm:ssZ, the form dcterms:modified takes.
std::string modifiedTimestamp(std::time_t now);

}  // namespace qb
