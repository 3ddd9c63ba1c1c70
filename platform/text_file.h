#pragma once
// Reading text files whole into lines, and writing lists of lines in one piece.

#include <string>
#include <vector>

namespace qb {

// Reads a text file whole and splits it into lines (CR LF, lone CR, lone LF end a line; a
// break at the very end adds no empty line). The lines come back as UTF-8. See writePage for
// how charset is used. Raises EFOpenError.
std::vector<std::string> readTextLines(const std::string& path, const std::string& charset = "");

// Reads a file's bytes whole. Raises EFOpenError with the system's description of the cause.
std::string readFileBytes(const std::string& path);

// Writes the lines, each followed by CR LF, replacing the file.
// Raises EFCreateError or EWriteError.
void writeTextLines(const std::string& path, const std::vector<std::string>& lines);

}  // namespace qb
