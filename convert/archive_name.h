#pragma once
// The file name a book's archive gets from its title.

#include <string>

namespace qb {

// The archive's file name for a title: characters that e-reader file systems cannot hold
// (/ \ : * ? " < > | and controls) become "_"; "." and ".." become "_"; ".epub" is added.
// The name is written in charset, the charset file names have where the book is saved (the
// locale's), with "_" for each character it cannot hold. A name that would pass 255 bytes is
// cut at a character boundary and ends in "~" and eight hex digits of a hash of the whole
// title, so that long titles that differ only in their ends keep different names.
std::string archiveFileName(const std::string& title, const std::string& charset = "UTF-8");

// archiveFileName(title) with " (n)" before ".epub", for the n-th book of a library that would
// have the same name. The title is cut shorter (and marked as above), never the number, should
// the name pass 255 bytes.
std::string numberedArchiveName(const std::string& title, int n,
                                const std::string& charset = "UTF-8");

}  // namespace qb
