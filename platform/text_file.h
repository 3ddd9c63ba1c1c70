#pragma once
// Reading text files whole into lines, and writing lists of lines in one piece.

#include <cstdint>
#include <string>
#include <vector>

namespace qb {

// Reads a text file whole and splits it into lines (CR LF, lone CR, lone LF end a line; a
// break at the very end adds no empty line). The lines come back as UTF-8. See writePage for
// how charset is used. Raises EFOpenError, FileTooLargeError or NotTextError.
std::vector<std::string> readTextLines(const std::string& path, const std::string& charset = "");

// The most a text file of a book may hold: more than any book's text, and a zip member cannot
// pass 4 GiB anyway.
inline constexpr std::uint64_t kMaxTextFileBytes = std::uint64_t{4} << 30;

// Reads a file's bytes whole, pipes, devices and files that grow while they are read included,
// but never more than limit bytes: a regular file larger than that is refused before anything
// is read, any other stops as soon as it passes the limit. Raises FileTooLargeError then, and
// EFOpenError with the system's description of any other cause (memory running out included).
std::string readFileBytes(const std::string& path, std::uint64_t limit = kMaxTextFileBytes);

// Writes the lines, each followed by CR LF, replacing the file.
// Raises EFCreateError or EWriteError.
void writeTextLines(const std::string& path, const std::vector<std::string>& lines);

}  // namespace qb
