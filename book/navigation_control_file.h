#pragma once
// The NCX, fb.ncx: the contents list of EPUB 2, kept in EPUB 3 books for the readers that know
// only it.

#include "book/book_metadata.h"

namespace qb {

// Writes contentFolder + "/fb.ncx".
void writeNavigationControlFile(const BookMetadata& book);

}  // namespace qb
