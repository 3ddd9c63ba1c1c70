#include "cli/temp_work_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace fs = std::filesystem;

namespace qb {

namespace {

constexpr const char* kNamePrefix = "quirebind-cli-";
constexpr std::size_t kRandomPartSize = 6;  // mkdtemp's XXXXXX
constexpr const char* kLockName = ".quirebind-lock";

bool isWorkFolderName(const char* name) {
    const std::size_t prefix = std::strlen(kNamePrefix);
    return std::strncmp(name, kNamePrefix, prefix) == 0 &&
           std::strlen(name) == prefix + kRandomPartSize;
}

// Removes everything below the open folder, by descriptor all the way down, so that no link
// is ever followed and a name swapped meanwhile cannot lead elsewhere.
void removeContents(int folder) {
    const int listing = ::dup(folder);
    if (listing < 0) return;
    DIR* dir = ::fdopendir(listing);
    if (dir == nullptr) {
        ::close(listing);
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        struct stat st {};
        if (::fstatat(folder, name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            UniqueFd sub(::openat(folder, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (sub) removeContents(sub.get());
            ::unlinkat(folder, name, AT_REMOVEDIR);
        } else {
            ::unlinkat(folder, name, 0);
        }
    }
    ::closedir(dir);
}

// Creates the lock file already locked: it gets its name only once the lock is held, so a run
// looking for dead folders can never take the lock of a folder whose run is just starting.
UniqueFd createLock(const std::string& folder) {
    std::string pattern = folder + "/" + kLockName + "-XXXXXX";
    UniqueFd lock(::mkostemp(pattern.data(), O_CLOEXEC));
    if (!lock) return lock;
    if (::flock(lock.get(), LOCK_EX) != 0 ||
        ::rename(pattern.c_str(), (folder + "/" + kLockName).c_str()) != 0) {
        ::unlink(pattern.c_str());
        return UniqueFd();
    }
    return lock;
}

}  // namespace

std::string workFolderBase() {
    const char* tmp = std::getenv("TMPDIR");
    return (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
}

int removeStaleWorkFolders(const std::string& base) {
    UniqueFd baseFd(::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!baseFd) return 0;
    std::vector<std::string> candidates;
    if (DIR* dir = ::opendir(base.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            if (isWorkFolderName(entry->d_name)) candidates.emplace_back(entry->d_name);
        }
        ::closedir(dir);
    }

    int removed = 0;
    for (const std::string& name : candidates) {
        UniqueFd folder(
            ::openat(baseFd.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat st {};
        if (!folder || ::fstat(folder.get(), &st) != 0 || st.st_uid != ::geteuid()) continue;
        UniqueFd lock(::openat(folder.get(), kLockName,
                               O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        struct stat lockSt {};
        if (!lock || ::fstat(lock.get(), &lockSt) != 0 || !S_ISREG(lockSt.st_mode)) continue;
        if (::flock(lock.get(), LOCK_EX | LOCK_NB) != 0) continue;  // its run is alive
        // The lock is held from here on, so no other run removes the same folder meanwhile.
        removeContents(folder.get());
        if (::unlinkat(baseFd.get(), name.c_str(), AT_REMOVEDIR) == 0) ++removed;
    }
    return removed;
}

TempWorkFolder::TempWorkFolder(const std::string& templateFolder) {
    std::string pattern = workFolderBase();
    removeStaleWorkFolders(pattern);
    if (pattern.back() != '/') pattern += '/';
    pattern += kNamePrefix;
    pattern += "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) == nullptr) {
        throw std::runtime_error("Cannot create a work folder like \"" + pattern + "\". " +
                                 std::strerror(errno));
    }
    m_path = name.data();
    m_lock = createLock(m_path);
    if (!m_lock) {
        const int error = errno;
        remove();
        throw std::runtime_error("Cannot lock the work folder \"" + std::string(name.data()) +
                                 "\". " + std::strerror(error));
    }

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
    // The lock is let go only once the folder is gone, so nobody else starts removing it too.
    std::error_code ec;
    fs::remove_all(m_path, ec);
    m_path.clear();
    m_lock.reset();
}

}  // namespace qb
