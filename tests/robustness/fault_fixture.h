#pragma once
// Real ways for the system to refuse: a small file system that fills, a read-only bind mount,
// an immutable file. Each is undone when its object goes. All of them need privileges a test
// run may lack, so each says whether it took effect and the tests skip when it did not.
// With them come the helpers every fault test uses.

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstddef>
#include <filesystem>
#include <set>
#include <string>

#include "tests/support/files.h"
#include "tests/support/ordinary_user.h"
#include "tests/support/recording_ui.h"
#include "tests/support/run_fixture.h"
#include "tests/support/temp_folder.h"
#include "tests/support/zip_reader.h"

namespace qb::test {

// A tmpfs of the given size mounted on a folder (created when missing).
class SmallFileSystem {
  public:
    SmallFileSystem(const std::string& folder, const std::string& size) : m_folder(folder) {
        std::filesystem::create_directories(folder);
        const std::string options = "size=" + size + ",mode=0755";
        m_mounted = ::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~SmallFileSystem() {
        if (m_mounted) ::umount2(m_folder.c_str(), MNT_DETACH);
    }
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool mounted() const { return m_mounted; }

  private:
    std::string m_folder;
    bool m_mounted = false;
};

// The path (folder or file) bound onto itself and made read-only for every process, root too.
class ReadOnlyBind {
  public:
    explicit ReadOnlyBind(const std::string& path) : m_path(path) {
        if (::mount(path.c_str(), path.c_str(), nullptr, MS_BIND, nullptr) != 0) return;
        m_bound = true;
        m_readOnly =
            ::mount(nullptr, path.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }
    ~ReadOnlyBind() {
        if (m_bound) ::umount2(m_path.c_str(), MNT_DETACH);
    }
    ReadOnlyBind(const ReadOnlyBind&) = delete;
    ReadOnlyBind& operator=(const ReadOnlyBind&) = delete;

    bool readOnly() const { return m_readOnly; }

  private:
    std::string m_path;
    bool m_bound = false;
    bool m_readOnly = false;
};

// The immutable flag of a file or folder: nobody may change, rename or remove it, root
// included, until the flag is taken off again.
class Immutable {
  public:
    explicit Immutable(const std::string& path) : m_path(path) { m_set = change(true); }
    ~Immutable() {
        if (m_set) change(false);
    }
    Immutable(const Immutable&) = delete;
    Immutable& operator=(const Immutable&) = delete;

    bool set() const { return m_set; }

  private:
    bool change(bool on) const {
        const int fd = ::open(m_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return false;
        int flags = 0;
        bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        if (done) {
            flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
            done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        ::close(fd);
        return done;
    }

    std::string m_path;
    bool m_set = false;
};

// Few file descriptors left: the soft limit set so that only `headroom` numbers below it are
// free, and put back when the object goes. Opens beyond the headroom fail with EMFILE.
class DescriptorLimit {
  public:
    explicit DescriptorLimit(int headroom) {
        m_saved = ::getrlimit(RLIMIT_NOFILE, &m_old) == 0;
        std::set<long> open;
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
            open.insert(std::stol(entry.path().filename().string()));
        }
        // A new descriptor takes the lowest free number, so what counts is how many numbers
        // below the limit are free, not how many descriptors are open.
        long limit = 0;
        for (int free = 0; free < headroom; ++limit) {
            if (open.count(limit) == 0) ++free;
        }
        rlimit low = m_old;
        low.rlim_cur = static_cast<rlim_t>(limit);
        m_set = m_saved && low.rlim_cur < m_old.rlim_cur && ::setrlimit(RLIMIT_NOFILE, &low) == 0;
    }
    ~DescriptorLimit() {
        if (m_set) ::setrlimit(RLIMIT_NOFILE, &m_old);
    }
    DescriptorLimit(const DescriptorLimit&) = delete;
    DescriptorLimit& operator=(const DescriptorLimit&) = delete;

    bool set() const { return m_set; }

  private:
    rlimit m_old{};
    bool m_saved = false;
    bool m_set = false;
};

// Text of the given size that deflate cannot shrink much: random printable characters.
std::string randomText(std::size_t size, unsigned seed);

}  // namespace qb::test
