#pragma once
// Deflates the members of one archive on worker threads while the caller writes them out, one
// after the other, in archive order.
//
// Every member is one raw deflate stream made from the whole file exactly as one thread would
// make it, so the archive does not depend on the number of workers. The workers only read and
// compress: the archive, the callbacks and every decision about the archive stay with the
// thread that owns the pool.

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "package/deflate_engine.h"
#include "platform/unique_fd.h"

struct z_stream_s;
struct libdeflate_compressor;

namespace qb {

// The system call that reads a member's file; replaceable so a file that changes while it is
// packed can be simulated. It may be called on several threads at once.
using ReadFunction = std::function<ssize_t(int fd, void* buffer, std::size_t size)>;

// Deflate works through buffers of this size, and the members' data leaves the pool in
// pieces of at most this size.
inline constexpr std::size_t kDeflateBufferSize = 65535;

// The workers of a build when nobody asked for a number: QB_JOBS when it holds a number from 1
// to kMaxJobs, else one per processor this process may run on.
int defaultJobs();
inline constexpr int kMaxJobs = 64;

// One read from fd through read (the system's when empty), repeated when a signal interrupts
// it: the bytes read, 0 at the end of the file. Throws Error naming path when the read fails.
std::size_t readSome(const ReadFunction& read, int fd, const std::string& path,
                     unsigned char* buffer, std::size_t size);

// libdeflate compresses a whole buffer at once: a file is read whole when it is no larger than
// this, and streamed through zlib when it is larger, so that memory stays bounded.
inline constexpr std::size_t kWholeDeflateLimit = std::size_t{4} << 20;

// One raw deflate stream (window bits -15, memory level 8), reset between members rather than
// set up anew for each.
class Deflater {
  public:
    // storedName names the first member in the message should zlib refuse.
    Deflater(int level, const std::string& storedName, DeflateEngine engine = DeflateEngine::Zlib);
    ~Deflater();
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    struct Result {
        std::uint32_t crc = 0;
        std::uint64_t read = 0;
    };
    using Sink = std::function<void(const unsigned char* data, std::size_t size)>;
    // Deflates the whole file: each output buffer goes to sink as it fills, the last one when
    // the file ends. Throws EZCompressionError naming storedName, and ZipLimitError naming
    // archive when the file grows past what a member can hold.
    Result deflateFile(int fd, const std::string& path, const std::string& storedName,
                       const std::string& archive, const ReadFunction& read, const Sink& sink);

  private:
    // Sets up the zlib stream, or resets it for the next member.
    void startStream(const std::string& storedName);
    // Feeds size bytes at data through the zlib stream, each full output buffer to sink; last
    // ends the stream and hands on the rest.
    void stream(const unsigned char* data, std::size_t size, bool last,
                const std::string& storedName, const Sink& sink);
    // Streams the rest of the file through zlib, counting it into result.
    void streamRest(int fd, const std::string& path, const std::string& storedName,
                    const std::string& archive, const ReadFunction& read, const Sink& sink,
                    Result& result);

    const int m_level;
    z_stream_s* m_stream = nullptr;  // with libdeflate, made only for a file past the limit
    bool m_fresh = true;
    libdeflate_compressor* m_whole = nullptr;  // libdeflate's
    std::vector<unsigned char> m_input;        // a whole file, for libdeflate
    std::vector<unsigned char> m_output;
};

// One member on its way through the pool.
class DeflateJob {
  public:
    // The CRC and the bytes read; valid once the pool has reported the job finished.
    std::uint32_t crc() const { return m_crc; }
    std::uint64_t read() const { return m_read; }

  private:
    friend class DeflatePool;

    std::uint64_t m_index = 0;  // submission order
    UniqueFd m_file;
    std::string m_path;
    std::string m_storedName;
    std::deque<std::vector<unsigned char>> m_pieces;
    std::size_t m_buffered = 0;  // bytes in m_pieces
    bool m_done = false;
    std::uint32_t m_crc = 0;
    std::uint64_t m_read = 0;
    std::exception_ptr m_error;
};

class DeflatePool {
  public:
    // The compressed data that members waiting their turn may hold in all, and that the
    // member being written may hold ahead of the writer: what keeps memory bounded whatever the
    // size of the files.
    static constexpr std::size_t kDefaultBudget = std::size_t{16} << 20;
    static constexpr std::size_t kHeadLimit = std::size_t{1} << 20;

    // Threads are started as jobs arrive, up to workers. archive names the archive in
    // messages.
    DeflatePool(int workers, int level, std::size_t budget, ReadFunction read, std::string archive,
                DeflateEngine engine = DeflateEngine::Zlib);
    // Stops the workers at their next step and waits for them.
    ~DeflatePool();
    DeflatePool(const DeflatePool&) = delete;
    DeflatePool& operator=(const DeflatePool&) = delete;

    // Queues a member; the pool owns file from now on and closes it once it is read. Jobs are
    // taken up in the order they are submitted.
    std::shared_ptr<DeflateJob> submit(UniqueFd file, std::string path, std::string storedName);

    enum class Next {
        Piece,     // piece holds the member's next bytes
        Waiting,   // nothing yet: the wait ran out
        Finished,  // every piece has been taken; crc() and read() are set
    };
    // The next piece of job, the member now being written, waiting at most wait for it.
    // Rethrows the error that ended the job, once the pieces made before it have been taken.
    Next next(DeflateJob& job, std::vector<unsigned char>& piece, std::chrono::milliseconds wait);

    // Bytes read from the members' files so far, by every worker.
    std::uint64_t bytesRead() const { return m_bytesRead.load(std::memory_order_relaxed); }

  private:
    struct Stopped {};

    void work();
    void deliver(DeflateJob& job, const unsigned char* data, std::size_t size);

    const int m_workers;
    const int m_level;
    const DeflateEngine m_engine;
    const std::size_t m_budget;
    const ReadFunction m_read;
    const std::string m_archive;

    mutable std::mutex m_mutex;
    std::condition_variable m_work;    // a job was queued, or the pool stops
    std::condition_variable m_space;   // buffered data was taken, or the head moved on
    std::condition_variable m_output;  // a piece arrived, or a job ended
    std::deque<std::shared_ptr<DeflateJob>> m_queue;
    std::vector<std::thread> m_threads;
    std::size_t m_idle = 0;
    std::uint64_t m_submitted = 0;
    std::uint64_t m_head = 0;  // index of the job being written
    std::size_t m_buffered = 0;
    bool m_stopping = false;
    std::atomic<bool> m_stop{false};
    std::atomic<std::uint64_t> m_bytesRead{0};
};

}  // namespace qb
