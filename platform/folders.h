#pragma once
// Folders as the conversion run needs them: made with their parents, and compared by identity.

#include <string>

namespace qb {

// Creates the folder with its missing parents. Raises Error naming the first folder that could
// not be made and the system's reason for it, not the "No such file or directory" that every
// deeper folder would give after it.
void createFolders(const std::string& folder);

// 0 when a file can be created in the folder, else the system's errno for why not (no
// permission, a read-only file system, no room for another file). Leaves nothing behind.
int folderWriteError(const std::string& folder);

// True when path is folder itself or lies below it. Each ancestor is compared with the folder
// by device and inode rather than by spelling, so that symbolic links, "..", a bind mount or a
// second name of the same folder cannot hide it.
bool liesWithin(const std::string& path, const std::string& folder);

}  // namespace qb
