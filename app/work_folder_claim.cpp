#include "app/work_folder_claim.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>

#include "platform/errors.h"
#include "platform/unique_fd.h"

namespace fs = std::filesystem;

namespace qb {

namespace {

// A private folder is made under a "new-" name and renamed to "work-" only once its lock is
// held, so a program cleaning up at start never mistakes a folder being set up for a dead one.
constexpr const char* kNewPrefix = "new-";
constexpr const char* kWorkPrefix = "work-";

// Takes the folder's lock without waiting: the descriptor, or none when another program holds
// it or the lock file cannot be opened (errno tells which).
UniqueFd lockFolder(const fs::path& folder, bool create) {
    const fs::path lock = folder / WorkFolderClaim::kLockName;
    UniqueFd fd(::open(lock.c_str(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0644));
    if (!fd) return fd;
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        const int cause = errno;
        fd.reset();
        errno = cause;
    }
    return fd;
}

// Removes the private folders of programs that are gone: a "work-" folder whose lock nobody
// holds, and a "new-" folder abandoned during setup more than an hour ago.
void removeStaleFolders(const fs::path& root) {
    std::error_code ec;
    const auto now = fs::file_time_type::clock::now();
    for (auto it = fs::directory_iterator(root, ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code entryError;
        if (!it->is_directory(entryError) || it->is_symlink(entryError)) continue;
        if (name.starts_with(kWorkPrefix)) {
            const UniqueFd lock = lockFolder(it->path(), false);
            if (!lock && errno != ENOENT) continue;  // alive, or not ours to judge
            fs::remove_all(it->path(), entryError);
        } else if (name.starts_with(kNewPrefix)) {
            const auto age = now - fs::last_write_time(it->path(), entryError);
            if (!entryError && age > std::chrono::hours(1)) fs::remove_all(it->path(), entryError);
        }
    }
}

// The template (mimetype, META-INF/ and whatever else the book carries), without the content
// folder and without hidden files such as the lock.
void copyTemplate(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    auto it = fs::recursive_directory_iterator(from, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const fs::path relative = it->path().lexically_relative(from);
        const std::string first = relative.begin()->string();
        if (first == "OEBPS" || it->path().filename().string().front() == '.') {
            it.disable_recursion_pending();
            continue;
        }
        const fs::path target = to / relative;
        if (it->is_directory(ec))
            fs::create_directories(target, ec);
        else
            fs::copy_file(it->path(), target, fs::copy_options::overwrite_existing, ec);
        if (ec) {
            throw Error("Cannot copy \"" + it->path().string() + "\" to \"" + target.string() +
                        "\". " + ec.message());
        }
    }
    if (ec) throw Error("Cannot open folder \"" + from.string() + "\". " + ec.message());
}

}  // namespace

WorkFolderClaim::WorkFolderClaim(const std::string& sharedFolder, const std::string& privateRoot) {
    removeStaleFolders(privateRoot);

    m_lock = lockFolder(sharedFolder, true);
    if (m_lock) {
        m_folder = sharedFolder;
        return;
    }

    std::error_code ec;
    fs::create_directories(privateRoot, ec);
    std::string pattern = (fs::path(privateRoot) / (std::string(kNewPrefix) + "XXXXXX")).string();
    if (ec || ::mkdtemp(pattern.data()) == nullptr) {
        throw Error("Cannot create folder \"" + privateRoot + "\". " +
                    (ec ? ec.message() : std::string(std::strerror(errno))));
    }
    const fs::path setup = pattern;
    m_lock = lockFolder(setup, true);
    const int lockError = errno;
    const fs::path working =
        setup.parent_path() /
        (kWorkPrefix + setup.filename().string().substr(std::strlen(kNewPrefix)));
    try {
        if (!m_lock) {
            throw Error("Cannot create file \"" + (setup / kLockName).string() + "\". " +
                        std::strerror(lockError));
        }
        copyTemplate(sharedFolder, setup);
        fs::rename(setup, working, ec);
        if (ec) {
            throw Error("Cannot rename folder \"" + setup.string() + "\". " + ec.message());
        }
    } catch (...) {
        fs::remove_all(setup, ec);
        throw;
    }
    m_folder = working.string();
    m_private = true;
}

WorkFolderClaim::~WorkFolderClaim() {
    if (m_private) {
        std::error_code ec;
        fs::remove_all(m_folder, ec);
    }
}

}  // namespace qb
