#pragma once
// The title page that follows the cover: the title, the authors, and the series, publisher and
// date when the user gave them, laid out by the stylesheet's title page rules.

#include "book/book_metadata.h"

namespace qb {

// Writes contentFolder + "/" + titlePageName(epubVersion). Raises EFCreateError or
// EWriteError.
void writeTitlePage(const BookMetadata& book);

}  // namespace qb
