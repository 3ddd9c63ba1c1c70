#include "package/archive_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string_view>

#include "package/zip_errors.h"

namespace qb {

namespace {

// The permissions a file created the ordinary way would get. Read from /proc so the process
// umask is never changed, not even for a moment.
mode_t newFileMode() {
    mode_t mask = 022;
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) {
            mask = static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
            break;
        }
    }
    return 0644 & ~mask;
}

constexpr std::string_view kHiddenPrefix = ".quirebind-";
constexpr std::size_t kRandomLetters = 6;

// ".quirebind-", the process id, "-" and six random letters or digits, as mkstemp would make:
// the id tells a later run whose file it is, so that one whose run was killed (on a file
// system without unnamed files) can be removed.
std::string hiddenName() {
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char random[6] = {};
    if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
        // Only uniqueness matters here, and a name that is taken is tried again.
        static unsigned counter = 0;
        const unsigned seed = static_cast<unsigned>(::getpid()) * 2654435761u + ++counter;
        for (std::size_t i = 0; i < sizeof random; ++i) random[i] = seed >> (4 * i);
    }
    std::string name = std::string(kHiddenPrefix) + std::to_string(::getpid()) + "-";
    for (const unsigned char r : random) name += kLetters[r % (sizeof kLetters - 1)];
    return name;
}

// The process that made a hidden archive of that name; 0 for any other name.
pid_t leftoverOwner(std::string_view name) {
    if (name.substr(0, kHiddenPrefix.size()) != kHiddenPrefix) return 0;
    name.remove_prefix(kHiddenPrefix.size());
    const std::size_t dash = name.find('-');
    if (dash == std::string_view::npos || dash == 0 || dash > 9 ||
        name.size() != dash + 1 + kRandomLetters)
        return 0;
    pid_t pid = 0;
    for (const char c : name.substr(0, dash)) {
        if (c < '0' || c > '9') return 0;
        pid = pid * 10 + (c - '0');
    }
    return pid;
}

// Removes the hidden archives that runs killed before they could remove them left in the
// folder. A file goes only when the process its name gives has ended and nobody holds its
// lock: a live run keeps its file locked, and a process id used again keeps the file too.
void removeDeadLeftovers(int dir) {
    const int listing = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) return;
    DIR* entries = ::fdopendir(listing);
    if (entries == nullptr) {
        ::close(listing);
        return;
    }
    const std::unique_ptr<DIR, int (*)(DIR*)> closer(entries, ::closedir);
    while (const dirent* entry = ::readdir(entries)) {
        const pid_t owner = leftoverOwner(entry->d_name);
        if (owner <= 0 || ::kill(owner, 0) == 0 || errno != ESRCH) continue;
        UniqueFd file(::openat(dir, entry->d_name,
                               O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        struct stat st {};
        if (!file || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) continue;
        ::unlinkat(dir, entry->d_name, 0);
    }
}

}  // namespace

