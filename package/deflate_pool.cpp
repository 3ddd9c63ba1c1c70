#include "package/deflate_pool.h"

#include <libdeflate.h>
#include <sched.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "package/zip_errors.h"

namespace qb {

namespace {

// A member's sizes are 32-bit fields; a file that grows to this many bytes while it is read no
// longer fits them.
constexpr std::uint64_t kMemberLimit = 0xFFFFFFFF;

int processorsAvailable() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) == 0) {
        const int count = CPU_COUNT(&set);
        if (count > 0) return count;
    }
    const unsigned count = std::thread::hardware_concurrency();
    return count > 0 ? static_cast<int>(count) : 1;
}

}  // namespace

int defaultJobs() {
    if (const char* value = std::getenv("QB_JOBS"); value != nullptr && *value != '\0') {
        char* end = nullptr;
        errno = 0;
        const long jobs = std::strtol(value, &end, 10);
        if (errno == 0 && *end == '\0' && jobs >= 1 && jobs <= kMaxJobs) {
            return static_cast<int>(jobs);
        }
    }
    const int processors = processorsAvailable();
    return processors < kMaxJobs ? processors : kMaxJobs;
}

std::size_t readSome(const ReadFunction& read, int fd, const std::string& path,
                     unsigned char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t got = read ? read(fd, buffer, size) : ::read(fd, buffer, size);
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno != EINTR) {
            throw Error("Cannot read file \"" + path + "\". " + std::strerror(errno));
        }
    }
}

Deflater::Deflater(int level, const std::string& storedName, DeflateEngine engine)
    : m_level(level) {
    if (engine == DeflateEngine::Zlib) {
        startStream(storedName);
        m_fresh = true;
        return;
    }
    m_whole = libdeflate_alloc_compressor(level);
    if (m_whole == nullptr) throw EZCompressionError(storedName, Z_MEM_ERROR, "out of memory");
}

Deflater::~Deflater() {
    if (m_stream != nullptr) deflateEnd(m_stream);
    delete m_stream;
    if (m_whole != nullptr) libdeflate_free_compressor(m_whole);
}

void Deflater::startStream(const std::string& storedName) {
    if (m_stream == nullptr) {
        auto* stream = new z_stream{};
        const int result = deflateInit2(stream, m_level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
        if (result != Z_OK) {
            const std::string message = stream->msg != nullptr ? stream->msg : zError(result);
            delete stream;
            throw EZCompressionError(storedName, result, message.c_str());
        }
        m_stream = stream;
    } else if (!m_fresh) {
        const int reset = deflateReset(m_stream);
        if (reset != Z_OK) throw EZCompressionError(storedName, reset, m_stream->msg);
    }
    m_fresh = false;
    m_output.resize(kDeflateBufferSize);
    m_stream->next_out = m_output.data();
    m_stream->avail_out = kDeflateBufferSize;
}

void Deflater::stream(const unsigned char* data, std::size_t size, bool last,
                      const std::string& storedName, const Sink& sink) {
    z_stream& stream = *m_stream;
    stream.next_in = const_cast<unsigned char*>(data);
    stream.avail_in = static_cast<uInt>(size);
    for (;;) {
        const int code = deflate(&stream, last ? Z_FINISH : Z_NO_FLUSH);
        if (code != Z_OK && code != Z_STREAM_END && code != Z_BUF_ERROR) {
            throw EZCompressionError(storedName, code, stream.msg);
        }
        if (stream.avail_out == 0 || last) {
            const std::size_t produced = kDeflateBufferSize - stream.avail_out;
            if (produced > 0) sink(m_output.data(), produced);
            stream.next_out = m_output.data();
            stream.avail_out = kDeflateBufferSize;
        }
        if (code == Z_STREAM_END) return;
        if (!last && stream.avail_in == 0 && stream.avail_out != 0) return;
    }
}

void Deflater::streamRest(int fd, const std::string& path, const std::string& storedName,
                          const std::string& archive, const ReadFunction& read, const Sink& sink,
                          Result& result) {
    unsigned char input[kDeflateBufferSize];
    for (;;) {
        const std::size_t got = readSome(read, fd, path, input, kDeflateBufferSize);
        if (got > 0) {
            result.read += got;
            if (result.read >= kMemberLimit) throw memberGrewTooLarge(archive, storedName);
            result.crc =
                static_cast<std::uint32_t>(crc32(result.crc, input, static_cast<uInt>(got)));
        }
        stream(input, got, got == 0, storedName, sink);
        if (got == 0) return;
    }
}

Deflater::Result Deflater::deflateFile(int fd, const std::string& path,
                                       const std::string& storedName, const std::string& archive,
                                       const ReadFunction& read, const Sink& sink) {
    Result result;
    result.crc = static_cast<std::uint32_t>(crc32(0, nullptr, 0));
    if (m_whole == nullptr) {
        startStream(storedName);
        streamRest(fd, path, storedName, archive, read, sink, result);
        return result;
    }

    // Read whole, up to the limit; past it the file goes through zlib after all.
    std::size_t size = 0;
    for (;;) {
        if (m_input.size() < size + kDeflateBufferSize) m_input.resize(size + kDeflateBufferSize);
        const std::size_t got = readSome(read, fd, path, m_input.data() + size, kDeflateBufferSize);
        if (got == 0) break;
        result.crc = static_cast<std::uint32_t>(
            crc32(result.crc, m_input.data() + size, static_cast<uInt>(got)));
        size += got;
        result.read = size;
        if (size > kWholeDeflateLimit) {
            startStream(storedName);
            stream(m_input.data(), size, false, storedName, sink);
            streamRest(fd, path, storedName, archive, read, sink, result);
            return result;
        }
    }
    if (size == 0) {
        // zlib's empty stream, two bytes: libdeflate writes an empty stored block of five.
        static const unsigned char kEmpty[] = {0x03, 0x00};
        sink(kEmpty, sizeof kEmpty);
        return result;
    }
    const std::size_t bound = libdeflate_deflate_compress_bound(m_whole, size);
    m_output.resize(bound);
    const std::size_t compressed =
        libdeflate_deflate_compress(m_whole, m_input.data(), size, m_output.data(), bound);
    if (compressed == 0) throw EZCompressionError(storedName, Z_BUF_ERROR, "buffer too small");
    for (std::size_t at = 0; at < compressed; at += kDeflateBufferSize) {
        sink(m_output.data() + at, std::min(kDeflateBufferSize, compressed - at));
    }
    return result;
}

DeflatePool::DeflatePool(int workers, int level, std::size_t budget, ReadFunction read,
                         std::string archive, DeflateEngine engine)
    : m_workers(workers < 1 ? 1 : workers),
      m_level(level),
      m_engine(engine),
      m_budget(budget),
      m_read(std::move(read)),
      m_archive(std::move(archive)) {}

DeflatePool::~DeflatePool() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_stop.store(true);
    m_work.notify_all();
    m_space.notify_all();
    for (std::thread& thread : m_threads) thread.join();
}

