#pragma once
// A zip writer set up the way the packager sets it up: everything below a root folder, stored
// under names relative to it.

#include <string>

#include "package/zip_writer.h"

namespace qb::test {

inline TVCLZip treeWriter(const std::string& root, const std::string& zipName) {
    TVCLZip zip;
    zip.setRootDir(root);
    zip.setRelativePaths(true);
    zip.setZipName(zipName);
    zip.filesList().push_back(root + "/*.*");
    return zip;
}

}  // namespace qb::test
