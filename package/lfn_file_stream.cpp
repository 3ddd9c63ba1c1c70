#include "package/lfn_file_stream.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "package/zip_errors.h"

namespace qb {

TLFNFileStream::TLFNFileStream(int fd, std::string path, WriteFunction write,
                               std::size_t bufferSize)
    : m_fd(fd), m_path(std::move(path)), m_write(std::move(write)), m_buffer(bufferSize) {
    if (!m_write) m_write = [](int f, const void* d, std::size_t n) { return ::write(f, d, n); };
}

void TLFNFileStream::write(const void* data, std::size_t size) {
    if (position() + size > kSizeLimit) {
        throw ZipLimitError("Cannot write archive \"" + m_path +
                            "\": it would grow past 4 GiB, the limit of a zip archive without "
                            "ZIP64 records");
    }
    const char* bytes = static_cast<const char*>(data);
    if (m_used + size > m_buffer.size()) flush();
    if (size >= m_buffer.size()) {
        writeOut(bytes, size);
        m_flushed += size;
        return;
    }
    std::memcpy(m_buffer.data() + m_used, bytes, size);
    m_used += size;
}

void TLFNFileStream::writeAt(std::uint64_t offset, const std::string& bytes) {
    if (offset >= m_flushed && offset + bytes.size() <= position()) {
        std::memcpy(m_buffer.data() + (offset - m_flushed), bytes.data(), bytes.size());
        return;
    }
    flush();
    seekTo(offset);
    writeOut(bytes.data(), bytes.size());
    seekTo(m_flushed);
}

void TLFNFileStream::flush() {
    if (m_used == 0) return;
    writeOut(m_buffer.data(), m_used);
    m_flushed += m_used;
    m_used = 0;
}

void TLFNFileStream::writeOut(const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = m_write(m_fd, data, size);
        if (written > 0) {
            // A short count is retried: the next call tells a full disk from a signal.
            data += written;
            size -= static_cast<std::size_t>(written);
            continue;
        }
        if (written < 0 && errno == EINTR) continue;
        if (written == 0 || errno == ENOSPC || errno == EDQUOT) throw ENotEnoughRoom();
        throw Error("Cannot write file \"" + m_path + "\". " + std::strerror(errno));
    }
}

void TLFNFileStream::seekTo(std::uint64_t offset) {
    if (::lseek(m_fd, static_cast<off_t>(offset), SEEK_SET) < 0) {
        throw Error("Cannot write file \"" + m_path + "\". " + std::strerror(errno));
    }
}

}  // namespace qb