ArchiveFile::ArchiveFile(const std::string& target, Kind preferred) : m_target(target) {
    const std::size_t slash = target.rfind('/');
    m_folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
    m_name = slash == std::string::npos ? target : target.substr(slash + 1);
    m_dir = UniqueFd(::open(m_folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!m_dir) throw EFCreateError(target, causeOf(errno));
    removeDeadLeftovers(m_dir.get());

    if (preferred == Kind::Unnamed) {
        m_file = UniqueFd(::openat(m_dir.get(), ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
        if (m_file) {
            // Locked too, for the moment it has a hidden name before it is published.
            ::flock(m_file.get(), LOCK_EX | LOCK_NB);
            m_kind = Kind::Unnamed;
            return;
        }
        // The file system cannot make a file without a name (or the kernel is too old to know
        // what that is); anything else is a real reason not to write here.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            throw EFCreateError(target, causeOf(errno));
        }
    }
    m_kind = Kind::Hidden;
    for (int attempt = 0; attempt < 100 && !m_file; ++attempt) {
        const std::string name = hiddenName();
        m_file = UniqueFd(
            ::openat(m_dir.get(), name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (m_file) {
            // Held until the file is closed: a file system without locks still has the id.
            ::flock(m_file.get(), LOCK_EX | LOCK_NB);
            m_hidden = name;
        } else if (errno != EEXIST) {
            throw EFCreateError(target, causeOf(errno));
        }
    }
    if (!m_file) throw EFCreateError(target, causeOf(EEXIST));
}

ArchiveFile::~ArchiveFile() {
    m_file.reset();
    if (!m_hidden.empty()) ::unlinkat(m_dir.get(), m_hidden.c_str(), 0);
}

bool ArchiveFile::publish(bool replace, const std::function<bool()>& goAhead) {
    mode_t mode = newFileMode();
    struct stat old {};
    if (replace && ::fstatat(m_dir.get(), m_name.c_str(), &old, 0) == 0 && S_ISREG(old.st_mode)) {
        mode = old.st_mode & 0777;
    }
    if (::fchmod(m_file.get(), mode) != 0 || ::fsync(m_file.get()) != 0) {
        if (errno == ENOSPC || errno == EDQUOT) throw ENotEnoughRoom();
        throw Error("Cannot write file \"" + m_target + "\". " + causeOf(errno));
    }
    if (m_kind == Kind::Hidden) {
        // Some file systems report a full disk only when the file is closed.
        if (m_file.close() != 0) {
            if (errno == ENOSPC || errno == EDQUOT) throw ENotEnoughRoom();
            throw Error("Cannot write file \"" + m_target + "\". " + causeOf(errno));
        }
    }
    if (goAhead && !goAhead()) return false;
    if (m_kind == Kind::Unnamed) {
        publishUnnamed(replace);
    } else {
        publishHidden(replace);
    }
    m_file.reset();
    // So that the new name, not only the data, survives a crash.
    UniqueFd folder(::openat(m_dir.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder) ::fsync(folder.get());
    return true;
}

bool ArchiveFile::linkUnnamed(const std::string& name) {
    const std::string self = "/proc/self/fd/" + std::to_string(m_file.get());
    int result = ::linkat(AT_FDCWD, self.c_str(), m_dir.get(), name.c_str(), AT_SYMLINK_FOLLOW);
    if (result != 0 && errno == ENOENT && ::access("/proc/self/fd", F_OK) != 0) {
        // Without /proc the descriptor itself is linked, where the process may do that.
        result = ::linkat(m_file.get(), "", m_dir.get(), name.c_str(), AT_EMPTY_PATH);
    }
    if (result == 0) return true;
    if (errno == EEXIST) return false;
    throw EFCreateError(m_target, causeOf(errno));
}

void ArchiveFile::publishUnnamed(bool replace) {
    if (!replace) {
        // A link never replaces anything.
        if (!linkUnnamed(m_name)) throw ArchiveAppearedError(m_target);
        return;
    }
    // Replacing takes a rename, and a rename takes a name: the file has a hidden one for the
    // moment between the two steps.
    for (int attempt = 0; attempt < 100 && m_hidden.empty(); ++attempt) {
        const std::string name = hiddenName();
        if (linkUnnamed(name)) m_hidden = name;
    }
    if (m_hidden.empty()) throw EFCreateError(m_target, causeOf(EEXIST));
    if (::renameat(m_dir.get(), m_hidden.c_str(), m_dir.get(), m_name.c_str()) != 0) {
        throw EFCreateError(m_target, causeOf(errno));
    }
    m_hidden.clear();
}

void ArchiveFile::publishHidden(bool replace) {
    const int dir = m_dir.get();
    const char* from = m_hidden.c_str();
    const char* to = m_name.c_str();
    if (replace) {
        if (::renameat(dir, from, dir, to) != 0) throw EFCreateError(m_target, causeOf(errno));
        m_hidden.clear();
        return;
    }
    if (::renameat2(dir, from, dir, to, RENAME_NOREPLACE) == 0) {
        m_hidden.clear();
        return;
    }
    if (errno == EEXIST) throw ArchiveAppearedError(m_target);
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
        throw EFCreateError(m_target, causeOf(errno));
    }
    // A file system that cannot rename without replacing: a second link never replaces
    // either, and the hidden name is then dropped.
    if (::linkat(dir, from, dir, to, 0) == 0) {
        ::unlinkat(dir, from, 0);
        m_hidden.clear();
        return;
    }
    if (errno == EEXIST) throw ArchiveAppearedError(m_target);
    if (errno != EPERM && errno != EOPNOTSUPP && errno != EMLINK) {
        throw EFCreateError(m_target, causeOf(errno));
    }
    // Nor hard links: the last look and the rename are two steps, the best such a file system
    // allows.
    struct stat st {};
    if (::fstatat(dir, to, &st, AT_SYMLINK_NOFOLLOW) == 0) throw ArchiveAppearedError(m_target);
    if (::renameat(dir, from, dir, to) != 0) throw EFCreateError(m_target, causeOf(errno));
    m_hidden.clear();
}

}  // namespace qb
