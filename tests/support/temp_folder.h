#pragma once
// A scratch folder for one test, removed with everything in it afterwards.

#include <stdlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace qb::test {

// A fresh folder below the system's temporary folder ($TMPDIR, else /tmp). Removal first gives
// back the rights a test may have taken from the folders inside, so that everything can go, and
// never follows a link out of the folder.
class TempFolder {
  public:
    TempFolder() {
        std::error_code ec;
        const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
        std::string pattern = (ec ? "/tmp" : base.string()) + "/qb-test-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot create a scratch folder \"" + pattern +
                                     "\": " + std::strerror(errno));
        }
        m_path = pattern;
    }
    ~TempFolder() {
        restoreRights(m_path);
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
        // A folder left behind would go unnoticed until the disk fills: say so.
        if (ec)
            std::fprintf(stderr, "cannot remove \"%s\": %s\n", m_path.c_str(),
                         ec.message().c_str());
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

  private:
    // Owner rights on every real folder of the tree, the top one first so that what lies below
    // can be listed; links are left alone, so nothing outside the tree is changed or entered.
    static void restoreRights(const std::filesystem::path& folder) {
        namespace fs = std::filesystem;
        std::error_code ignored;
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, ignored);
        for (fs::directory_iterator it(folder, ignored), end; it != end; it.increment(ignored)) {
            if (it->symlink_status(ignored).type() == fs::file_type::directory) {
                restoreRights(it->path());
            }
        }
    }

    std::string m_path;
};

}  // namespace qb::test
