#include "package/deflate_ahead.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <system_error>

namespace qb {

namespace {

bool sameTime(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// Writes all of data at offset; false when the disk refuses any of it.
bool writeAllAt(int fd, const unsigned char* data, std::size_t size, std::uint64_t offset) {
    while (size > 0) {
        const ssize_t put = ::pwrite(fd, data, size, static_cast<off_t>(offset));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        data += put;
        size -= static_cast<std::size_t>(put);
        offset += static_cast<std::uint64_t>(put);
    }
    return true;
}

}  // namespace

DeflateAhead::DeflateAhead(const std::string& folder, int workers, int level, ReadFunction read,
                           DeflateEngine engine)
    : m_level(level), m_engine(engine), m_read(std::move(read)) {
    if (workers <= 0) workers = defaultJobs();
    // More deflaters than processors gain nothing while the pages are written, and each holds a
    // descriptor the reading of the texts may need: 64 jobs under a limit of 24 descriptors
    // would leave no room to open a text.
    const int processors = static_cast<int>(std::thread::hardware_concurrency());
    if (processors > 0) workers = std::min(workers, processors);
    for (int i = 0; i < workers; ++i) {
        // Unnamed, so that no run, however it ends, leaves one behind; where the file system
        // cannot make one, the packer does all the work as it always did.
        UniqueFd spool(::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
        if (!spool) break;
        m_spools.push_back(std::move(spool));
        m_spoolEnds.push_back(0);
    }
    for (std::size_t i = 0; i < m_spools.size(); ++i) {
        try {
            m_threads.emplace_back([this, i] { work(static_cast<int>(i)); });
        } catch (const std::system_error&) {
            break;  // fewer workers only deflate less ahead
        }
    }
    if (m_threads.empty()) m_closed = true;
}

DeflateAhead::~DeflateAhead() {
    settle();
}

void DeflateAhead::offer(const std::string& path) {
    {
        std::lock_guard lock(m_mutex);
        if (m_closed) return;
        m_queue.push_back(path);
    }
    m_work.notify_one();
}

void DeflateAhead::settle() {
    // The files under way are given up too: a page without a size cap can be a whole text,
    // and waiting for it would keep the packer from starting and from hearing a cancel.
    m_stop.store(true);
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        m_queue.clear();
    }
    m_work.notify_all();
    for (std::thread& thread : m_threads) thread.join();
    m_threads.clear();
}

void DeflateAhead::drain() {
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [&] { return m_queue.empty() && m_busy == 0; });
}

std::optional<DeflatedMember> DeflateAhead::find(const struct stat& st) const {
    std::lock_guard lock(m_mutex);
    const auto at = m_done.find({st.st_dev, st.st_ino});
    if (at == m_done.end()) return std::nullopt;
    const Done& done = at->second;
    if (done.size != st.st_size || !sameTime(done.modified, st.st_mtim) ||
        !sameTime(done.changed, st.st_ctim)) {
        return std::nullopt;
    }
    return done.member;
}

std::size_t DeflateAhead::deflated() const {
    std::lock_guard lock(m_mutex);
    return m_done.size();
}

void DeflateAhead::work(int spool) {
    std::unique_ptr<Deflater> deflater;
    for (;;) {
        std::string path;
        {
            std::unique_lock lock(m_mutex);
            m_work.wait(lock, [&] { return m_closed || !m_queue.empty(); });
            if (m_queue.empty()) return;
            path = std::move(m_queue.front());
            m_queue.pop_front();
            ++m_busy;
        }
        bool go = true;
        try {
            deflateOne(path, spool, deflater);
        } catch (const Stopped&) {
            go = false;
        } catch (...) {
            // Whatever went wrong here, the packer meets again and reports in its own words.
            deflater.reset();
        }
        {
            std::lock_guard lock(m_mutex);
            --m_busy;
        }
        m_idle.notify_all();
        if (!go) return;
    }
}

void DeflateAhead::deflateOne(const std::string& path, int spool,
                              std::unique_ptr<Deflater>& deflater) {
    // As the packer opens a member: a name swapped for a fifo must not stall the worker.
    UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!file) return;
    struct stat before {};
    if (::fstat(file.get(), &before) != 0 || !S_ISREG(before.st_mode)) return;

    const ReadFunction read = [this](int fd, void* buffer, std::size_t size) -> ssize_t {
        if (m_stop.load(std::memory_order_relaxed)) throw Stopped{};
        return m_read ? m_read(fd, buffer, size) : ::read(fd, buffer, size);
    };
    const int out = m_spools[static_cast<std::size_t>(spool)].get();
    std::uint64_t& end = m_spoolEnds[static_cast<std::size_t>(spool)];
    const std::uint64_t start = end;
    if (!deflater) deflater = std::make_unique<Deflater>(m_level, path, m_engine);
    bool stored = true;
    const Deflater::Result result = deflater->deflateFile(
        file.get(), path, path, path, read, [&](const unsigned char* data, std::size_t size) {
            if (!stored) return;
            stored = writeAllAt(out, data, size, end);
            if (stored) end += size;
        });
    // The data of a file that changed while it was read, or that did not all reach the disk,
    // is not the member the packer would make.
    struct stat after {};
    if (!stored || ::fstat(file.get(), &after) != 0 ||
        result.read != static_cast<std::uint64_t>(before.st_size) ||
        after.st_size != before.st_size || !sameTime(after.st_mtim, before.st_mtim) ||
        !sameTime(after.st_ctim, before.st_ctim)) {
        end = start;
        return;
    }
    Done done;
    done.member = {out, start, end - start, result.crc, result.read};
    done.size = before.st_size;
    done.modified = before.st_mtim;
    done.changed = before.st_ctim;
    std::lock_guard lock(m_mutex);
    m_done[{before.st_dev, before.st_ino}] = done;
}

}  // namespace qb
