#pragma once
// The package document, fb.opf: the book's metadata, its files and their reading order.

#include "book/book_metadata.h"

namespace qb {

// Writes contentFolder + "/fb.opf", in the package format of book.epubVersion.
void writePackageDocument(const BookMetadata& book);

}  // namespace qb
