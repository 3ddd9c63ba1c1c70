#include "platform/folders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/errors.h"

namespace fs = std::filesystem;

namespace qb {

void createFolders(const std::string& folder) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return;
    std::size_t end = folder.size();
    while (end > 1 && folder[end - 1] == '/') --end;
    for (std::size_t pos = 1; pos <= end; ++pos) {
        if (pos < end && folder[pos] != '/') continue;
        const std::string prefix = folder.substr(0, pos);
        if (::mkdir(prefix.c_str(), 0777) == 0) continue;
        int cause = errno;
        if (cause == EEXIST) {
            if (::stat(prefix.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) continue;
            // A file in a parent's place: the next mkdir says so itself.
            if (pos < end) continue;
            cause = ENOTDIR;
        }
        throw Error("Cannot create folder \"" + folder.substr(0, pos) + "\". " +
                    std::strerror(cause));
    }
}

int folderWriteError(const std::string& folder) {
    // An unnamed file, where the file system has them, leaves nothing behind even if the
    // program dies at once; elsewhere a hidden file of an unlikely name, removed at once.
    int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::close(fd);
        return 0;
    }
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return errno;
    std::string probe = folder + "/.quirebind-probe-XXXXXX";
    fd = ::mkstemp(probe.data());
    if (fd < 0) return errno;
    ::close(fd);
    ::unlink(probe.c_str());
    return 0;
}

bool liesWithin(const std::string& path, const std::string& folder) {
    struct stat target {};
    if (::stat(folder.c_str(), &target) != 0) return false;
    std::error_code ec;
    fs::path at = fs::weakly_canonical(fs::absolute(path, ec), ec);
    if (ec) return false;
    for (;;) {
        struct stat st {};
        if (::stat(at.c_str(), &st) == 0 && st.st_dev == target.st_dev &&
            st.st_ino == target.st_ino) {
            return true;
        }
        if (!at.has_relative_path()) return false;
        at = at.parent_path();
    }
}

}  // namespace qb
