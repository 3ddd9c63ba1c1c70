#include "platform/paths.h"

#include <sys/auxv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "platform/build_info.h"

namespace qb {

namespace {

// The folder part of a program's path with its links resolved; empty when it cannot be.
std::string folderOfProgram(const std::string& path) {
    if (path.empty()) return {};
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return {};
    std::string exe(resolved);
    std::free(resolved);
    const std::size_t slash = exe.rfind('/');
    if (slash == std::string::npos) return {};
    // The root folder: joining "/name" to it gives the right path.
    return exe.substr(0, slash);
}

}  // namespace

std::string programPathFrom(const std::string& started, const std::string& pathVariable) {
    if (started.empty()) return {};
    if (started.find('/') != std::string::npos) return started;
    for (std::size_t from = 0; from <= pathVariable.size();) {
        std::size_t end = pathVariable.find(':', from);
        if (end == std::string::npos) end = pathVariable.size();
        const std::string folder = pathVariable.substr(from, end - from);
        from = end + 1;
        // An empty entry means the current folder to a shell; the program was started from
        // there only if it is really there, which the test below sees as for any folder.
        const std::string candidate = (folder.empty() ? "." : folder) + "/" + started;
        struct stat st {};
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

std::string programFolder() {
    std::vector<char> buf(PATH_MAX + 1);
    for (;;) {
        ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) break;
        if (static_cast<std::size_t>(n) < buf.size()) {
            std::string exe(buf.data(), static_cast<std::size_t>(n));
            std::size_t slash = exe.rfind('/');
            if (slash == std::string::npos) break;
            // The root folder: joining "/name" to it gives the right path.
            if (slash == 0) return "";
            return exe.substr(0, slash);
        }
        buf.resize(buf.size() * 2);
    }
    // Without /proc (a chroot, a sandbox): the path the kernel was asked to run, which is
    // exact, else argv[0] as the shell would have found it.
    if (const auto* started = reinterpret_cast<const char*>(::getauxval(AT_EXECFN))) {
        if (std::string folder = folderOfProgram(started); !folder.empty()) return folder;
    }
    const char* path = std::getenv("PATH");
    if (std::string folder =
            folderOfProgram(programPathFrom(program_invocation_name, path ? path : ""));
        !folder.empty()) {
        return folder;
    }
    return kConfiguredProgramFolder;
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
