#include "platform/paths.h"

#include <unistd.h>

#include <climits>
#include <filesystem>
#include <vector>

#include "platform/build_info.h"

namespace qb {

std::string programFolder() {
    std::vector<char> buf(PATH_MAX + 1);
    for (;;) {
        ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) return ".";
        if (static_cast<std::size_t>(n) < buf.size()) {
            std::string exe(buf.data(), static_cast<std::size_t>(n));
            std::size_t slash = exe.rfind('/');
            if (slash == std::string::npos) return ".";
            // The root folder: joining "/name" to it gives the right path.
            if (slash == 0) return "";
            return exe.substr(0, slash);
        }
        buf.resize(buf.size() * 2);
    }
}

std::string fileNamePart(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<std::string> templateFolderCandidates(const std::string& programFolder,
                                                  const std::string& configuredFolder) {
    // The program folder of a program in "/" is "", and "/epubfiles" is still right.
    std::vector<std::string> folders{programFolder + "/epubfiles"};
    // The program folder comes with links resolved, so its parent is taken by name; only a
    // relative one (".") needs "..", and the root folder ("") is its own parent.
    const std::size_t slash = programFolder.rfind('/');
    std::string parent;
    if (slash != std::string::npos)
        parent = programFolder.substr(0, slash);
    else if (!programFolder.empty())
        parent = programFolder + "/..";
    folders.push_back(parent + "/share/quirebind/epubfiles");
    if (!configuredFolder.empty()) folders.push_back(configuredFolder);
    return folders;
}

std::string findTemplateFolder(const std::string& programFolder,
                               const std::string& configuredFolder) {
    for (const std::string& folder : templateFolderCandidates(programFolder, configuredFolder)) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(folder + "/mimetype", ec)) return folder;
    }
    return {};
}

std::string findTemplateFolder() {
    return findTemplateFolder(programFolder(), kConfiguredTemplateFolder);
}

}  // namespace qb
