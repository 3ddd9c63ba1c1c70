#pragma once
#include <string>

namespace qb {

// Turns one text file into one XHTML page: each line of text becomes one paragraph.
// charset empty: a byte-order mark decides, else the locale charset (in a UTF-8 locale, a file
// that is not valid UTF-8 is decoded in the detected charset). Otherwise every byte is decoded
// in the named charset. Raises EFOpenError, EFCreateError or EWriteError.
void writePage(const std::string& sourcePath, const std::string& pagePath,
               const std::string& pageTitle, const std::string& charset = "");

}  // namespace qb
