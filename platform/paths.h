#pragma once
#include <string>

namespace qb {

// The folder of the running program, without a trailing "/".
std::string programFolder();

// The file name part of a path: the text after its last "/".
std::string fileNamePart(const std::string& path);

}  // namespace qb