std::shared_ptr<DeflateJob> DeflatePool::submit(UniqueFd file, std::string path,
                                                std::string storedName) {
    auto job = std::make_shared<DeflateJob>();
    job->m_file = std::move(file);
    job->m_path = std::move(path);
    job->m_storedName = std::move(storedName);
    {
        std::lock_guard lock(m_mutex);
        job->m_index = m_submitted++;
        m_queue.push_back(job);
        // A thread is started only when the free ones are fewer than the jobs waiting, so a
        // book of a few members never starts more threads than it has members.
        if (m_queue.size() > m_idle && m_threads.size() < static_cast<std::size_t>(m_workers)) {
            try {
                m_threads.emplace_back([this] { work(); });
            } catch (const std::system_error& error) {
                // Fewer workers only make the build slower; with none it could not go on.
                if (m_threads.empty()) {
                    throw Error("Cannot pack archive \"" + m_archive +
                                "\": no thread could be started. " + error.what());
                }
            }
        }
    }
    m_work.notify_one();
    return job;
}

DeflatePool::Next DeflatePool::next(DeflateJob& job, std::vector<unsigned char>& piece,
                                    std::chrono::milliseconds wait) {
    std::unique_lock lock(m_mutex);
    if (m_head != job.m_index) {
        // Its worker may be waiting for room that only the head is allowed.
        m_head = job.m_index;
        m_space.notify_all();
    }
    if (!m_output.wait_for(lock, wait, [&] { return !job.m_pieces.empty() || job.m_done; })) {
        return Next::Waiting;
    }
    if (!job.m_pieces.empty()) {
        piece = std::move(job.m_pieces.front());
        job.m_pieces.pop_front();
        job.m_buffered -= piece.capacity();
        m_buffered -= piece.capacity();
        lock.unlock();
        m_space.notify_all();
        return Next::Piece;
    }
    if (job.m_error) std::rethrow_exception(job.m_error);
    return Next::Finished;
}

void DeflatePool::deliver(DeflateJob& job, const unsigned char* data, std::size_t size) {
    std::vector<unsigned char> piece(data, data + size);
    std::unique_lock lock(m_mutex);
    // The member being written only waits for the writer; the others wait while the data
    // held for members waiting their turn is at the budget. The head's worker is never held
    // up by the others, so the build always moves on.
    m_space.wait(lock, [&] {
        return m_stopping ||
               (job.m_index == m_head ? job.m_buffered < kHeadLimit : m_buffered < m_budget);
    });
    if (m_stopping) throw Stopped{};
    job.m_buffered += piece.capacity();
    m_buffered += piece.capacity();
    job.m_pieces.push_back(std::move(piece));
    lock.unlock();
    m_output.notify_one();
}

void DeflatePool::work() {
    std::unique_ptr<Deflater> deflater;
    for (;;) {
        std::shared_ptr<DeflateJob> job;
        {
            std::unique_lock lock(m_mutex);
            ++m_idle;
            m_work.wait(lock, [&] { return m_stopping || !m_queue.empty(); });
            --m_idle;
            if (m_stopping) return;
            job = std::move(m_queue.front());
            m_queue.pop_front();
        }
        // Counts what is read for the progress figures, and stops reading once the pool is
        // stopping, so that a cancelled build does not wait for the rest of a large file.
        const ReadFunction read = [this](int fd, void* buffer, std::size_t size) -> ssize_t {
            if (m_stop.load(std::memory_order_relaxed)) throw Stopped{};
            const ssize_t got = m_read ? m_read(fd, buffer, size) : ::read(fd, buffer, size);
            if (got > 0) m_bytesRead.fetch_add(static_cast<std::uint64_t>(got));
            return got;
        };
        Deflater::Result result;
        std::exception_ptr error;
        try {
            if (!deflater)
                deflater = std::make_unique<Deflater>(m_level, job->m_storedName, m_engine);
            result = deflater->deflateFile(
                job->m_file.get(), job->m_path, job->m_storedName, m_archive, read,
                [&](const unsigned char* data, std::size_t size) { deliver(*job, data, size); });
        } catch (const Stopped&) {
            return;
        } catch (...) {
            error = std::current_exception();
            // A stream that failed half-way is not reused.
            deflater.reset();
        }
        job->m_file.reset();
        {
            std::lock_guard lock(m_mutex);
            job->m_crc = result.crc;
            job->m_read = result.read;
            job->m_error = error;
            job->m_done = true;
        }
        m_output.notify_one();
    }
}

}  // namespace qb
