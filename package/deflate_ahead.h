#pragma once
// Deflates a book's files while the rest of the book is still being written, so that the packer
// finds most members already compressed and only copies their data into the archive.
//
// Each file is deflated exactly as the packer would deflate it (the same Deflater, level and
// stream settings), and the packer takes the data only for the very file it opens (the same
// device, inode, size and times as when it was deflated), so the archive is byte for byte the
// one it would be without. The compressed data goes to unnamed files in the work folder, one a
// worker, not to memory: a book of any size can be deflated ahead while what waits in memory
// stays a few buffers. Nothing here can fail a build: a file that cannot be read, a full disk
// or a file system without unnamed files only leaves the work to the packer.

#include <sys/stat.h>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "package/deflate_pool.h"
#include "platform/unique_fd.h"

namespace qb {

// A member's data, deflated ahead.
struct DeflatedMember {
    int spool = -1;            // the file holding it
    std::uint64_t offset = 0;  // where it starts there
    std::uint64_t size = 0;    // compressed bytes
    std::uint32_t crc = 0;
    std::uint64_t read = 0;  // the file's bytes
};

class DeflateAhead {
  public:
    // folder: where the unnamed files go (the work folder); workers: threads that deflate at
    // once (0: defaultJobs()); level and engine: the packer's. read stands in for the system's
    // read (tests).
    DeflateAhead(const std::string& folder, int workers, int level = 6, ReadFunction read = {},
                 DeflateEngine engine = DeflateEngine::Zlib);
    // Settles (the workers stop at their next step); the unnamed files vanish with their
    // descriptors.
    ~DeflateAhead();
    DeflateAhead(const DeflateAhead&) = delete;
    DeflateAhead& operator=(const DeflateAhead&) = delete;

    // The file at path is complete and will not change: deflated when a worker is free.
    void offer(const std::string& path);
    // Packing begins: the files not yet deflated are left to the packer, whose workers then
    // have the processors.
    void settle();
    // Waits until every file offered has been deflated or given up (tests).
    void drain();

    int level() const { return m_level; }
    DeflateEngine engine() const { return m_engine; }
    // The data of the file whose fstat gave st, when it was deflated ahead and has not changed
    // since. Call only after settle().
    std::optional<DeflatedMember> find(const struct stat& st) const;
    // Files deflated and kept so far.
    std::size_t deflated() const;

  private:
    struct Stopped {};
    struct Identity {
        dev_t device;
        ino_t inode;
        bool operator<(const Identity& o) const {
            return device != o.device ? device < o.device : inode < o.inode;
        }
    };
    struct Done {
        DeflatedMember member;
        off_t size;
        struct timespec modified;
        struct timespec changed;
    };

    void work(int spool);
    void deflateOne(const std::string& path, int spool, std::unique_ptr<Deflater>& deflater);

    const int m_level;
    const DeflateEngine m_engine;
    const ReadFunction m_read;
    std::vector<UniqueFd> m_spools;  // one a worker
    std::vector<std::uint64_t> m_spoolEnds;

    mutable std::mutex m_mutex;
    std::condition_variable m_work;  // a file was offered, or the workers stop
    std::condition_variable m_idle;  // a file was deflated or given up
    std::deque<std::string> m_queue;
    std::size_t m_busy = 0;
    bool m_closed = false;
    std::atomic<bool> m_stop{false};
    std::map<Identity, Done> m_done;
    std::vector<std::thread> m_threads;
};

}  // namespace qb
