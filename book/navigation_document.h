#pragma once
// The EPUB 3 navigation document, nav.xhtml: the book's contents as readers of EPUB 3 show
// them, written from the same outline as fb.ncx, entry for entry.

#include "book/book_metadata.h"

namespace qb {

// Writes contentFolder + "/nav.xhtml": the contents (the cover entry first when the book has
// a cover, the title page's next when it has one, then the outline's entries, nested as they
// are) and the landmarks (the cover, the title page and the first page). Raises EFCreateError or
// EWriteError.
void writeNavigationDocument(const BookMetadata& book);

}  // namespace qb
