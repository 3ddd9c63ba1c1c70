#include "platform/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/errors.h"

namespace qb {
namespace {
constexpr std::size_t kBufferSize = 1 << 20;
}

OutputFile::OutputFile(const std::string& path) : m_path(path) {
    m_fd = UniqueFd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!m_fd) throw EFCreateError(path, std::strerror(errno));
    // Not zeroed: a book of many small pages would otherwise clear a megabyte for each.
    m_buffer.reset(new char[kBufferSize]);
}

void OutputFile::write(std::string_view bytes) {
    if (!m_fd) throw EWriteError(m_path, std::strerror(EBADF));
    if (bytes.size() > kBufferSize - m_used) {
        flush();
        // A piece bigger than the buffer goes straight to the file.
        if (bytes.size() >= kBufferSize) {
            writeAll(bytes.data(), bytes.size());
            return;
        }
    }
    std::memcpy(m_buffer.get() + m_used, bytes.data(), bytes.size());
    m_used += bytes.size();
}

void OutputFile::flush() {
    std::size_t used = m_used;
    m_used = 0;
    writeAll(m_buffer.get(), used);
}

void OutputFile::writeAll(const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::write(m_fd.get(), data, size);
        if (n < 0 && errno == EINTR) continue;
        // A write that takes nothing without saying why has run out of room.
        if (n <= 0) throw EWriteError(m_path, std::strerror(n < 0 ? errno : ENOSPC));
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

void OutputFile::close() {
    if (!m_fd) return;
    flush();
    // A file system that writes back late (NFS, a quota) reports a lost write only here.
    if (m_fd.close() != 0 && errno != EINTR) throw EWriteError(m_path, std::strerror(errno));
}

}  // namespace qb
