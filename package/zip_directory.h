#pragma once
// Reads back the member names a finished archive lists in its central directory, so that a
// run can tell whether the book it packed is whole before it calls the book made.

#include <string>
#include <vector>

namespace qb {

// The stored names of the archive's members, in central directory order. Raises Error naming
// the archive and what is wrong with it when it cannot be read or its directory is damaged.
std::vector<std::string> readZipDirectory(const std::string& archivePath);
// The same for an archive open on fd, which may have no name yet; archivePath names it in
// errors.
std::vector<std::string> readZipDirectory(int fd, const std::string& archivePath);

}  // namespace qb
