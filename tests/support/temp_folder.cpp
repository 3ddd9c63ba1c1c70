#include "tests/support/temp_folder.h"

#include <stdlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace fs = std::filesystem;

namespace qb::test {

namespace {

// Owner rights on every real folder of the tree, the top one first so that what lies below can
// be listed; links are left alone, so nothing outside the tree is changed or entered.
void restoreFolderRights(const fs::path& folder) {
    std::error_code ignored;
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, ignored);
    for (fs::directory_iterator it(folder, ignored), end; it != end; it.increment(ignored)) {
        if (it->symlink_status(ignored).type() == fs::file_type::directory) {
            restoreFolderRights(it->path());
        }
    }
}

}  // namespace

TempFolder::TempFolder() {
    std::error_code ec;
    const fs::path base = fs::temp_directory_path(ec);
    std::string pattern = (ec ? fs::path("/tmp") : base).string() + "/qb-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("Cannot create a scratch folder \"" + pattern +
                                 "\": " + std::strerror(errno));
    }
    m_path = pattern;
}

TempFolder::~TempFolder() {
    restoreFolderRights(m_path);
    std::error_code ec;
    fs::remove_all(m_path, ec);
    // A folder left behind would go unnoticed until the disk fills: say so.
    if (ec)
        std::fprintf(stderr, "cannot remove \"%s\": %s\n", m_path.c_str(), ec.message().c_str());
}

}  // namespace qb::test
