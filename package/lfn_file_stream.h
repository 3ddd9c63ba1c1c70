#pragma once
// Buffered output to the archive file, with the position it has reached and in-place
// patching of bytes already written.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qb {

class TLFNFileStream {
  public:
    // The system call that stores bytes; replaceable so a full disk can be simulated.
    using WriteFunction = std::function<ssize_t(int fd, const void* data, std::size_t size)>;

    // Large enough that the archive goes out in few system calls; the size is fixed, so
    // memory does not grow with the files packed.
    static constexpr std::size_t kDefaultBufferSize = std::size_t{1} << 20;
    // The archive never grows past the last offset its 32-bit fields can record.
    static constexpr std::uint64_t kSizeLimit = 0xFFFFFFFF;

    // fd stays owned by the caller; path names the archive in messages.
    TLFNFileStream(int fd, std::string path, WriteFunction write = {},
                   std::size_t bufferSize = kDefaultBufferSize);

    // Appends. Throws ENotEnoughRoom when the disk takes fewer bytes than given, ZipLimitError
    // before the archive would pass kSizeLimit, Error for any other write failure.
    void write(const void* data, std::size_t size);
    void write(const std::string& bytes) { write(bytes.data(), bytes.size()); }
    // Overwrites bytes written earlier; the position stays where it is.
    void writeAt(std::uint64_t offset, const std::string& bytes);
    void flush();
    std::uint64_t position() const { return m_flushed + m_used; }

  private:
    void writeOut(const char* data, std::size_t size);
    void seekTo(std::uint64_t offset);

    int m_fd;
    std::string m_path;
    WriteFunction m_write;
    std::vector<char> m_buffer;
    std::size_t m_used = 0;
    std::uint64_t m_flushed = 0;  // bytes handed to the file so far
};

}  // namespace qb
