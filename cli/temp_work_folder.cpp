#include "cli/temp_work_folder.h"

#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace fs = std::filesystem;

namespace qb {

TempWorkFolder::TempWorkFolder(const std::string& templateFolder) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
    if (pattern.back() != '/') pattern += '/';
    pattern += "quirebind-cli-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) == nullptr) {
        throw std::runtime_error("Cannot create a work folder like \"" + pattern + "\". " +
                                 std::strerror(errno));
    }
    m_path = name.data();

    // Beside the program the window keeps its own book in OEBPS/ while it runs; the run
    // rebuilds that folder anyway, so only the template proper is copied.
    std::error_code ec;
    for (fs::directory_iterator it(templateFolder, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->path().filename() == "OEBPS") continue;
        fs::copy(it->path(), fs::path(m_path) / it->path().filename(), fs::copy_options::recursive,
                 ec);
    }
    if (ec) {
        remove();
        throw std::runtime_error("Cannot copy the book template \"" + templateFolder + "\". " +
                                 ec.message());
    }
}

TempWorkFolder::~TempWorkFolder() {
    remove();
}

void TempWorkFolder::remove() {
    if (m_path.empty()) return;
    std::error_code ec;
    fs::remove_all(m_path, ec);
    m_path.clear();
}

}  // namespace qb
