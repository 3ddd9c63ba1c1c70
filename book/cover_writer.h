#pragma once
// The cover: the picture's name and copy inside the book, and the page that shows it.

#include <cstdint>
#include <string>
#include <string_view>

namespace qb {

// Writes the cover page that shows pictureName (a bare file name beside the page), in the
// book's language, as XHTML 1.1 for EPUB 2 and XHTML5 for EPUB 3. Raises EFCreateError or
// EWriteError, like the other writers of the book's files. A styled page's body and picture
// take the stylesheet's cover rules, which let the picture fill the screen.
void writeCoverPage(const std::string& coverPagePath, const std::string& pictureName,
                    const std::string& languageTag, int epubVersion = 2, bool styled = false);

// The largest cover picture a book takes. Readers scale covers down to a screen; 64 MiB holds
// any photograph a camera makes, and a pipe or device given as the cover cannot exhaust memory.
inline constexpr std::uint64_t kMaxCoverBytes = std::uint64_t{64} << 20;

// The media type of a picture from its first bytes: "image/jpeg", "image/png", "image/gif";
// empty for anything else, which readers could not show as a cover.
std::string pictureMediaType(std::string_view bytes);

// The name the cover picture gets inside the book. The picture keeps its own name when that is
// a plain URI-safe file name with the extension its content calls for; otherwise (blanks, "%",
// "#", non-ASCII, a leading ".", "stdin" or "63" from a pipe, a PNG called .jpg) readers and
// checkers would stumble over the reference, so it becomes "cover" plus that extension. No name
// the book itself uses ends in a picture's extension, so a kept name never collides with one.
std::string coverFileName(const std::string& coverPath, const std::string& mediaType);

// Writes the cover picture to `to` from bytes read when the run began: a cover given as a pipe
// (-c <(cmd), /dev/stdin) can be read only once. Raises EFCreateError when `to` exists.
void writeCoverCopy(const std::string& bytes, const std::string& to);

}  // namespace qb
