#pragma once
// Reading files whole, and writing lists of lines in one piece.

#include <cstdint>
#include <string>
#include <vector>

namespace qb {

// The most a text file of a book may hold: more than any book's text, and a zip member cannot
// pass 4 GiB anyway.
inline constexpr std::uint64_t kMaxTextFileBytes = std::uint64_t{4} << 30;

// What a reader takes: a book's text may come from a pipe or a device (-c <(cmd), /dev/stdin);
// a settings file is only ever a regular file, and anything else in its place is a mistake.
enum class FileKinds { Any, RegularOnly };

// Reads a file's bytes whole, pipes, devices and files that grow while they are read included,
// but never more than limit bytes: a regular file larger than that is refused before anything
// is read, any other stops as soon as it passes the limit. Raises FileTooLargeError then, and
// EFOpenError with the system's description of any other cause (memory running out included),
// or "Not a regular file" for anything else when kinds is RegularOnly (a FIFO is not waited
// for).
std::string readFileBytes(const std::string& path, std::uint64_t limit = kMaxTextFileBytes,
                          FileKinds kinds = FileKinds::Any);

// Writes the lines, each followed by CR LF, replacing the file.
// Raises EFCreateError or EWriteError.
void writeTextLines(const std::string& path, const std::vector<std::string>& lines);

}  // namespace qb
