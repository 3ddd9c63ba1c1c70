#pragma once
// Reads back the member names a finished archive lists in its central directory, so that a
// run can tell whether the book it packed is whole before it calls the book made.

#include <cstddef>
#include <string>
#include <vector>

namespace qb {

// The stored names of the archive's members, in central directory order. Raises Error naming
// the archive and what is wrong with it when it cannot be read or its directory is damaged.
std::vector<std::string> readZipDirectory(const std::string& archivePath);
// The same for an archive open on fd, which may have no name yet; archivePath names it in
// errors.
std::vector<std::string> readZipDirectory(int fd, const std::string& archivePath);

// The bytes of the member stored under name (stored or deflated), when they come to at most
// maxBytes. Raises Error naming the archive when it has no such member, the member is larger,
// or the archive is damaged: the archive is anyone's file, and a small read of a big one must
// stay small.
std::string readZipMember(const std::string& archivePath, const std::string& name,
                          std::size_t maxBytes);

}  // namespace qb
