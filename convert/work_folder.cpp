#include "convert/work_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <vector>

#include "package/packager.h"
#include "platform/errors.h"
#include "platform/folders.h"

namespace fs = std::filesystem;

namespace qb {

namespace {

constexpr std::size_t kRandomPartSize = 6;  // the XXXXXX of mkdtemp and mkostemp
// Long enough for any setup to have finished: a folder that still has no named lock by then
// was abandoned by a program that died while it made the folder.
constexpr std::time_t kAbandonedAfterSeconds = 3600;

bool startsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

bool isWorkFolderName(const char* name) {
    return startsWith(name, WorkFolder::kNamePrefix) &&
           std::strlen(name) == std::strlen(WorkFolder::kNamePrefix) + kRandomPartSize;
}

// The lock file's name while it is being made and locked.
bool isUnnamedLock(const char* name) {
    const std::string prefix = std::string(WorkFolder::kLockName) + "-";
    return startsWith(name, prefix.c_str()) && std::strlen(name) == prefix.size() + kRandomPartSize;
}

// The names in an open folder, "." and ".." left out; empty when it cannot be read.
std::vector<std::string> namesIn(int folder) {
    std::vector<std::string> names;
    const int listing = ::dup(folder);
    if (listing < 0) return names;
    DIR* dir = ::fdopendir(listing);
    if (dir == nullptr) {
        ::close(listing);
        return names;
    }
    // The copy shares its position with folder, which an earlier listing left at the end.
    ::rewinddir(dir);
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    return names;
}

// Removes everything below the open folder, by descriptor all the way down, so that no link
// is ever followed and a name swapped meanwhile cannot lead elsewhere.
void removeContents(int folder) {
    for (const std::string& name : namesIn(folder)) {
        struct stat st {};
        if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            UniqueFd sub(
                ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (sub) removeContents(sub.get());
            ::unlinkat(folder, name.c_str(), AT_REMOVEDIR);
        } else {
            ::unlinkat(folder, name.c_str(), 0);
        }
    }
}

// Whether the open folder was left by a program that died: its lock can be taken (then lock
// holds it, so that no other program removes the same folder meanwhile), or it was abandoned
// during setup with nothing in it that anyone could miss.
bool isDead(int folder, const struct stat& st, UniqueFd& lock) {
    lock = UniqueFd(::openat(folder, WorkFolder::kLockName,
                             O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (lock) {
        struct stat lockSt {};
        return ::fstat(lock.get(), &lockSt) == 0 && S_ISREG(lockSt.st_mode) &&
               ::flock(lock.get(), LOCK_EX | LOCK_NB) == 0;
    }
    if (errno != ENOENT || std::time(nullptr) - st.st_mtime < kAbandonedAfterSeconds) return false;
    for (const std::string& name : namesIn(folder)) {
        if (!isUnnamedLock(name.c_str())) return false;
    }
    return true;
}

// Creates the lock file already locked: it gets its name only once the lock is held, so a
// program looking for dead folders can never take the lock of a folder whose program is just
// starting.
UniqueFd createLock(const std::string& folder) {
    std::string pattern = folder + "/" + WorkFolder::kLockName + "-XXXXXX";
    UniqueFd lock(::mkostemp(pattern.data(), O_CLOEXEC));
    if (!lock) return lock;
    if (::flock(lock.get(), LOCK_EX) != 0 ||
        ::rename(pattern.c_str(), (folder + "/" + WorkFolder::kLockName).c_str()) != 0) {
        const int cause = errno;
        ::unlink(pattern.c_str());
        lock.reset();
        errno = cause;
    }
    return lock;
}

// Only what the book takes from the template: anything else there (an old content folder, a
// lock, a note) is not the book's.
void copyTemplate(const fs::path& from, const fs::path& to) {
    for (const char* member : kBookMembers) {
        const fs::path source = from / member;
        const fs::path target = to / member;
        std::error_code ec;
        fs::create_directories(target.parent_path(), ec);
        if (!ec) fs::copy_file(source, target, ec);
        if (ec) {
            throw Error("Cannot copy \"" + source.string() + "\" to \"" + target.string() + "\". " +
                        ec.message());
        }
    }
}

}  // namespace

std::string temporaryFolderBase() {
    const char* tmp = std::getenv("TMPDIR");
    return (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
}

int removeDeadWorkFolders(const std::string& base) {
    UniqueFd baseFd(::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!baseFd) return 0;
    int removed = 0;
    for (const std::string& name : namesIn(baseFd.get())) {
        if (!isWorkFolderName(name.c_str())) continue;
        UniqueFd folder(
            ::openat(baseFd.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat st {};
        if (!folder || ::fstat(folder.get(), &st) != 0 || st.st_uid != ::geteuid()) continue;
        UniqueFd lock;
        if (!isDead(folder.get(), st, lock)) continue;
        removeContents(folder.get());
        if (::unlinkat(baseFd.get(), name.c_str(), AT_REMOVEDIR) == 0) ++removed;
    }
    return removed;
}

WorkFolder::WorkFolder(const std::string& templateFolder, const std::string& base) {
    createFolders(base);
    removeDeadWorkFolders(base);
    std::string pattern = base;
    if (pattern.back() != '/') pattern += '/';
    pattern += kNamePrefix;
    pattern += "XXXXXX";
    std::string name = pattern;
    if (::mkdtemp(name.data()) == nullptr) {
        throw Error("Cannot create a work folder like \"" + pattern + "\". " + causeOf(errno));
    }
    m_path = name;
    m_lock = createLock(m_path);
    if (!m_lock) {
        const int cause = errno;
        remove();
        throw Error("Cannot lock the work folder \"" + name + "\". " + causeOf(cause));
    }
    try {
        copyTemplate(templateFolder, m_path);
    } catch (...) {
        remove();
        throw;
    }
}

WorkFolder::~WorkFolder() {
    remove();
}

void WorkFolder::remove() {
    if (m_path.empty()) return;
    // The lock is let go only once the folder is gone, so nobody else starts removing it too.
    std::error_code ec;
    fs::remove_all(m_path, ec);
    m_path.clear();
    m_lock.reset();
}

}  // namespace qb
